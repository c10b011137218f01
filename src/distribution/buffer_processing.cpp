// How the head of a chain turns the bytes of one buffer into claims, transfers and polls.
#include <algorithm>
#include <limits>
#include <string>

#include "distribution/distributor.h"
#include "distribution/top_distributor.h"
#include "platform/tick.h"
#include "util/diagnostic_notice.h"

namespace kestrova {
namespace {

// The runaway guard: a buffer that does not get shorter for this many iterations in a row is
// taken to be fed by its own handlers; it is then dropped a byte at a time, then whole.
constexpr int kStalledNotice = 1001;
constexpr int kStalledDropByte = 1010;
constexpr int kStalledDropAll = 1020;

constexpr int kAborted = -1;
constexpr int kFinished = -2;

void ResetClaim(VMurDistributor_ChannelRecord& claim) {
  claim.PacketLength = 0;
  claim.Failed = true;
}

}  // namespace

// Ends one processing however it ends: releases the buffer, pops finished entries and, when
// nothing is processed any more, removes the channels deleted meanwhile.
class VMurTopDistributor::ProcessingScope {
 public:
  ProcessingScope(VMurTopDistributor& top, int index)
      : top_(top), index_(index), record_(*top.buffers_[index]) {
    record_.Busy = true;
    top_.processing_.push_back(index);
    entry_ = top_.processing_.size() - 1;
  }
  ~ProcessingScope() {
    top_.ResetClaims(&top_, index_);
    // Cleared even when the processing was aborted: otherwise later blocks of this buffer
    // would only ever be marked for a rerun and never shown.
    record_.Busy = false;
    top_.processing_[entry_] = kFinished;
    while (!top_.processing_.empty() && top_.processing_.back() == kFinished) {
      top_.processing_.pop_back();
    }
    if (top_.processing_.empty()) top_.RemoveClosedChannels();
  }
  ProcessingScope(const ProcessingScope&) = delete;
  ProcessingScope& operator=(const ProcessingScope&) = delete;

  size_t entry() const { return entry_; }
  bool Aborted() const { return top_.processing_[entry_] < 0; }

