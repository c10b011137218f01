// Readable registry values in test failure messages.
#pragma once

#include <cstdio>
#include <ostream>

#include "platform/reg_value.h"

namespace kestrova {

inline void PrintTo(const RegValue& value, std::ostream* os) {
  *os << "type " << value.type << " [";
  for (unsigned char c : value.data) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      *os << c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      *os << hex;
    }
  }
  *os << "]";
}

}  // namespace kestrova
