// Exceptions of the serial port component.
#pragma once

#include <string>

#include "util/exception.h"

namespace kestrova {

// A port that cannot be run (a worker thread cannot be had).
class ECommsError : public Exception {
 public:
  explicit ECommsError(const std::string& message) : Exception(message) {}
};

// A value outside what a serial setting can hold (a timeout index, a negative timeout).
class ESerialRangeError : public Exception {
 public:
  explicit ESerialRangeError(const std::string& message) : Exception(message) {}
};

}  // namespace kestrova
