// Colour texts: any text is read or refused with Exception, and colour -> text -> colour holds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz_check.h"
#include "util/color_text.h"
#include "util/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const kestrova::TColor color = kestrova::TextToColor(text);
    FUZZ_CHECK(kestrova::TextToColor(kestrova::ColorToText(color)) == color);
  } catch (const kestrova::Exception&) {
  }
  if (size >= 4) {
    kestrova::TColor color;
    std::memcpy(&color, data, sizeof color);
    FUZZ_CHECK(kestrova::TextToColor(kestrova::ColorToText(color)) == color);
  }
  return 0;
}
