// The registry file reader on any bytes: whatever it accepts is written back, as a hive and as
// an export, in a form that reads back to the same hive, and writing that hive again gives the
// same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/reg_text_reader.h"
#include "platform/reg_text_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  kestrova::RegHive first;
  if (kestrova::ReadRegText(input, first)) return 0;  // refused: nothing to compare
  for (auto format : {kestrova::FormatRegText, kestrova::FormatRegExport}) {
    const std::string text = format(first);
    kestrova::RegHive second;
    FUZZ_CHECK(!kestrova::ReadRegText(text, second));
    FUZZ_CHECK(second == first);
    FUZZ_CHECK(format(second) == text);
  }
  return 0;
}
