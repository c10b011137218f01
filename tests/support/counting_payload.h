// A message payload that counts its live instances, so tests can see payloads freed.
#pragma once

#include <atomic>

#include "platform/message.h"

namespace kestrova::testing {

class CountingPayload final : public MessagePayload {
 public:
  explicit CountingPayload(std::atomic<int>& live, int tag_value = 0)
      : tag(tag_value), live_(live) {
    ++live_;
  }
  ~CountingPayload() override { --live_; }
  CountingPayload(const CountingPayload&) = delete;
  CountingPayload& operator=(const CountingPayload&) = delete;

  const int tag;

 private:
  std::atomic<int>& live_;
};

}  // namespace kestrova::testing
