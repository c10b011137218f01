#include "util/system_error.h"

#include <string.h>

#include <cstdio>

namespace kestrova {

std::string SystemErrorText(int code) {
  // strerrordesc_np tells whether the code is known at all; strerror_r gives the text in the
  // user's language.
  if (strerrordesc_np(code) == nullptr) {
    if (code == 632) return "Parameter dwSize of the passed structure is not filled.";
    char text[32];
    std::snprintf(text, sizeof text, "Error %08X", static_cast<unsigned>(code));
    return text;
  }
  char buffer[256];
  return TrimMessageEnd(strerror_r(code, buffer, sizeof buffer));
}

std::string TrimMessageEnd(std::string text) {
  bool had_full_stop = false;
  while (!text.empty()) {
    const char last = text.back();
    if (last == '.') {
      had_full_stop = true;
    } else if (last != ' ' && last != '\t' && last != '\r' && last != '\n') {
      break;
    }
    text.pop_back();
  }
  if (had_full_stop) text.push_back('.');
  return text;
}

}  // namespace kestrova
