#include "appinfo/version_info.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "appinfo/version_block.h"
#include "support/elf_file_writer.h"

namespace kestrova {
namespace {

using testing_support::ElfFileWriter;

// A block as the build writes it: magic, then path NUL value NUL pairs.
std::string Block(std::initializer_list<std::pair<std::string, std::string>> entries) {
  std::string block(kVersionBlockMagic);
  for (const auto& [path, value] : entries) block += path + '\0' + value + '\0';
  return block + '\0';
}

TEST(ParseVersionBlock, WellFormedAndDamagedBlocks) {
  VersionValues values;
  ASSERT_TRUE(ParseVersionBlock(Block({{"\\a", "1"}, {"\\b", ""}, {"\\a", "2"}}), values));
  EXPECT_EQ(values, (VersionValues{{"\\a", "1"}, {"\\b", ""}}));  // the first of a path wins
  EXPECT_TRUE(ParseVersionBlock(kVersionBlockMagic, values));
  EXPECT_TRUE(values.empty());
  const std::string without_end = std::string(kVersionBlockMagic) + "\\a" + '\0' + "1" + '\0';
  EXPECT_TRUE(ParseVersionBlock(without_end, values));
  EXPECT_EQ(values.size(), 1u);
  const std::string damaged[] = {"", "KestrovaVersion1", "KestrovaVersion2" + std::string(1, '\0'),
                                 std::string(kVersionBlockMagic) + "\\a",
                                 std::string(kVersionBlockMagic) + "\\a" + '\0' + "1"};
  for (const auto& block : damaged) {
    EXPECT_FALSE(ParseVersionBlock(block, values)) << block;
    EXPECT_TRUE(values.empty());
  }
}

class VersionInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrova-version-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string WriteElf(const std::string& name, const std::string& block) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        << ElfFileWriter::Build({{".text", "code"}, {std::string(kVersionSectionName), block}}, {});
    return path;
  }

  static void ExpectAllEmpty(const TFileVersionInfo& info) {
    for (const std::string* text :
         {&info.Comments(), &info.CompanyName(), &info.CountryCode(), &info.FileDescription(),
          &info.FileVersion(), &info.InternalName(), &info.LegalCopyright(),
          &info.LegalTradeMarks(), &info.OriginalFilename(), &info.ProductName(),
          &info.ProductVersion()}) {
      EXPECT_EQ(*text, "");
    }
  }

  std::filesystem::path dir_;
};

TEST_F(VersionInfoTest, ReadsTheRunningProgramsOwnBlock) {
  TFileVersionInfo info(nullptr);
  EXPECT_EQ(info.ExecutableFile(), "/proc/self/exe");
  EXPECT_EQ(info.CompanyName(), "MUR s.r.o.");
  EXPECT_EQ(info.ProductName(), "Kestrova");
  EXPECT_EQ(info.CountryCode(), "0409FDE9");
  // "major.minor.patch"
  const std::string& version = info.FileVersion();
  EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
  EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
  EXPECT_TRUE(!version.empty() && version.front() != '.' && version.back() != '.') << version;
  EXPECT_EQ(info.ProductVersion(), info.FileVersion());
  EXPECT_FALSE(info.FileDescription().empty());
  EXPECT_EQ(info.LegalTradeMarks(), "");  // not in the block
  EXPECT_EQ(info.Comments(), "");
}

TEST_F(VersionInfoTest, SeveralTranslationsAreReadInTheFirstOnly) {
  TFileVersionInfo info(nullptr);
  info.SetExecutableFile(
      WriteElf("two", Block({{"\\VarFileInfo\\Translation", "040504e2 0409FDE9"},
                             {"\\StringFileInfo\\040504E2\\CompanyName", "MUR spol. s r.o."},
                             {"\\StringFileInfo\\040504E2\\Comments", "Pozn\xC3\xA1mka"},
                             {"\\StringFileInfo\\0409FDE9\\CompanyName", "MUR s.r.o."},
                             {"\\StringFileInfo\\0409FDE9\\ProductName", "Kestrova"}})));
  EXPECT_EQ(info.CountryCode(), "040504E2");
  EXPECT_EQ(info.CompanyName(), "MUR spol. s r.o.");
  EXPECT_EQ(info.Comments(), "Pozn\xC3\xA1mka");
  EXPECT_EQ(info.ProductName(), "");  // only in the second translation
}

TEST_F(VersionInfoTest, FilesWithoutUsableVersionInformationLeaveEverythingEmpty) {
  TFileVersionInfo info(nullptr);
  ASSERT_EQ(info.CompanyName(), "MUR s.r.o.");
  const std::string text = (dir_ / "text").string();
  std::ofstream(text) << "not a program";
  const std::string cases[] = {
      WriteElf("no-translation", Block({{"\\StringFileInfo\\0409FDE9\\CompanyName", "X"}})),
      WriteElf("bad-translation", Block({{"\\VarFileInfo\\Translation", "0409FDE"},
                                         {"\\StringFileInfo\\0409FDE\\CompanyName", "X"}})),
      WriteElf("not-hex", Block({{"\\VarFileInfo\\Translation", "0409FDEX"},
                                 {"\\StringFileInfo\\0409FDEX\\CompanyName", "X"}})),
      WriteElf("bad-magic", "KestrovaVersion0" + Block({}).substr(16)),
      (dir_ / "missing").string(),
      text,
      dir_.string(),
  };
  for (const auto& path : cases) {
    info.SetExecutableFile(path);
    EXPECT_EQ(info.ExecutableFile(), path);
    ExpectAllEmpty(info);
  }
}

TEST_F(VersionInfoTest, ATranslationWithoutStringsGivesOnlyTheCountryCode) {
  TFileVersionInfo info(nullptr);
  info.SetExecutableFile(WriteElf("bare", Block({{"\\VarFileInfo\\Translation", "0409FDE9"}})));
  EXPECT_EQ(info.CountryCode(), "0409FDE9");
  EXPECT_EQ(info.CompanyName(), "");
}

}  // namespace
}  // namespace kestrova
