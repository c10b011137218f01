#include "util/bool_text.h"

#include "util/ascii.h"

namespace kestrova {

bool TextToBoolean(std::string_view text, bool default_value) {
  if (text == "1" || EqualsIgnoringAsciiCase(text, "true")) return true;
  if (text == "0" || EqualsIgnoringAsciiCase(text, "false")) return false;
  return default_value;
}

}  // namespace kestrova
