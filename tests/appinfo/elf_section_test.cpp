#include "appinfo/elf_section.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "support/elf_file_writer.h"

namespace kestrova {
namespace {

using testing_support::ElfFileWriter;
using testing_support::ElfOptions;

class ElfSectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-elf-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (memory_fd_ >= 0) close(memory_fd_);
    std::filesystem::remove_all(dir_);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Many damaged files in a row go through one in-memory file, not the disk.
  std::string WriteInMemory(const std::string& bytes) {
    if (memory_fd_ < 0) memory_fd_ = memfd_create("kestrova-elf", MFD_CLOEXEC);
    EXPECT_GE(memory_fd_, 0);
    EXPECT_EQ(ftruncate(memory_fd_, 0), 0);
    EXPECT_EQ(pwrite(memory_fd_, bytes.data(), bytes.size(), 0),
              static_cast<ssize_t>(bytes.size()));
    return "/proc/self/fd/" + std::to_string(memory_fd_);
  }

  static std::string Sample(const ElfOptions& options) {
    return ElfFileWriter::Build({{".text", std::string("\x90\x90\xC3", 3)},
                                 {".kestrova_version", std::string("block\0data", 10)},
                                 {".bss", "", 8}},
                                options);
  }

  std::filesystem::path dir_;
  int memory_fd_ = -1;
};

TEST_F(ElfSectionTest, FindsSectionsInEveryClassAndByteOrder) {
  for (const bool is64 : {false, true}) {
    for (const bool big_endian : {false, true}) {
      for (const bool extended : {false, true}) {
        const std::string path = Write("sample", Sample({is64, big_endian, extended}));
        std::string contents;
        ASSERT_TRUE(ReadElfSection(path, ".kestrova_version", 100, contents))
            << is64 << big_endian << extended;
        EXPECT_EQ(contents, std::string("block\0data", 10));
        ASSERT_TRUE(ReadElfSection(path, ".text", 100, contents));
        EXPECT_EQ(contents, "\x90\x90\xC3");
        EXPECT_FALSE(ReadElfSection(path, ".data", 100, contents));
        EXPECT_FALSE(ReadElfSection(path, ".bss", 100, contents));  // no contents in the file
        EXPECT_FALSE(ReadElfSection(path, ".kestrova_version", 9, contents));  // too large
        EXPECT_FALSE(ReadElfSection(path, ".kestrova", 100, contents));        // whole names only
      }
    }
  }
}

TEST_F(ElfSectionTest, RefusesWhatIsNoReadableElfFile) {
  std::string contents;
  EXPECT_FALSE(ReadElfSection(Write("text",
                                    "Just some text, long enough to be a header....."
                                    "................"),
                              ".text", 100, contents));
  EXPECT_FALSE(ReadElfSection(Write("empty", ""), ".text", 100, contents));
  EXPECT_FALSE(ReadElfSection(Write("short",
                                    "\x7F"
                                    "ELF"),
                              ".text", 100, contents));
  EXPECT_FALSE(ReadElfSection((dir_ / "missing").string(), ".text", 100, contents));
  EXPECT_FALSE(ReadElfSection(dir_.string(), ".text", 100, contents));
  EXPECT_FALSE(ReadElfSection("/dev/null", ".text", 100, contents));
  const std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadElfSection(fifo, ".text", 100, contents));  // returns, does not wait
}

TEST_F(ElfSectionTest, TruncatedOrDamagedFilesNeverReadOutside) {
  const std::string sample = Sample({});
  std::string contents;
  for (size_t length = 0; length < sample.size(); ++length) {
    // Without the section headers at the end nothing is found.
    EXPECT_FALSE(
        ReadElfSection(Write("cut", sample.substr(0, length)), ".kestrova_version", 100, contents))
        << length;
  }
  std::mt19937 random(9);
  int found = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = Sample({(round & 1) != 0, (round & 2) != 0, (round & 4) != 0});
    for (int flips = 1 + round % 4; flips > 0; --flips) {
      damaged[random() % damaged.size()] = static_cast<char>(random());
    }
    if (ReadElfSection(WriteInMemory(damaged), ".kestrova_version", 100, contents)) {
      ++found;
      EXPECT_LE(contents.size(), 100u);
    }
  }
  EXPECT_GT(found, 0);  // some damage misses the parts that matter
}

}  // namespace
}  // namespace kestrova
