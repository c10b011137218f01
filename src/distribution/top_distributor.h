// The head of a distribution chain. It keeps every channel's receive and send buffers, takes
// received and sent blocks into them, lets the whole chain claim packets (shortest claim wins),
// hands every byte on exactly once, and drives the chain's periodic passes from its timer.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "distribution/communication_component.h"
#include "distribution/general_distributor.h"
#include "util/timer.h"

namespace kestrova {

class VMurTopDistributor : public VMurGeneralDistributor {
 public:
  using UpdateHandlerEvent = std::function<void(
      VMurTopDistributor* sender, VMurCommunicationComponent*& handler, ChannelKey& channel)>;
  using UpdateComEvent = std::function<void(VMurGeneralDistributor*& sender, ChannelKey& channel)>;

  // Default for KeepTransferredLimit: what a buffer keeps of bytes already handed on.
  static constexpr size_t kDefaultKeepTransferredLimit = 1 << 20;

  explicit VMurTopDistributor(Component* owner);
  ~VMurTopDistributor() override;

  bool AutomaticCreate() const { return automatic_create_; }
  void SetAutomaticCreate(bool value) { automatic_create_ = value; }
  class Timer* Timer() const {
    return timer_;
  }
  void SetTimer(class Timer* timer);
  VMurCommunicationComponent* ComHandler() const { return com_handler_; }
  void SetComHandler(VMurCommunicationComponent* handler);
  bool TimerEnabled() const { return timer_enabled_; }
  void SetTimerEnabled(bool value);
  bool ComHandlerEnabled() const { return com_handler_enabled_; }
  void SetComHandlerEnabled(bool value) { com_handler_enabled_ = value; }
  bool DoTimerAfterData() const { return do_timer_after_data_; }
  void SetDoTimerAfterData(bool value) { do_timer_after_data_ = value; }
  // Bytes that no handler claims are handed on once and stay for later claims. When more than
  // this many of them pile up, the oldest are dropped down to half of it, so a stream without
  // packet ends cannot grow a buffer without bound.
  size_t KeepTransferredLimit() const { return keep_transferred_limit_; }
  void SetKeepTransferredLimit(size_t limit) { keep_transferred_limit_ = limit; }

  UpdateHandlerEvent& OnUpdateHandler() { return on_update_handler_; }
  // Kept for configuration tools; nothing in the chain raises them.
  UpdateComEvent& OnUpdateComReceive() { return on_update_com_receive_; }
  UpdateComEvent& OnUpdateComSend() { return on_update_com_send_; }

  void Loaded() override;
  VMurTopDistributor* TopDistributor() override { return this; }
  ChannelBuffer* GetComBuffer(int index) override;

  // The channel's number, creating the channel when it is new. Numbers are positions: deleting
  // a channel moves the last one into its place.
  int ChannelIndex(ChannelKey channel);
  // Forgets a channel whose communication ended. For nil, empties the main channel's buffers
  // and keeps them. A channel deleted while buffers are processed goes when processing ends.
  bool DeleteChannel(ChannelKey channel);
  // The receive entry: takes a received block into the channel's buffer and processes it.
  void ComReceive(VMurCommunicationComponent* sender, ChannelKey channel, std::string_view data);
  // Removes up to `count` bytes (-1: all) from the head of buffer `index`; returns how many.
  int DropData(int index, int count);

  // Frames the buffer's bytes into packets through the chain and hands them on.
  void ProcessBuffer(int index, uint32_t& the_time);
  // The timer's handler: the main channel's buffers, then the chain's periodic passes.
  void TimerTick();

  int BufferCount() const { return static_cast<int>(buffers_.size()); }
  const VMurDistributor_TopDataRecord& Buffer(int index) const { return *buffers_.at(index); }

 protected:
  void Notification(Component* component, Operation operation) override;

 private:
  friend class VMurGeneralDistributor;
  class ProcessingScope;

  // What a ComHandler's receive event is set to: recognisable, so that only our own entry is
  // taken back when the handler changes.
  struct ReceiveEntry {
    VMurTopDistributor* top;
    void operator()(VMurCommunicationComponent* sender, ChannelKey channel,
                    std::string_view data) const;
  };

  void SendMainChannel(uint32_t& the_time, std::string_view data);
  void SendToChannel(ChannelKey channel, uint32_t& the_time, std::string_view data);
  void AppendAndProcess(int index, uint32_t& the_time, std::string_view data);

  // The steps of ProcessBuffer.
  void DecodeChain(VMurGeneralDistributor* d, int index, uint32_t& the_time);
  VMurGeneralDistributor* FindLowest(int index, bool strict);
  void TransferChain(VMurGeneralDistributor* d, int index, uint32_t& the_time, bool failed,
                     VMurGeneralDistributor* lowest, std::string_view data);
  void ResetClaims(VMurGeneralDistributor* d, int index);
  // Hands the packet up from its claimant to the head; false when processing must stop.
  bool PollWalk(VMurGeneralDistributor* lowest, int index, uint32_t& the_time,
                std::string_view packet, size_t stack_entry);
  bool PollStep(VMurGeneralDistributor* d, int index, uint32_t& the_time, std::string_view packet,
                bool& processed, size_t stack_entry, VMurGeneralDistributor*& next);
  void TrimTransferred(VMurDistributor_TopDataRecord& record);
  void RemoveClosedChannels();
  void RestTimerIfIdle();
  void ResumeTimer();
  void RemoveChannel(int channel);

  bool automatic_create_ = true;
  class Timer* timer_ = nullptr;
  bool owns_timer_ = false;
  VMurCommunicationComponent* com_handler_ = nullptr;
  bool owns_com_handler_ = false;
  bool timer_enabled_ = true;
  bool com_handler_enabled_ = true;
  bool do_timer_after_data_ = true;
  size_t keep_transferred_limit_ = kDefaultKeepTransferredLimit;
  UpdateHandlerEvent on_update_handler_;
  UpdateComEvent on_update_com_receive_;
  UpdateComEvent on_update_com_send_;

  // Two per channel: 2 * channel + direction. Held by pointer so that a buffer keeps its
  // address (claim records cache it) when channels are moved.
  std::vector<std::unique_ptr<VMurDistributor_TopDataRecord>> buffers_;
  // Buffer indices being processed, outermost first; -1 aborted, -2 finished.
  std::vector<int> processing_;
  bool tick_busy_ = false;
  bool destroying_ = false;
};

}  // namespace kestrova
