// The ELF section reader on arbitrary files: it never reads outside the file, and what it
// returns is a piece of the file no larger than asked for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "appinfo/elf_section.h"
#include "appinfo/version_block.h"
#include "fuzz_check.h"

namespace {

const std::string& ScratchFile() {
  static const std::string path = [] {
    std::string name = "/tmp/kestrova-elf-fuzz-XXXXXX";
    const int fd = mkstemp(name.data());
    FUZZ_CHECK(fd >= 0);
    close(fd);
    std::atexit([] { std::remove(ScratchFile().c_str()); });
    return name;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ScratchFile();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
  std::fclose(file);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const size_t limit : {size_t{16}, size_t{1} << 20}) {
    std::string contents;
    if (kestrova::ReadElfSection(path, kestrova::kVersionSectionName, limit, contents)) {
      FUZZ_CHECK(contents.size() <= limit);
      FUZZ_CHECK(bytes.find(contents) != std::string::npos);
    }
  }
  return 0;
}
