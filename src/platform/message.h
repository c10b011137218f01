// A queued message as windows and threads exchange it: an id, two integers and an owned payload
// that passes to whoever takes the message.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

namespace kestrova {

// Base of any data carried by a message; the receiver owns it, a dropped message frees it.
class MessagePayload {
 public:
  virtual ~MessagePayload() = default;
};

// Carries any movable value, e.g. the bytes a reader thread received.
template <typename T>
class Payload final : public MessagePayload {
 public:
  explicit Payload(T held) : value(std::move(held)) {}
  T value;
};

template <typename T>
std::unique_ptr<MessagePayload> MakePayload(T value) {
  return std::make_unique<Payload<T>>(std::move(value));
}

// The carried value when `payload` holds a T, else nullptr.
template <typename T>
T* PayloadValue(MessagePayload* payload) {
  auto* typed = dynamic_cast<Payload<T>*>(payload);
  return typed != nullptr ? &typed->value : nullptr;
}

struct Message {
  uint32_t id = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
  std::unique_ptr<MessagePayload> payload;
};

}  // namespace kestrova
