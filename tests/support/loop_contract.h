// The behaviour every MessageLoop implementation shares, as parameterised test suites: each test
// binary instantiates MessageLoopContract and MessageWindowContract with its loop kinds.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "platform/message_loop.h"

namespace kestrova::testing {

// A loop under test and the calls that turn it, which MessageLoop itself leaves to each kind.
class LoopDriver {
 public:
  virtual ~LoopDriver() = default;
  virtual MessageLoop& loop() = 0;
  virtual void RunFor(std::chrono::milliseconds duration) = 0;
  virtual bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;
  // One turn without waiting; true when it called anything.
  virtual bool RunPending() = 0;
};

// Drives a loop class that has the three Run* calls under these names.
template <typename Loop>
class LoopDriverOf final : public LoopDriver {
 public:
  template <typename... Args>
  explicit LoopDriverOf(Args&&... args) : loop_(std::forward<Args>(args)...) {}

  Loop& loop() override { return loop_; }
  void RunFor(std::chrono::milliseconds duration) override { loop_.RunFor(duration); }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    return loop_.RunUntil(done, timeout);
  }
  bool RunPending() override { return loop_.RunPending(); }

 private:
  Loop loop_;
};

// One implementation to run the suites against.
struct LoopKind {
  std::string name;
  std::function<std::unique_ptr<LoopDriver>()> make;
};

inline void PrintTo(const LoopKind& kind, std::ostream* out) { *out << kind.name; }

class LoopContractTest : public ::testing::TestWithParam<LoopKind> {
 protected:
  // A fresh loop for each use; a test may need several, or one that it destroys.
  std::unique_ptr<LoopDriver> NewDriver() const { return GetParam().make(); }
};

class MessageLoopContract : public LoopContractTest {};
class MessageWindowContract : public LoopContractTest {};

}  // namespace kestrova::testing
