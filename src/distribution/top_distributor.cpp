#include "distribution/top_distributor.h"

#include <algorithm>

#include "distribution/automatic_com_handler.h"
#include "platform/tick.h"
#include "util/diagnostic_notice.h"

namespace kestrova {
namespace {
constexpr uint32_t kAutomaticTimerInterval = 20;

std::unique_ptr<VMurDistributor_TopDataRecord> NewBuffer(ChannelKey channel, bool closed) {
  auto record = std::make_unique<VMurDistributor_TopDataRecord>();
  record->Channel = channel;
  record->Closed = closed;
  return record;
}
}  // namespace

VMurTopDistributor::VMurTopDistributor(Component* owner) : VMurGeneralDistributor(owner) {
  // The main channel starts closed: nothing has been received on it yet.
  buffers_.push_back(NewBuffer(ChannelKey(), true));
  buffers_.push_back(NewBuffer(ChannelKey(), true));
}

VMurTopDistributor::~VMurTopDistributor() {
  destroying_ = true;
  SetComHandler(nullptr);
  SetTimer(nullptr);
  NoticeChannelsLeft("VMurTopDistributor(" + Name() +
                     ").Destroy: Please call DeleteChannel after communication termination");
  if (buffers_[0]->Closed != buffers_[1]->Closed) {
    RaiseNotice("VMurTopDistributor(" + Name() + ").Destroy: zmatky s freed");
  }
  if (!buffers_[0]->Closed) {
    RaiseNotice("VMurTopDistributor(" + Name() +
                ").Destroy: Please call DeleteChannel(nil) after communication termination "
                "(e.g. in TVSSComm32.OnStateChange)");
  }
}

void VMurTopDistributor::Loaded() {
  VMurGeneralDistributor::Loaded();
  if (!automatic_create_) return;
  if (timer_ == nullptr) {
    auto* timer = new class Timer(this);
    timer->SetName("VMurDistributionTimer");
    timer->SetInterval(kAutomaticTimerInterval);
    SetTimer(timer);
    owns_timer_ = true;
  }
  if (com_handler_ == nullptr) {
    if (VMurCommunicationComponent* handler = CreateAutomaticComHandler(this)) {
      handler->SetName("VMurCOMHandler");
      SetComHandler(handler);
      owns_com_handler_ = true;
    }
  }
}

void VMurTopDistributor::SetTimer(class Timer* timer) {
  if (timer == timer_) return;
  if (timer_ != nullptr) {
    class Timer* old = timer_;
    timer_ = nullptr;
    old->RemoveFreeNotification(this);
    if (owns_timer_) {
      owns_timer_ = false;
      delete old;
    } else {
      old->SetOnTimer(nullptr);
      old->SetResting(false);
    }
  }
  timer_ = timer;
  if (timer_ != nullptr) {
    timer_->FreeNotification(this);
    timer_->SetResting(false);
    timer_->SetOnTimer([this](Object*) { TimerTick(); });
  }
}

void VMurTopDistributor::SetComHandler(VMurCommunicationComponent* handler) {
  if (handler == com_handler_) return;
  if (com_handler_ != nullptr) {
    VMurCommunicationComponent* old = com_handler_;
    com_handler_ = nullptr;
    old->RemoveFreeNotification(this);
    // Only our own receive entry is taken back; a handler the application set stays.
    if (old->OnAdvancedReceiveData().target<ReceiveEntry>() != nullptr &&
        old->OnAdvancedReceiveData().target<ReceiveEntry>()->top == this) {
      old->SetOnAdvancedReceiveData(nullptr);
    }
    DeleteChannel(ChannelKey());
    if (owns_com_handler_) {
      owns_com_handler_ = false;
      delete old;
    }
  }
  com_handler_ = handler;
  if (com_handler_ != nullptr) {
    com_handler_->FreeNotification(this);
    com_handler_->SetOnAdvancedReceiveData(ReceiveEntry{this});
    DeleteChannel(ChannelKey());
  }
}

void VMurTopDistributor::ReceiveEntry::operator()(VMurCommunicationComponent* sender,
                                                  ChannelKey channel, std::string_view data) const {
  top->ComReceive(sender, channel, data);
}

void VMurTopDistributor::Notification(Component* component, Operation operation) {
  VMurGeneralDistributor::Notification(component, operation);
  if (operation != Operation::kRemove) return;
  if (component == timer_) {
    timer_ = nullptr;
    owns_timer_ = false;
  }
  if (component == com_handler_) {
    // The transport is already being destroyed and cannot be asked whether it is connected;
    // its main channel's bytes have nobody left to arrive from.
    com_handler_ = nullptr;
    owns_com_handler_ = false;
    DeleteChannel(ChannelKey());
  }
}

ChannelBuffer* VMurTopDistributor::GetComBuffer(int index) {
  if (index < 0 || index >= BufferCount()) {
    throw Exception(Name() + ": buffer index " + std::to_string(index) + " out of range");
  }
  return &buffers_[index]->Data;
}

int VMurTopDistributor::ChannelIndex(ChannelKey channel) {
  const int count = BufferCount() / 2;
  for (int k = 0; k < count; ++k) {
    if (buffers_[2 * k]->Channel == channel) {
      buffers_[2 * k]->Closed = false;
      buffers_[2 * k + 1]->Closed = false;
      return k;
    }
  }
  buffers_.push_back(NewBuffer(channel, false));
  buffers_.push_back(NewBuffer(channel, false));
  GrowChannels(count + 1);
  return count;
}

bool VMurTopDistributor::DeleteChannel(ChannelKey channel) {
  if (channel.IsNil()) {
    DropData(0, -1);
    DropData(1, -1);
    buffers_[0]->Closed = true;
    buffers_[1]->Closed = true;
    for (int& entry : processing_) {
      if (entry == 0 || entry == 1) entry = -1;
    }
    return true;
  }
  for (int k = BufferCount() / 2 - 1; k >= 0; --k) {
    if (buffers_[2 * k]->Channel != channel) continue;
    if (k == 0) return false;
    if (!processing_.empty()) {
      buffers_[2 * k]->Closed = true;
      buffers_[2 * k + 1]->Closed = true;
    } else {
      RemoveChannel(k);
    }
    return true;
  }
  return false;
}

void VMurTopDistributor::RemoveChannel(int channel) {
  MoveLastChannelTo(channel);
  const int last = BufferCount() / 2 - 1;
  if (channel != last) {
    buffers_[2 * channel] = std::move(buffers_[2 * last]);
    buffers_[2 * channel + 1] = std::move(buffers_[2 * last + 1]);
  }
  buffers_.resize(buffers_.size() - 2);
}

void VMurTopDistributor::RemoveClosedChannels() {
  for (int k = BufferCount() / 2 - 1; k >= 1; --k) {
    if (buffers_[2 * k]->Closed) RemoveChannel(k);
  }
}

int VMurTopDistributor::DropData(int index, int count) {
  VMurDistributor_TopDataRecord& record = *buffers_.at(index);
  const size_t removed =
      record.Data.DropHead(count < 0 ? record.Data.size() : static_cast<size_t>(count));
  // Bytes dropped before they were handed on are simply gone; never go below zero.
  record.Transferred = std::max<int64_t>(0, record.Transferred - static_cast<int64_t>(removed));
  return static_cast<int>(removed);
}

void VMurTopDistributor::ComReceive(VMurCommunicationComponent* sender, ChannelKey channel,
                                    std::string_view data) {
  if (destroying_ || !com_handler_enabled_) return;
  const int k = ChannelIndex(channel);
  if (k == 0) ResumeTimer();
  buffers_[2 * k]->Data.Append(data);
  uint32_t the_time = (sender != nullptr ? sender->ReadTick() : std::nullopt).value_or(TickCount());
  SetCurrentTime(the_time);
  ProcessBuffer(2 * k, the_time);
  if (do_timer_after_data_) TimerTick();
}

void VMurTopDistributor::SendMainChannel(uint32_t& the_time, std::string_view data) {
  if (com_handler_ != nullptr) com_handler_->WriteCommData(data);
  AppendAndProcess(1, the_time, data);
}

void VMurTopDistributor::SendToChannel(ChannelKey channel, uint32_t& the_time,
                                       std::string_view data) {
  VMurCommunicationComponent* handler = com_handler_;
  ChannelKey target = channel;
  if (on_update_handler_) {
    UpdateHandlerEvent update = on_update_handler_;
    Guarded(kCbUpdateHandler, [&] { update(this, handler, target); });
  }
  if (handler == nullptr) return;
  handler->WriteCommDataTo(target, data);
  AppendAndProcess(2 * ChannelIndex(channel) + 1, the_time, data);
}

void VMurTopDistributor::AppendAndProcess(int index, uint32_t& the_time, std::string_view data) {
  if (index < 2) ResumeTimer();
  buffers_[index]->Data.Append(data);
  ProcessBuffer(index, the_time);
}

void VMurTopDistributor::SetTimerEnabled(bool value) {
  timer_enabled_ = value;
  if (value) ResumeTimer();
}

void VMurTopDistributor::ResumeTimer() {
  if (timer_ == nullptr || !timer_->Resting()) return;
  // The ticks that were left out would have kept the chain's times fresh.
  SetChainTime(TickCount());
  timer_->SetResting(false);
}

void VMurTopDistributor::RestTimerIfIdle() {
  if (timer_ == nullptr) return;
  const bool bytes_wait = !buffers_[0]->Data.empty() || !buffers_[1]->Data.empty();
  timer_->SetResting(!(timer_enabled_ && bytes_wait) && !WantsTicks());
}

void VMurTopDistributor::TimerTick() {
  if (destroying_) return;
  int stage = kCbTickStart;
  try {
    uint32_t the_time = TickCount();
    if (timer_enabled_) {
      for (int index : {0, 1}) {
        if (tick_busy_) continue;  // a nested tick from inside a handler
        stage = kCbTickProcessing;
        tick_busy_ = true;
        try {
          ProcessBuffer(index, the_time);
        } catch (...) {
          tick_busy_ = false;
          throw;
        }
        tick_busy_ = false;
      }
      stage = kCbTickTimerPoll;
      TimerPollPass(the_time);
      stage = kCbTickTimeout;
      TimeoutPass(the_time);
    }
    stage = kCbTickCallbacks;
    CallbackPass(the_time);
    stage = kCbTickEnd;
    RestTimerIfIdle();
  } catch (const Exception& e) {
    if (!CallbackException(stage, e)) throw;
  }
}

}  // namespace kestrova
