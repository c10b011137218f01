#include "util/timer.h"

#include <chrono>

#include "util/unhandled_exception.h"

namespace kestrova {

Timer::Timer(Component* owner, MessageLoop* loop) : Component(owner), loop_(loop) {}

void Timer::SetInterval(uint32_t interval_ms) {
  if (interval_ms == interval_ms_) return;
  interval_ms_ = interval_ms;
  Update();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void Timer::SetResting(bool resting) {
  if (resting == resting_) return;
  resting_ = resting;
  Update();
}

void Timer::SetOnTimer(TimerEvent handler) {
  on_timer_ = std::move(handler);
  Update();
}

void Timer::Loaded() {
  Component::Loaded();
  Update();
}

// Restarting on every change also restarts the interval, as users of a timer expect.
void Timer::Update() {
  running_.reset();
  if (Loading() || !enabled_ || resting_ || interval_ms_ == 0 || !on_timer_) return;
  MessageLoop& loop = loop_ != nullptr ? *loop_ : MainLoop();
  running_ = loop.StartTimer(std::chrono::milliseconds(interval_ms_), [this] { Fire(); });
}

void Timer::Fire() {
  // Copied: the handler may replace or clear itself, or free this timer.
  TimerEvent handler = on_timer_;
  try {
    handler(this);
  } catch (const std::exception& e) {
    ReportUnhandledException(e);
  }
}

}  // namespace kestrova
