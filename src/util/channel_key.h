// A channel: nil (a transport's main channel), an object naming one peer, or one of the bridge's
// diagnostic pseudo-channels 512..516. Only ever compared and hashed, never dereferenced by a
// consumer; the transport that created the peer object gets it back with AsObject().
#pragma once

#include <cstdint>
#include <functional>

#include "util/object.h"

namespace kestrova {

class ChannelKey {
 public:
  static constexpr int kFirstPseudo = 512;
  static constexpr int kLastPseudo = 516;

  constexpr ChannelKey() = default;
  // Implicit on purpose: a channel is named by passing the peer object, `this` or nullptr.
  ChannelKey(const Object* object)  // NOLINT(google-explicit-constructor)
      : value_(reinterpret_cast<uintptr_t>(object)) {}

  static constexpr ChannelKey Pseudo(int number) {
    return ChannelKey(static_cast<uintptr_t>(number));
  }

  constexpr bool IsNil() const { return value_ == 0; }
  constexpr bool IsPseudo() const {
    return value_ >= static_cast<uintptr_t>(kFirstPseudo) &&
           value_ <= static_cast<uintptr_t>(kLastPseudo);
  }
  // The pseudo-channel's number, or 0 when this is not one.
  constexpr int PseudoNumber() const { return IsPseudo() ? static_cast<int>(value_) : 0; }
  // The peer object, or nullptr for nil and pseudo-channels.
  Object* AsObject() const { return IsPseudo() ? nullptr : reinterpret_cast<Object*>(value_); }
  constexpr uintptr_t Value() const { return value_; }

  friend constexpr bool operator==(ChannelKey a, ChannelKey b) = default;

 private:
  constexpr explicit ChannelKey(uintptr_t value) : value_(value) {}
  uintptr_t value_ = 0;
};

}  // namespace kestrova

template <>
struct std::hash<kestrova::ChannelKey> {
  size_t operator()(kestrova::ChannelKey key) const noexcept {
    return std::hash<uintptr_t>()(key.Value());
  }
};
