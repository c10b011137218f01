// The framers driven through a distribution chain, and plain versions of them that rescan the
// whole buffer on every call (positions counted from 1), to hold the real ones against.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "distribution/top_distributor.h"
#include "monitor/framers.h"

namespace kestrova::testing {

struct Packet {
  std::string bytes;
  bool valid;
  friend bool operator==(const Packet&, const Packet&) = default;
};

struct Framed {
  std::vector<Packet> packets;
  std::string waiting;  // bytes no packet has taken yet
  friend bool operator==(const Framed&, const Framed&) = default;
};

using Decoder = std::function<void(VMurDistributor_ChannelRecord&)>;

// Feeds the blocks through a distribution chain whose decode handler is `decode`.
inline Framed FrameBlocks(const Decoder& decode, const std::vector<std::string>& blocks,
                          size_t keep_limit = VMurTopDistributor::kDefaultKeepTransferredLimit) {
  VMurTopDistributor top(nullptr);
  top.SetKeepTransferredLimit(keep_limit);
  Framed framed;
  top.OnAdvancedComDecode() = [&decode](VMurGeneralDistributor*, ChannelKey,
                                        VMurDistributor_ChannelRecord* rec,
                                        uint32_t) { decode(*rec); };
  top.OnAdvancedRecvTransfer() = [&framed](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                           std::string_view data, VMurGeneralDistributor* lowest,
                                           bool failed) {
    framed.waiting += data;
    if (lowest == nullptr) return;
    framed.packets.push_back({framed.waiting, !failed});
    framed.waiting.clear();
  };
  for (const std::string& block : blocks) top.ComReceive(nullptr, nullptr, block);
  top.DeleteChannel(nullptr);
  return framed;
}

inline Decoder Stateful(Protocol protocol, uint8_t delimiter = kDefaultFrameDelimiter) {
  return [=](VMurDistributor_ChannelRecord& rec) { Frame(protocol, delimiter, rec); };
}

// Plain versions: rescan the whole buffer on every call, positions counted from 1.
struct ReferenceClaim {
  size_t length;
  bool valid;
};

inline std::optional<ReferenceClaim> ReferenceHex(std::string_view b, uint8_t delimiter) {
  auto at = [&](size_t p) { return static_cast<uint8_t>(b[p - 1]); };
  std::optional<ReferenceClaim> claim;
  int c = !b.empty() && at(1) == '+' ? 1 : 0;
  for (size_t p = 2; p <= b.size(); ++p) {
    if (at(p) == delimiter) return ReferenceClaim{p, true};
    if (at(p) == '+') {
      if (++c == 3) claim = ReferenceClaim{p == 3 ? 3 : p - 3, true};
    } else {
      c = 0;
    }
  }
  return claim;
}

inline std::optional<ReferenceClaim> ReferenceBase64(std::string_view b) {
  for (size_t p = 2; p <= b.size(); ++p) {
    if (static_cast<uint8_t>(b[p - 1]) >= 0x80) return ReferenceClaim{p - 1, true};
  }
  return std::nullopt;
}

inline bool ReferenceLineEnd(char c) { return c == '\r' || c == '\n'; }

inline std::optional<ReferenceClaim> ReferenceText(std::string_view b) {
  for (size_t p = 2; p <= b.size(); ++p) {
    if (ReferenceLineEnd(b[p - 2]) && !ReferenceLineEnd(b[p - 1]))
      return ReferenceClaim{p - 1, true};
  }
  return std::nullopt;
}

inline std::optional<ReferenceClaim> ReferenceTextRN(std::string_view b, uint8_t delimiter) {
  for (size_t p = 2; p <= b.size(); ++p) {
    if (b[p - 1] == '\n' || static_cast<uint8_t>(b[p - 1]) == delimiter) {
      return ReferenceClaim{p, true};
    }
  }
  return std::nullopt;
}

inline int ReferenceHexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

inline std::optional<ReferenceClaim> ReferenceFatek(std::string_view b) {
  for (size_t p = 1; p <= b.size(); ++p) {
    if (b[p - 1] == '\x02') {
      if (p == 1) break;
      return ReferenceClaim{p - 1, false};
    }
    if (p > 30) return ReferenceClaim{p - 1, false};
  }
  for (size_t p = 2; p <= b.size(); ++p) {
    if (b[p - 1] != '\x03') continue;
    bool valid = false;
    if (p >= 9) {
      unsigned sum = 0;
      for (size_t k = 1; k <= p - 3; ++k) sum += static_cast<uint8_t>(b[k - 1]);
      const int high = ReferenceHexDigit(b[p - 3]), low = ReferenceHexDigit(b[p - 2]);
      valid =
          high >= 0 && low >= 0 && static_cast<int>(sum % 256) == high * 16 + low && b[5] == '0';
    }
    return ReferenceClaim{p, valid};
  }
  return std::nullopt;
}

inline std::optional<ReferenceClaim> ReferenceA4A3(std::string_view b) {
  auto at = [&](size_t p) { return static_cast<uint8_t>(b[p - 1]); };
  const size_t len = b.size();
  for (size_t p = 1; p <= len; ++p) {
    const uint8_t c = at(p);
    if (c == 0xA3) return ReferenceClaim{p, false};
    if (c == 0xA4 && p > 1) return ReferenceClaim{p - 1, false};
    if (c == '\r' || c == '\n') {
      if (p == len) return ReferenceClaim{p, false};
      if (at(p + 1) == 0xA3) return ReferenceClaim{p + 1, false};
      if (p + 2 <= len && at(p + 2) == 0xA3) return ReferenceClaim{p + 2, false};
      if (at(p + 1) != '\r' && at(p + 1) != '\n') return ReferenceClaim{p, false};
    }
    if (p > 300) return ReferenceClaim{p - 1, false};
  }
  return std::nullopt;
}

inline Decoder Reference(Protocol protocol, uint8_t delimiter) {
  return [=](VMurDistributor_ChannelRecord& rec) {
    const std::string_view bytes = rec.Buffer->View();
    std::optional<ReferenceClaim> claim;
    switch (protocol) {
      case Protocol::kHex:
        claim = ReferenceHex(bytes, delimiter);
        break;
      case Protocol::kBase64:
        claim = ReferenceBase64(bytes);
        break;
      case Protocol::kText:
        claim = ReferenceText(bytes);
        break;
      case Protocol::kTextRN:
        claim = ReferenceTextRN(bytes, delimiter);
        break;
      case Protocol::kFatek:
        claim = ReferenceFatek(bytes);
        break;
      case Protocol::kA4A3:
        claim = ReferenceA4A3(bytes);
        break;
    }
    if (!claim) return;
    rec.PacketLength = static_cast<int32_t>(claim->length);
    if (claim->valid) rec.Failed = false;
  };
}

}  // namespace kestrova::testing
