// A timer component: calls OnTimer every Interval milliseconds on the loop's thread while
// Enabled, an interval is set and a handler is assigned.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/message_loop.h"
#include "util/component.h"

namespace kestrova {

class Timer : public Component {
 public:
  using TimerEvent = std::function<void(Object* sender)>;

  // Without a loop the timer runs on MainLoop().
  explicit Timer(Component* owner, MessageLoop* loop = nullptr);

  uint32_t Interval() const { return interval_ms_; }
  void SetInterval(uint32_t interval_ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Set by the timer's user while it knows a tick would do nothing, so an idle program is not
  // woken for it; not a setting like Enabled. Clearing it starts a fresh interval.
  bool Resting() const { return resting_; }
  void SetResting(bool resting);
  const TimerEvent& OnTimer() const { return on_timer_; }
  void SetOnTimer(TimerEvent handler);

  void Loaded() override;

 private:
  void Update();
  void Fire();

  MessageLoop* loop_;
  uint32_t interval_ms_ = 1000;
  bool enabled_ = true;
  bool resting_ = false;
  TimerEvent on_timer_;
  LoopHandle running_;
};

}  // namespace kestrova
