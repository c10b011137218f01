#include "distribution/general_distributor.h"

#include <algorithm>

#include "distribution/distributor.h"
#include "distribution/top_distributor.h"
#include "platform/tick.h"
#include "util/diagnostic_notice.h"
#include "util/tick_math.h"

namespace kestrova {
namespace {

constexpr char kNoTopForSend[] =
    "SendComData: VMurDistributor chain does not begin with VMurTopDistributor";
constexpr char kNoTopForBuffer[] =
    "GetComBuffer: VMurDistributor chain does not begin with VMurTopDistributor";
}  // namespace

VMurGeneralDistributor::VMurGeneralDistributor(Component* owner) : Component(owner) {
  GrowChannels(1);
}

VMurGeneralDistributor::~VMurGeneralDistributor() {
  on_timer_poll_ = nullptr;
  while (!children_.empty()) {
    auto* child = static_cast<VMurDistributor*>(children_.back());
    child->SetDistributor(nullptr);
  }
}

void VMurGeneralDistributor::NoticeChannelsLeft(const std::string& text) const {
  if (ChannelCount() > 1) RaiseNotice(text);
}

VMurDistributor_ChannelRecord& VMurGeneralDistributor::Claim(int index) {
  const int channel = index / 2;
  if (index < 0 || channel >= ChannelCount()) {
    throw Exception(Name() + ": buffer index " + std::to_string(index) + " out of range");
  }
  return *data_[index % 2].Channels[channel];
}

ChannelBuffer* VMurGeneralDistributor::GetComBuffer(int index) {
  VMurDistributor_ChannelRecord& record = Claim(index);
  if (record.Buffer == nullptr) {
    VMurTopDistributor* top = TopDistributor();
    if (top == nullptr) throw Exception(kNoTopForBuffer);
    record.Buffer = top->GetComBuffer(index);
  }
  return record.Buffer;
}

void VMurGeneralDistributor::SetPacketLength(int index, int value) {
  if (value < 0) {
    RaiseNotice("ses peknej jeliman");
    return;
  }
  Claim(index).PacketLength = value;
}

namespace {
int IndexOf(VMurGeneralDistributor& distributor, ChannelKey channel, int direction) {
  VMurTopDistributor* top = distributor.TopDistributor();
  if (top == nullptr) throw Exception(kNoTopForBuffer);
  return 2 * top->ChannelIndex(channel) + direction;
}
}  // namespace

ChannelBuffer* VMurGeneralDistributor::GetComBuffer(ChannelKey channel, int direction) {
  return GetComBuffer(IndexOf(*this, channel, direction));
}
int VMurGeneralDistributor::GetPacketLength(ChannelKey channel, int direction) {
  return GetPacketLength(IndexOf(*this, channel, direction));
}
void VMurGeneralDistributor::SetPacketLength(ChannelKey channel, int direction, int value) {
  SetPacketLength(IndexOf(*this, channel, direction), value);
}
bool VMurGeneralDistributor::GetFailed(ChannelKey channel, int direction) {
  return GetFailed(IndexOf(*this, channel, direction));
}
void VMurGeneralDistributor::SetFailed(ChannelKey channel, int direction, bool value) {
  SetFailed(IndexOf(*this, channel, direction), value);
}

void VMurGeneralDistributor::Release() {
  if (in_use_ == 0) {
    delete this;
  } else {
    release_pending_ = true;
  }
}

void VMurGeneralDistributor::Unlock() {
  if (in_use_ > 0) --in_use_;
  if (in_use_ == 0 && release_pending_) delete this;
}

void VMurGeneralDistributor::SendComData(std::string_view data) {
  SendComData(current_time_, data);
}

void VMurGeneralDistributor::SendComData(uint32_t& the_time, std::string_view data) {
  VMurTopDistributor* top = TopDistributor();
  if (top == nullptr) throw Exception(kNoTopForSend);
  top->SendMainChannel(the_time, data);
}

void VMurGeneralDistributor::SendComData(ChannelKey channel, uint32_t& the_time,
                                         std::string_view data) {
  VMurTopDistributor* top = TopDistributor();
  if (top == nullptr) throw Exception(kNoTopForSend);
  top->SendToChannel(channel, the_time, data);
}

TColor VMurGeneralDistributor::GetFilterColor(int direction, ChannelKey channel) {
  VMurDistributor_ChannelRecord& record = Claim(IndexOf(*this, channel, direction));
  if (record.FilterColor == record.ShownColor || record.FilterColor == clNone) return clNone;
  record.ShownColor = record.FilterColor;
  return record.FilterColor;
}

void VMurGeneralDistributor::GrowChannels(int count) {
  for (VMurDistributor_DataRecord& data : data_) {
    while (static_cast<int>(data.Channels.size()) < count) {
      data.Channels.push_back(std::make_unique<VMurDistributor_ChannelRecord>());
    }
  }
  for (VMurGeneralDistributor* child : children_) child->GrowChannels(count);
}

void VMurGeneralDistributor::ResetChannels() {
  for (VMurDistributor_DataRecord& data : data_) {
    data.Channels.clear();
    data.Channels.push_back(std::make_unique<VMurDistributor_ChannelRecord>());
  }
  for (VMurGeneralDistributor* child : children_) child->ResetChannels();
}

void VMurGeneralDistributor::MoveLastChannelTo(int channel) {
  for (VMurDistributor_DataRecord& data : data_) {
    if (channel < static_cast<int>(data.Channels.size()) - 1) {
      data.Channels[channel] = std::move(data.Channels.back());
    }
    data.Channels.pop_back();
  }
  for (VMurGeneralDistributor* child : children_) child->MoveLastChannelTo(channel);
}

void VMurGeneralDistributor::DetachChild(VMurGeneralDistributor* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it == children_.end()) return;
  *it = children_.back();  // the last child takes the leaving one's place
  children_.pop_back();
}

