// Fuzz target for the registry file reader: whatever it accepts must be written back in a form
// that reads back to the same hive, and writing that hive again gives the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/reg_text_reader.h"
#include "platform/reg_text_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kestrova;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  RegHive first;
  if (ReadRegText(input, first)) return 0;  // refused: nothing to compare
  std::string text = FormatRegText(first);
  RegHive second;
  if (std::optional<RegParseError> error = ReadRegText(text, second)) {
    std::fprintf(stderr, "written hive does not read back: %s\n", error->Describe().c_str());
    std::abort();
  }
  if (!(second == first)) {
    std::fprintf(stderr, "written hive reads back different\n");
    std::abort();
  }
  if (FormatRegText(second) != text) {
    std::fprintf(stderr, "writing the hive again gives another text\n");
    std::abort();
  }
  return 0;
}
