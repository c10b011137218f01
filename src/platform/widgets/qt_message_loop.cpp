#include "platform/widgets/qt_message_loop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace kestrova {

struct QtMessageLoop::Entry {
  Entry(QtMessageLoop* owner, Task callback) : loop(owner), task(std::move(callback)) {}
  QtMessageLoop* loop;  // null once the loop is gone
  Task task;
  // The Qt side of a timer or a watch; deleted as soon as the handle or the loop goes.
  std::unique_ptr<QTimer> timer;
  std::unique_ptr<QSocketNotifier> notifier;
  bool active = true;      // false once the handle is destroyed
  bool running = false;    // its callback is on the stack
  bool suspended = false;  // a watch switched off while a nested loop runs in its callback
};

namespace {

QEvent::Type WakeEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// Receives the loop's wake-up events on the loop thread.
class WakeReceiver final : public QObject {
 public:
  explicit WakeReceiver(std::function<void()> on_wake) : on_wake_(std::move(on_wake)) {}

  bool event(QEvent* event) override {
    if (event->type() != WakeEventType()) return QObject::event(event);
    on_wake_();
    return true;
  }

 private:
  std::function<void()> on_wake_;
};

// Marks an entry's callback as on the stack for as long as it runs.
class RunningScope {
 public:
  explicit RunningScope(bool& running) : running_(running) { running_ = true; }
  ~RunningScope() { running_ = false; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  bool& running_;
};

QtMessageLoop::ExceptionSink Required(QtMessageLoop::ExceptionSink sink) {
  if (!sink) throw std::invalid_argument("QtMessageLoop needs an exception sink");
  return sink;
}

constexpr auto kPredicateCheckInterval = std::chrono::milliseconds(10);
// How long queued tasks may keep the thread from window events in one turn.
constexpr auto kTaskSlice = std::chrono::milliseconds(10);

}  // namespace

QtMessageLoop::QtMessageLoop(ExceptionSink sink)
    : sink_(Required(std::move(sink))),
      context_(std::make_unique<WakeReceiver>([this] { RunQueuedTasks(); })) {}

QtMessageLoop::~QtMessageLoop() {
  for (const auto& entry : entries_) {
    entry->timer.reset();
    entry->notifier.reset();
    entry->loop = nullptr;
  }
}

void QtMessageLoop::Post(Task task) {
  std::lock_guard lock(mutex_);
  tasks_.push_back(std::move(task));
  ArmLocked();
}

// One wake-up event serves every task queued before it is handled, so a burst of posts costs
// Qt one event.
void QtMessageLoop::ArmLocked() {
  if (wake_posted_) return;
  wake_posted_ = true;
  QCoreApplication::postEvent(context_.get(), new QEvent(WakeEventType()));
}

LoopHandle QtMessageLoop::StartTimer(std::chrono::milliseconds interval, Task task) {
  auto entry = std::make_shared<Entry>(this, std::move(task));
  entry->timer = std::make_unique<QTimer>();
  // Coarse timers may fire early by a twentieth of their interval; the poll loop never does.
  entry->timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(entry->timer.get(), &QTimer::timeout, context_.get(),
                   [this, weak = std::weak_ptr<Entry>(entry)] {
                     if (const auto held = weak.lock()) CallTimer(held);
                   });
  entry->timer->start(std::max(interval, std::chrono::milliseconds(1)));
  entries_.push_back(entry);
  return std::make_unique<Registration>(std::move(entry));
}

LoopHandle QtMessageLoop::WatchFd(int fd, Readiness readiness, Task task) {
  const bool readable = readiness == Readiness::kReadable;
  auto entry = std::make_shared<Entry>(this, std::move(task));
  entry->notifier = std::make_unique<QSocketNotifier>(
      fd, readable ? QSocketNotifier::Read : QSocketNotifier::Write);
  QObject::connect(entry->notifier.get(), &QSocketNotifier::activated, context_.get(),
                   [this, weak = std::weak_ptr<Entry>(entry)] {
                     if (const auto held = weak.lock()) CallWatch(held);
                   });
  entries_.push_back(entry);
  return std::make_unique<Registration>(std::move(entry));
}

void QtMessageLoop::Forget(Entry* entry) {
  entry->timer.reset();
  entry->notifier.reset();
  std::erase_if(entries_, [entry](const auto& held) { return held.get() == entry; });
}

void QtMessageLoop::CallTimer(const std::shared_ptr<Entry>& entry) {
  if (entry->active && !entry->running) CallEntry(*entry);
}

void QtMessageLoop::CallWatch(const std::shared_ptr<Entry>& entry) {
  if (!entry->active) return;
  if (entry->running) {
    // A nested loop inside this watch's callback; the descriptor stays ready until the callback
    // deals with it, so serving it would spin.
    entry->suspended = true;
    entry->notifier->setEnabled(false);
    return;
  }
  CallEntry(*entry);
  if (entry->active && entry->suspended) ResumeLater(entry);
}

void QtMessageLoop::ResumeLater(const std::shared_ptr<Entry>& entry) {
  QMetaObject::invokeMethod(
      context_.get(),
      [weak = std::weak_ptr<Entry>(entry)] {
        const auto held = weak.lock();
        if (!held || !held->active || !held->suspended) return;
        held->suspended = false;
        held->notifier->setEnabled(true);
      },
      Qt::QueuedConnection);
}

void QtMessageLoop::CallEntry(Entry& entry) {
  RunningScope running(entry.running);
  Invoke(entry.task);
}

void QtMessageLoop::Invoke(const Task& task) {
  ++calls_;
  ++callback_depth_;
  Guarded(task);
  --callback_depth_;
  while (!turn_end_.empty()) {
    const std::vector<Task> due = std::exchange(turn_end_, {});
    for (const Task& work : due) Guarded(work);
  }
}

void QtMessageLoop::Guarded(const Task& task) {
  try {
    task();
  } catch (const std::exception& error) {
    sink_(error);
  } catch (...) {
    // Not ours to handle, and it cannot travel through Qt's dispatch.
    std::terminate();
  }
}

void QtMessageLoop::AtTurnEnd(Task task) {
  if (callback_depth_ == 0) {
    Post(std::move(task));
    return;
  }
  turn_end_.push_back(std::move(task));
}

void QtMessageLoop::RunQueuedTasks() {
  size_t queued = 0;
  {
    std::lock_guard lock(mutex_);
    wake_posted_ = false;
    queued = tasks_.size();
  }
  // Tasks posted meanwhile wait for the next wake-up, that is the next turn. A long queue (a
  // fast port's reader ahead of the window) is served in slices, so that window events and
  // painting get their turn between them.
  const auto slice_end = Clock::now() + kTaskSlice;
  for (size_t i = 0; i < queued; ++i) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
      // The task may run a nested loop, which must go on with the rest of the queue in order;
      // the rest may also wait for the next slice.
      if (!tasks_.empty()) ArmLocked();
    }
    Invoke(task);
    if (Clock::now() >= slice_end) return;
  }
}

void QtMessageLoop::Turn(Clock::time_point wait_until) {
  const auto now = Clock::now();
  if (wait_until <= now) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // A turn of its own: a nested turn inside a callback of this one must not stop this one's
  // wake-up, or a dispatcher that waits after calling the callbacks would sleep for good.
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(std::min(std::chrono::ceil<std::chrono::milliseconds>(wait_until - now),
                      std::chrono::milliseconds(std::numeric_limits<int>::max())));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtMessageLoop::RunFor(std::chrono::milliseconds duration) {
  const auto end = Clock::now() + duration;
  do {
    Turn(end);
  } while (Clock::now() < end);
}

bool QtMessageLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!done()) {
    const auto now = Clock::now();
    if (now >= end) return false;
    Turn(std::min(end, now + kPredicateCheckInterval));
  }
  return true;
}

bool QtMessageLoop::RunPending() {
  const uint64_t before = calls_;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return calls_ != before;
}

}  // namespace kestrova
