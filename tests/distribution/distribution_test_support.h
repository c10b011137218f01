// Decode handlers and transfer recorders shared by the distribution tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "distribution/top_distributor.h"

namespace kestrova::testing {

struct TransferSeen {
  std::string data;
  const VMurGeneralDistributor* lowest;
  bool failed;
  friend bool operator==(const TransferSeen&, const TransferSeen&) = default;
};

// Claims everything up to and including the first `delimiter`; valid unless `valid` is false.
inline AdvancedComDecodeEvent ClaimThrough(char delimiter, bool valid = true) {
  return [delimiter, valid](VMurGeneralDistributor*, ChannelKey, VMurDistributor_ChannelRecord* rec,
                            uint32_t) {
    const size_t end = rec->Buffer->View().find(delimiter);
    if (end == std::string_view::npos) return;
    rec->PacketLength = static_cast<int32_t>(end + 1);
    rec->Failed = !valid;
  };
}

// Records what `distributor` is told through its advanced receive Transfer event.
inline void RecordTransfers(VMurGeneralDistributor& distributor, std::vector<TransferSeen>& seen) {
  distributor.OnAdvancedRecvTransfer() = [&seen](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                                 std::string_view data,
                                                 VMurGeneralDistributor* lowest, bool failed) {
    seen.push_back({std::string(data), lowest, failed});
  };
}

}  // namespace kestrova::testing
