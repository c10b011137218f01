// A member of a distribution chain: it watches every byte received or sent on every channel,
// may claim packets at the head of each buffer, and is told about bytes and packets in a fixed
// order. Base of the head of a chain (VMurTopDistributor) and of the members below it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "distribution/distributor_events.h"
#include "distribution/distributor_records.h"
#include "util/component.h"

namespace kestrova {

class VMurTopDistributor;

class VMurGeneralDistributor : public Component {
 public:
  static constexpr int kReceive = 0;
  static constexpr int kSend = 1;

  explicit VMurGeneralDistributor(Component* owner);
  ~VMurGeneralDistributor() override;

  bool GlobalEnabled() const { return global_enabled_; }
  void SetGlobalEnabled(bool enabled) { global_enabled_ = enabled; }

  // Events. The Recv/Send pairs are the two directions of one handler slot.
  TimeEvent& OnTimerPoll() { return on_timer_poll_; }
  // True while OnTimerPoll has nothing to do until WakeTimer is called. Without it, a
  // distributor with an OnTimerPoll wants every tick.
  std::function<bool()>& OnTimerPollIdle() { return on_timer_poll_idle_; }
  // The top's timer rests while a tick could do nothing: no bytes wait in the main channel's
  // buffers and no distributor of the chain has a busy OnTimerPoll, an armed timeout or a
  // callback. The chain's own changes wake it; call this when something else gives an
  // OnTimerPoll that said it was idle work to do.
  void WakeTimer();
  TimeEvent& OnTimeout() { return on_timeout_; }
  TimeEvent& OnComRecvDecode() { return data_[kReceive].Decode; }
  PollEvent& OnComRecvPoll() { return data_[kReceive].Poll; }
  CharPollEvent& OnComRecvCharPoll() { return data_[kReceive].CharPoll; }
  TransferEvent& OnComRecvTransfer() { return data_[kReceive].Transfer; }
  TimeEvent& OnComSendDecode() { return data_[kSend].Decode; }
  PollEvent& OnComSendPoll() { return data_[kSend].Poll; }
  CharPollEvent& OnComSendCharPoll() { return data_[kSend].CharPoll; }
  TransferEvent& OnComSendTransfer() { return data_[kSend].Transfer; }
  AdvancedComDecodeEvent& OnAdvancedComDecode() { return on_advanced_com_decode_; }
  AdvancedDecodeEvent& OnAdvancedRecvDecode() { return data_[kReceive].AdvancedDecode; }
  AdvancedPollEvent& OnAdvancedRecvPoll() { return data_[kReceive].AdvancedPoll; }
  AdvancedCharPollEvent& OnAdvancedRecvCharPoll() { return data_[kReceive].AdvancedCharPoll; }
  AdvancedTransferEvent& OnAdvancedRecvTransfer() { return data_[kReceive].AdvancedTransfer; }
  AdvancedGetColorEvent& OnAdvancedRecvGetColor() { return data_[kReceive].AdvancedGetColor; }
  AdvancedDecodeEvent& OnAdvancedSendDecode() { return data_[kSend].AdvancedDecode; }
  AdvancedPollEvent& OnAdvancedSendPoll() { return data_[kSend].AdvancedPoll; }
  AdvancedCharPollEvent& OnAdvancedSendCharPoll() { return data_[kSend].AdvancedCharPoll; }
  AdvancedTransferEvent& OnAdvancedSendTransfer() { return data_[kSend].AdvancedTransfer; }
  AdvancedGetColorEvent& OnAdvancedSendGetColor() { return data_[kSend].AdvancedGetColor; }
  // Kept for configuration tools; nothing in the chain raises it.
  ConfigLinePollEvent& OnConfigLinePoll() { return on_config_line_poll_; }
  CallbackExceptionEvent& OnCallbackException() { return on_callback_exception_; }

  // Claims by buffer index (2 * channel + direction).
  virtual ChannelBuffer* GetComBuffer(int index);
  int GetPacketLength(int index) { return Claim(index).PacketLength; }
  void SetPacketLength(int index, int value);
  bool GetFailed(int index) { return Claim(index).Failed; }
  void SetFailed(int index, bool value) { Claim(index).Failed = value; }
  // The same by channel; a channel the head does not know yet is created.
  ChannelBuffer* GetComBuffer(ChannelKey channel, int direction);
  int GetPacketLength(ChannelKey channel, int direction);
  void SetPacketLength(ChannelKey channel, int direction, int value);
  bool GetFailed(ChannelKey channel, int direction);
  void SetFailed(ChannelKey channel, int direction, bool value);

