// The root of everything that can name a channel or be an event's sender.
#pragma once

namespace kestrova {

class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
};

}  // namespace kestrova
