#include "appinfo/registry_ini_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "appinfo/registry_exception.h"
#include "platform/registry.h"
#include "support/reg_value_printer.h"
#include "support/temp_hives.h"

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::string_view kForms = "\\Software\\MUR s.r.o.\\KestTerminal\\Options\\Forms";

class RegistryIniFileTest : public ::testing::Test {
 protected:
  test::TempHives hives_;
};

TEST_F(RegistryIniFileTest, SectionsAreSubkeysAndTheEmptySectionIsTheKey) {
  RegistryIniFile ini(kForms);
  EXPECT_EQ(ini.KeyPath(), "HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\Options\\Forms");
  ini.WriteInteger("Form1", "Left", -20);
  ini.WriteString("", "ZOrder", "Form1|VMurTerminal1_Form");
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, std::string(kForms) + "\\Form1", "Left"),
            RegValue::Dword(0xFFFFFFEC));
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, kForms, "ZOrder"),
            RegValue::String("Form1|VMurTerminal1_Form"));
  EXPECT_FALSE(RegReadValue(RegRoot::kLocalMachine, std::string(kForms) + "\\Form1", "Left"));

  RegistryIniFile fresh(kForms);
  EXPECT_EQ(fresh.ReadInteger("form1", "LEFT", 0), -20);
  EXPECT_EQ(fresh.ReadString("", "ZOrder", ""), "Form1|VMurTerminal1_Form");
  EXPECT_TRUE(fresh.SectionExists("Form1"));
  EXPECT_FALSE(fresh.SectionExists("Form2"));
  EXPECT_TRUE(fresh.ValueExists("Form1", "Left"));
  EXPECT_FALSE(fresh.ValueExists("Form1", "Top"));
}

TEST_F(RegistryIniFileTest, ReadsByTypeWithDefaults) {
  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "T\\S", "text", RegValue::String("12")).ok);
  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "T\\S", "word", RegValue::String("abc")).ok);
  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "T\\S", "dword", RegValue::Dword(5)).ok);
  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "T\\S", "bin", RegValue{kRegBinary, "1"}).ok);
  RegistryIniFile ini("T");
  EXPECT_EQ(ini.ReadInteger("S", "text", -1), 12);
  EXPECT_EQ(ini.ReadInteger("S", "word", -1), -1);
  EXPECT_EQ(ini.ReadInteger("S", "bin", -1), -1);
  EXPECT_EQ(ini.ReadInteger("S", "missing", -1), -1);
  EXPECT_EQ(ini.ReadInteger("Missing", "text", -1), -1);
  EXPECT_EQ(ini.ReadString("S", "dword", "d"), "5");
  EXPECT_EQ(ini.ReadString("S", "bin", "d"), "d");
  EXPECT_THAT(ini.ReadSection("S"), ElementsAre("text", "word", "dword", "bin"));
  EXPECT_THAT(ini.ReadSectionValues("S"), ElementsAre("text=12", "word=abc", "dword=5", "bin="));
  EXPECT_TRUE(ini.ReadSectionValues("Missing").empty());
}

// The terminal keeps its send history this way: erase the section, write "0", "1", ...
TEST_F(RegistryIniFileTest, EraseAndRewriteASectionInOneUpdate) {
  RegistryIniFile ini("\\Software\\K\\MurTerminalHistory");
  for (int i = 0; i < 5; ++i) ini.WriteString("VMurTerminal1", std::to_string(i), "old");
  ini.WriteString("Other", "0", "kept");
  struct stat before {};
  stat(hives_.UserHive().c_str(), &before);

  ini.BeginUpdate();
  ini.EraseSection("VMurTerminal1");
  ini.WriteString("VMurTerminal1", "0", "AT+CSQ");
  ini.WriteString("VMurTerminal1", "1", "a=b");
  EXPECT_THAT(ini.ReadSectionValues("VMurTerminal1"), ElementsAre("0=AT+CSQ", "1=a=b"));
  struct stat during {};
  stat(hives_.UserHive().c_str(), &during);
  EXPECT_EQ(during.st_ino, before.st_ino) << "written before EndUpdate";
  ini.EndUpdate();

  RegistryIniFile fresh("\\Software\\K\\MurTerminalHistory");
  EXPECT_THAT(fresh.ReadSectionValues("VMurTerminal1"), ElementsAre("0=AT+CSQ", "1=a=b"));
  EXPECT_THAT(fresh.ReadSectionValues("Other"), ElementsAre("0=kept"));
  fresh.DeleteKey("VMurTerminal1", "1");
  EXPECT_THAT(RegistryIniFile("\\Software\\K\\MurTerminalHistory").ReadSection("VMurTerminal1"),
              ElementsAre("0"));
}

TEST_F(RegistryIniFileTest, KeepsOthersChangesMadeMeanwhile) {
  RegistryIniFile ini("K");
  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "K\\S", "theirs", RegValue::Dword(1)).ok);
  ini.WriteInteger("S", "mine", 2);
  EXPECT_EQ(ini.ReadInteger("S", "theirs", 0), 1);
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "K\\S", "theirs"), RegValue::Dword(1));
}

TEST_F(RegistryIniFileTest, FailedWriteRaisesAndKeepsTheViewTrue) {
  std::filesystem::create_directories(hives_.UserHive());  // cannot be replaced
  RegistryIniFile ini("K");
  try {
    ini.WriteInteger("S", "v", 1);
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_THAT(e.what(), HasSubstr("Cannot store settings under \"HKEY_CURRENT_USER\\K\""));
    EXPECT_THAT(e.what(), HasSubstr("cannot read settings file"));
  }
  EXPECT_FALSE(ini.ValueExists("S", "v"));
  ini.BeginUpdate();
  ini.WriteInteger("S", "v", 1);
  EXPECT_THROW(ini.EndUpdate(), ERegistryException);
  EXPECT_FALSE(ini.ValueExists("S", "v"));
  EXPECT_THROW(ini.WriteInteger("line\nbreak", "v", 1), ERegistryException);
}

}  // namespace
}  // namespace kestrova