 private:
  VMurTopDistributor& top_;
  int index_;
  VMurDistributor_TopDataRecord& record_;
  size_t entry_ = 0;
};

void VMurTopDistributor::ProcessBuffer(int index, uint32_t& the_time) {
  if (index < 0 || index >= BufferCount()) {
    throw Exception(Name() + ": buffer index " + std::to_string(index) + " out of range");
  }
  // Buffers are never destroyed while any processing runs, so the record stays put.
  VMurDistributor_TopDataRecord& record = *buffers_[index];
  if (record.Busy) {
    record.Rerun = true;
    return;
  }
  ProcessingScope scope(*this, index);
  int iteration = 0;
  int stalled = 0;
  int runaway = 0;
  size_t low_water = record.Data.size();
  do {
    record.Rerun = false;
    if (record.Data.empty()) break;
    if (iteration > 0) {
      ResetClaim(Claim(index));
      DecodeChain(this, index, the_time);
    }
    VMurGeneralDistributor* lowest = FindLowest(index, true);
    if (lowest == nullptr) lowest = FindLowest(index, false);

    if (runaway == 1) {
      DropData(index, 1);
    } else if (runaway == 2) {
      DropData(index, -1);
    } else if (lowest != nullptr) {
      const size_t length = std::min<size_t>(lowest->Claim(index).PacketLength, record.Data.size());
      const size_t transferred = static_cast<size_t>(record.Transferred);
      const std::string packet(record.Data.View().substr(0, length));
      const std::string_view fresh =
          length > transferred ? std::string_view(packet).substr(transferred) : std::string_view();
      // A claim shorter than what was handed on already must not hand those bytes on again.
      record.Transferred = static_cast<int64_t>(std::max(transferred, length));
      const uint64_t packet_start = record.Data.StreamOffset();
      TransferChain(this, index, the_time, lowest->Claim(index).Failed, lowest, fresh);
      if (!packet.empty()) {
        // Bytes a handler dropped meanwhile were part of this packet and count against it.
        const uint64_t gone = record.Data.StreamOffset() - packet_start;
        if (gone < length) DropData(index, static_cast<int>(length - gone));
        if (!PollWalk(lowest, index, the_time, packet, scope.entry())) break;
      }
    } else if (iteration > 0) {
      const size_t transferred = static_cast<size_t>(record.Transferred);
      if (transferred < record.Data.size()) {
        const std::string fresh(record.Data.View().substr(transferred));
        // Counted before the handlers run: bytes they add meanwhile are not handed on yet.
        record.Transferred += static_cast<int64_t>(fresh.size());
        TransferChain(this, index, the_time, true, nullptr, fresh);
        TrimTransferred(record);
      }
    }

    if (runaway == 0 && record.Data.size() < low_water) {
      low_water = record.Data.size();
      stalled = 0;
    } else {
      ++stalled;
      if (stalled == kStalledNotice) RaiseNotice("problem");
      if (stalled > kStalledDropAll) {
        runaway = 2;
      } else if (stalled > kStalledDropByte) {
        runaway = 1;
      }
    }
    ++iteration;
  } while (Claim(index).PacketLength != 0 || iteration < 2 || record.Rerun);
}

// Drops down to half the limit at once rather than a block at a time: a framer that rescans
// from the head after the head moved then stays linear in the data.
void VMurTopDistributor::TrimTransferred(VMurDistributor_TopDataRecord& record) {
  if (record.Transferred <= static_cast<int64_t>(keep_transferred_limit_)) return;
  const int64_t excess = record.Transferred - static_cast<int64_t>(keep_transferred_limit_ / 2);
  record.Data.DropHead(static_cast<size_t>(excess));
  record.Transferred -= excess;
}

void VMurTopDistributor::DecodeChain(VMurGeneralDistributor* d, int index, uint32_t& the_time) {
  ResetClaim(d->Claim(index));
  VMurDistributor_DataRecord& data = d->Data(index % 2);
  const ChannelKey channel = buffers_[index]->Channel;
  if (index < 2 && data.Decode) {
    TimeEvent handler = data.Decode;
    d->Guarded(kCbComDecode, [&] { handler(d, the_time); });
  }
  if (data.AdvancedDecode) {
    AdvancedDecodeEvent handler = data.AdvancedDecode;
    d->Guarded(kCbAdvancedDecode, [&] { handler(d, channel, the_time); });
  }
  if (d->on_advanced_com_decode_) {
    VMurDistributor_ChannelRecord& claim = d->Claim(index);
    if (claim.Buffer == nullptr) claim.Buffer = d->GetComBuffer(index);
    AdvancedComDecodeEvent handler = d->on_advanced_com_decode_;
    d->Guarded(kCbAdvancedComDecode, [&] { handler(d, channel, &claim, the_time); });
  }
  if (data.AdvancedGetColor) {
    VMurDistributor_ChannelRecord& claim = d->Claim(index);
    std::string_view bytes = buffers_[index]->Data.View();
    if (claim.PacketLength > 0 && static_cast<size_t>(claim.PacketLength) < bytes.size()) {
      bytes = bytes.substr(0, static_cast<size_t>(claim.PacketLength));
    }
    AdvancedGetColorEvent handler = data.AdvancedGetColor;
    d->Guarded(kCbAdvancedGetColor,
               [&] { handler(d, channel, bytes, the_time, claim.FilterColor); });
  }
  for (size_t i = 0; i < d->children_.size(); ++i) DecodeChain(d->children_[i], index, the_time);
}

VMurGeneralDistributor* VMurTopDistributor::FindLowest(int index, bool strict) {
  int32_t best_length = std::numeric_limits<int32_t>::max();
  VMurGeneralDistributor* best = nullptr;
  // Depth-first, parent before children: among equal claims the one visited later wins, unless
  // (strict) it is marked failed.
  auto visit = [&](auto& self, VMurGeneralDistributor* d) -> void {
    const VMurDistributor_ChannelRecord& claim = d->Claim(index);
    if (claim.PacketLength > 0 && claim.PacketLength <= best_length) {
      const bool keeps_best =
          strict && best != nullptr && claim.PacketLength == best_length && claim.Failed;
      if (!keeps_best) {
        best = d;
        best_length = claim.PacketLength;
      }
    }
    for (VMurGeneralDistributor* child : d->children_) self(self, child);
  };
  visit(visit, this);
  return best;
}

void VMurTopDistributor::TransferChain(VMurGeneralDistributor* d, int index, uint32_t& the_time,
                                       bool failed, VMurGeneralDistributor* lowest,
                                       std::string_view bytes) {
  if (index >= BufferCount()) {
    RaiseNotice("Tohle musis opravit");
    return;
  }
  VMurDistributor_DataRecord& data = d->Data(index % 2);
  const ChannelKey channel = buffers_[index]->Channel;
  if (index < 2 && data.CharPoll) {
    CharPollEvent handler = data.CharPoll;
    for (char c : bytes) d->Guarded(kCbComCharPoll, [&] { handler(d, the_time, c); });
  }
  if (data.AdvancedCharPoll) {
    AdvancedCharPollEvent handler = data.AdvancedCharPoll;
    for (char c : bytes) {
      d->Guarded(kCbAdvancedCharPoll, [&] { handler(d, channel, the_time, c); });
    }
  }
  if (index < 2 && data.Transfer) {
    TransferEvent handler = data.Transfer;
    d->Guarded(kCbComTransfer, [&] { handler(d, the_time, bytes, lowest, failed); });
  }
  if (data.AdvancedTransfer) {
    AdvancedTransferEvent handler = data.AdvancedTransfer;
    d->Guarded(kCbAdvancedTransfer, [&] { handler(d, channel, the_time, bytes, lowest, failed); });
  }
  for (size_t i = 0; i < d->children_.size(); ++i) {
    TransferChain(d->children_[i], index, the_time, failed, lowest, bytes);
  }
}

void VMurTopDistributor::ResetClaims(VMurGeneralDistributor* d, int index) {
  if (index / 2 >= d->ChannelCount()) return;
  ResetClaim(d->Claim(index));
  for (VMurGeneralDistributor* child : d->children_) ResetClaims(child, index);
}

bool VMurTopDistributor::PollWalk(VMurGeneralDistributor* lowest, int index, uint32_t& the_time,
                                  std::string_view packet, size_t stack_entry) {
  bool processed = lowest->Claim(index).Failed;
  for (VMurGeneralDistributor* d = lowest; d != nullptr;) {
    // Locked for the polls, so that a Release() from a handler waits until we are done.
    d->Lock();
    VMurGeneralDistributor* next = nullptr;
    bool go_on = false;
    try {
      go_on = PollStep(d, index, the_time, packet, processed, stack_entry, next);
    } catch (...) {
      d->Unlock();
      throw;
    }
    d->Unlock();
    if (!go_on) return false;
    d = next;
  }
  return true;
}

bool VMurTopDistributor::PollStep(VMurGeneralDistributor* d, int index, uint32_t& the_time,
                                  std::string_view packet, bool& processed, size_t stack_entry,
                                  VMurGeneralDistributor*& next) {
  VMurDistributor_ChannelRecord& claim = d->Claim(index);
  claim.FilterColor = clNone;
  claim.ShownColor = clNone;
  VMurDistributor_DataRecord& data = d->Data(index % 2);
  if (index < 2 && data.Poll) {
    PollEvent handler = data.Poll;
    d->Guarded(kCbComPoll, [&] { handler(d, the_time, packet, processed); });
    if (processing_[stack_entry] < 0) return false;
  }
  if (data.AdvancedPoll) {
    const ChannelKey channel = buffers_[index]->Channel;
    AdvancedPollEvent handler = data.AdvancedPoll;
    d->Guarded(kCbAdvancedPoll, [&] { handler(d, channel, the_time, packet, processed); });
    if (stack_entry != processing_.size() - 1 || processing_[stack_entry] < 0) return false;
  }
  if (RefreshTime()) SetCurrentTime(TickCount());
  auto* member = dynamic_cast<VMurDistributor*>(d);
  if (member == nullptr || member->Distributor() == nullptr) return true;
  // The claim moves one step up, so that it arrives at the head.
  VMurDistributor_ChannelRecord& parent_claim = member->Distributor()->Claim(index);
  parent_claim.PacketLength = claim.PacketLength;
  parent_claim.Failed = claim.Failed;
  ResetClaim(d->Claim(index));
  next = member->Distributor();
  return true;
}

}  // namespace kestrova
