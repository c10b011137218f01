// The general exception class. Handlers' failures of this class are routed to the owners'
// exception events; anything not derived from it always propagates.
#pragma once

#include <stdexcept>
#include <string>

namespace kestrova {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kestrova
