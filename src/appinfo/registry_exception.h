// The exception a failed write of a setting raises.
#pragma once

#include "util/exception.h"

namespace kestrova {

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace kestrova
