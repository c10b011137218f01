// The event types of the distribution chain. Data views are valid only during the call.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "util/channel_key.h"
#include "util/color.h"
#include "util/exception.h"

namespace kestrova {

class VMurGeneralDistributor;
struct VMurDistributor_ChannelRecord;

using TimeEvent = std::function<void(VMurGeneralDistributor* sender, uint32_t& the_time)>;
using PollEvent = std::function<void(VMurGeneralDistributor* sender, uint32_t& the_time,
                                     std::string_view data, bool& processed)>;
using CharPollEvent =
    std::function<void(VMurGeneralDistributor* sender, uint32_t& the_time, char data)>;
// `lowest` is the distributor whose claim ended a packet, nullptr when the bytes are passed on
// without a claim; `failed` is that claim's flag (true without a claim).
using TransferEvent =
    std::function<void(VMurGeneralDistributor* sender, uint32_t the_time, std::string_view data,
                       VMurGeneralDistributor* lowest, bool failed)>;
using AdvancedComDecodeEvent =
    std::function<void(VMurGeneralDistributor* sender, ChannelKey channel,
                       VMurDistributor_ChannelRecord* rec, uint32_t the_time)>;
using AdvancedDecodeEvent =
    std::function<void(VMurGeneralDistributor* sender, ChannelKey channel, uint32_t& the_time)>;
using AdvancedPollEvent =
    std::function<void(VMurGeneralDistributor* sender, ChannelKey channel, uint32_t& the_time,
                       std::string_view data, bool& processed)>;
using AdvancedCharPollEvent = std::function<void(VMurGeneralDistributor* sender, ChannelKey channel,
                                                 uint32_t& the_time, char)>;
using AdvancedTransferEvent =
    std::function<void(VMurGeneralDistributor* sender, ChannelKey channel, uint32_t& the_time,
                       std::string_view data, VMurGeneralDistributor* lowest, bool failed)>;
using AdvancedGetColorEvent =
    std::function<void(VMurGeneralDistributor* sender, ChannelKey channel, std::string_view data,
                       uint32_t the_time, TColor& filter_color)>;
using CallbackExceptionEvent = std::function<void(VMurGeneralDistributor* sender,
                                                  const Exception& e, int cbackid, bool& handled)>;
using ConfigLinePollEvent =
    std::function<void(VMurGeneralDistributor* sender, int code, std::string_view key,
                       std::string_view value, bool& processed)>;

// The ids OnCallbackException receives: which handler (or which stage of a timer tick) failed.
enum CallbackId : int {
  kCbTimerPoll = 1,
  kCbComDecode = 2,
  kCbAdvancedDecode = 3,
  kCbAdvancedComDecode = 4,
  kCbAdvancedGetColor = 5,
  kCbTimeout = 7,
  kCbComPoll = 9,
  kCbAdvancedPoll = 10,
  kCbComTransfer = 20,
  kCbAdvancedTransfer = 21,
  kCbAdvancedCharPoll = 22,
  kCbComCharPoll = 23,
  kCbUpdateHandler = 24,
  kCbTickStart = 101,
  kCbTickProcessing = 102,
  kCbTickAfterProcessing = 103,
  kCbTickLeavingProcessing = 104,
  kCbTickTimerPoll = 105,
  kCbTickTimeout = 106,
  kCbTickCallbacks = 108,
  kCbTickEnd = 109,
};

}  // namespace kestrova