bool VMurGeneralDistributor::IsAncestorOf(const VMurGeneralDistributor* other) const {
  for (const VMurGeneralDistributor* child : children_) {
    if (child == other || child->IsAncestorOf(other)) return true;
  }
  return false;
}

bool VMurGeneralDistributor::CallbackException(int id, const Exception& e) {
  bool handled = false;
  if (on_callback_exception_) {
    CallbackExceptionEvent handler = on_callback_exception_;
    handler(this, e, id, handled);
  }
  return handled;
}

void VMurGeneralDistributor::ArmTimeout(uint32_t interval_ms) {
  WakeTimer();
  timeout_armed_ = true;
  timeout_start_ = current_time_;
  timeout_interval_ = interval_ms;
}

int VMurGeneralDistributor::RegisterCallback(std::function<void()> handler, uint32_t interval_ms,
                                             bool repeat) {
  WakeTimer();
  const int id = next_callback_id_++;
  callbacks_.push_back({id, std::move(handler), interval_ms, repeat, current_time_});
  return id;
}

void VMurGeneralDistributor::AttachChild(VMurGeneralDistributor* child) {
  children_.push_back(child);
  WakeTimer();
}

bool VMurGeneralDistributor::WantsTicks() const {
  if (on_timer_poll_ && !(on_timer_poll_idle_ && on_timer_poll_idle_())) return true;
  if (timeout_armed_ || !callbacks_.empty()) return true;
  return std::any_of(children_.begin(), children_.end(),
                     [](const VMurGeneralDistributor* child) { return child->WantsTicks(); });
}

void VMurGeneralDistributor::WakeTimer() {
  if (VMurTopDistributor* top = TopDistributor()) top->ResumeTimer();
}

void VMurGeneralDistributor::SetChainTime(uint32_t the_time) {
  current_time_ = the_time;
  for (VMurGeneralDistributor* child : children_) child->SetChainTime(the_time);
}

void VMurGeneralDistributor::UnregisterCallback(int id) {
  std::erase_if(callbacks_, [id](const TimedCallback& entry) { return entry.id == id; });
}

// Marks a distributor as inside one of its periodic handlers and keeps it alive meanwhile; the
// last Unlock() carries out a Release() asked for during the call.
class VMurGeneralDistributor::CallbackScope {
 public:
  explicit CallbackScope(VMurGeneralDistributor& distributor) : distributor_(distributor) {
    distributor_.in_callback_ = true;
    distributor_.Lock();
  }
  ~CallbackScope() {
    distributor_.in_callback_ = false;
    distributor_.Unlock();
  }
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;

 private:
  VMurGeneralDistributor& distributor_;
};

// The three passes share their shape: children first, then this distributor's own handler
// under the in-callback guard. A distributor found inside its own handler (a nested tick) is
// skipped and takes a fresh time when its handler returns.
bool VMurGeneralDistributor::EnterPass() {
  if (!in_callback_) return true;
  refresh_time_ = true;
  return false;
}

void VMurGeneralDistributor::TimerPollPass(uint32_t& the_time) {
  if (!global_enabled_ || !EnterPass()) return;
  current_time_ = the_time;
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->TimerPollPass(the_time);
  if (!on_timer_poll_) return;
  CallbackScope scope(*this);
  TimeEvent handler = on_timer_poll_;
  Guarded(kCbTimerPoll, [&] { handler(this, the_time); });
  if (refresh_time_) {
    refresh_time_ = false;
    the_time = TickCount();
    current_time_ = the_time;
  }
}

void VMurGeneralDistributor::TimeoutPass(uint32_t& the_time) {
  if (!global_enabled_ || !EnterPass()) return;
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->TimeoutPass(the_time);
  if (!timeout_armed_ || !TimeElapsed(timeout_start_, timeout_interval_, the_time)) return;
  timeout_armed_ = false;
  if (!on_timeout_) return;
  CallbackScope scope(*this);
  TimeEvent handler = on_timeout_;
  Guarded(kCbTimeout, [&] { handler(this, the_time); });
}

void VMurGeneralDistributor::CallbackPass(uint32_t& the_time) {
  if (!EnterPass()) return;
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->CallbackPass(the_time);
  if (callbacks_.empty()) return;
  CallbackScope scope(*this);
  size_t i = 0;
  while (i < callbacks_.size()) {
    TimedCallback& entry = callbacks_[i];
    if (!TimeElapsed(entry.start, entry.interval_ms, the_time)) {
      ++i;
      continue;
    }
    std::function<void()> handler = entry.handler;
    if (entry.repeat) {
      entry.start = the_time;
      ++i;
    } else {
      callbacks_.erase(callbacks_.begin() + static_cast<ptrdiff_t>(i));
    }
    const size_t size_before = callbacks_.size();
    handler();
    if (callbacks_.size() != size_before) break;  // the rest waits for the next tick
  }
}

}  // namespace kestrova