  // Deferred destruction around handler calls: Release() destroys now unless locked, else
  // when the last Unlock() comes. Free a distributor from inside its own handlers this way.
  void Release();
  void Lock() { ++in_use_; }
  void Unlock();

  // Sends through the head of the chain, which writes to the transport and passes the bytes
  // through the send buffer. The first form uses this distributor's current time.
  void SendComData(std::string_view data);
  void SendComData(uint32_t& the_time, std::string_view data);
  void SendComData(ChannelKey channel, uint32_t& the_time, std::string_view data);

  // The colour a GetColor handler chose for the current packet, reported once per change;
  // clNone otherwise.
  TColor GetFilterColor(int direction, ChannelKey channel);

  // The head of the chain, or nullptr when the chain does not begin with one.
  virtual VMurTopDistributor* TopDistributor() = 0;
  const std::vector<VMurGeneralDistributor*>& Children() const { return children_; }
  // How many channels the claim arrays hold.
  int ChannelCount() const { return static_cast<int>(data_[kReceive].Channels.size()); }
  // The last time value this distributor was given.
  uint32_t CurrentTime() const { return current_time_; }

  // OnTimeout fires once when `interval_ms` has elapsed since now (the current time).
  void ArmTimeout(uint32_t interval_ms);
  void DisarmTimeout() { timeout_armed_ = false; }
  bool TimeoutArmed() const { return timeout_armed_; }
  // Calls `handler` after `interval_ms`, again and again when `repeat`; returns an id for
  // UnregisterCallback.
  int RegisterCallback(std::function<void()> handler, uint32_t interval_ms, bool repeat);
  void UnregisterCallback(int id);

 protected:
  friend class VMurTopDistributor;
  friend class VMurDistributor;

  VMurDistributor_ChannelRecord& Claim(int index);
  VMurDistributor_DataRecord& Data(int direction) { return data_[direction]; }

  // Claim arrays follow the head's channel count.
  void GrowChannels(int count);
  void ResetChannels();
  void MoveLastChannelTo(int channel);

  void AttachChild(VMurGeneralDistributor* child);
  void DetachChild(VMurGeneralDistributor* child);
  bool IsAncestorOf(const VMurGeneralDistributor* other) const;

  // Calls `call`; an Exception it raises goes to OnCallbackException with `id` and is raised
  // again unless the handler marks it handled.
  template <class Call>
  void Guarded(int id, Call&& call) {
    try {
      call();
    } catch (const Exception& e) {
      if (!CallbackException(id, e)) throw;
    }
  }
  bool CallbackException(int id, const Exception& e);

  // The periodic passes of a timer tick, children first.
  class CallbackScope;
  bool EnterPass();
  // Whether a tick could do anything here or below.
  bool WantsTicks() const;
  void SetChainTime(uint32_t the_time);
  void TimerPollPass(uint32_t& the_time);
  void TimeoutPass(uint32_t& the_time);
  void CallbackPass(uint32_t& the_time);

  void SetCurrentTime(uint32_t the_time) { current_time_ = the_time; }
  bool RefreshTime() const { return refresh_time_; }
  void NoticeChannelsLeft(const std::string& text) const;

 private:
  struct TimedCallback {
    int id;
    std::function<void()> handler;
    uint32_t interval_ms;
    bool repeat;
    uint32_t start;
  };

  bool global_enabled_ = true;
  TimeEvent on_timer_poll_;
  std::function<bool()> on_timer_poll_idle_;
  TimeEvent on_timeout_;
  AdvancedComDecodeEvent on_advanced_com_decode_;
  ConfigLinePollEvent on_config_line_poll_;
  CallbackExceptionEvent on_callback_exception_;
  std::array<VMurDistributor_DataRecord, 2> data_;
  std::vector<VMurGeneralDistributor*> children_;  // in attach order

  uint32_t current_time_ = 0;
  bool in_callback_ = false;
  bool refresh_time_ = false;
  int in_use_ = 0;
  bool release_pending_ = false;

  bool timeout_armed_ = false;
  uint32_t timeout_start_ = 0;
  uint32_t timeout_interval_ = 0;
  std::vector<TimedCallback> callbacks_;
  int next_callback_id_ = 1;
};

}  // namespace kestrova
