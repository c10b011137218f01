#include "platform/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/hive_locations.h"
#include "platform/reg_import.h"
#include "support/reg_value_printer.h"
#include "support/temp_hives.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

struct LocationCase {
  const char* home;
  const char* config_home;  // nullptr: unset
  const char* config_dirs;
  const char* user;
  const char* machine;
};

TEST(HiveLocationsTest, FollowTheXdgRules) {
  const LocationCase cases[] = {
      {"/home/u", nullptr, nullptr, "/home/u/.config/mur/kestrova.reg",
       "/etc/xdg/mur/kestrova.reg"},
      {"/home/u", "", "", "/home/u/.config/mur/kestrova.reg", "/etc/xdg/mur/kestrova.reg"},
      {"/home/u", "/cfg/", "/a:/b", "/cfg/mur/kestrova.reg", "/a/mur/kestrova.reg"},
      {"/home/u", "relative/cfg", "rel:/etc/site//:/b", "/home/u/.config/mur/kestrova.reg",
       "/etc/site/mur/kestrova.reg"},
      {"/home/u", "/", "::", "/mur/kestrova.reg", "/etc/xdg/mur/kestrova.reg"},
  };
  test::TempHives restores_the_variables;
  std::string saved_home = getenv("HOME") ? getenv("HOME") : "";
  for (const LocationCase& c : cases) {
    SCOPED_TRACE(std::string(c.config_home ? c.config_home : "(unset)") + " | " +
                 (c.config_dirs ? c.config_dirs : "(unset)"));
    setenv("HOME", c.home, 1);
    c.config_home ? setenv("XDG_CONFIG_HOME", c.config_home, 1) : unsetenv("XDG_CONFIG_HOME");
    c.config_dirs ? setenv("XDG_CONFIG_DIRS", c.config_dirs, 1) : unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(UserHivePath(), c.user);
    EXPECT_EQ(MachineHivePath(), c.machine);
  }
  setenv("HOME", saved_home.c_str(), 1);
}

class RegistryTest : public ::testing::Test {
 protected:
  test::TempHives hives_;
};

TEST_F(RegistryTest, WritesAndReadsBothRootsSeparately) {
  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "\\Software\\X\\", "v", RegValue::Dword(1)).ok);
  ASSERT_TRUE(RegWriteValue(RegRoot::kLocalMachine, "Software\\X", "v", RegValue::String("m")).ok);
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "software\\x", "V"), RegValue::Dword(1));
  EXPECT_EQ(RegReadValue(RegRoot::kLocalMachine, "Software\\\\X", "v"), RegValue::String("m"));
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "Software\\X", "missing"), std::nullopt);
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "Software\\Y", "v"), std::nullopt);
  EXPECT_TRUE(fs::exists(hives_.UserHive()));
  EXPECT_TRUE(fs::exists(hives_.MachineHive()));

  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "Software\\X\\Sub", "w", RegValue::Dword(2)).ok);
  std::optional<RegKey> key = RegReadKey(RegRoot::kCurrentUser, "Software\\X");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->Values().size(), 1u);
  ASSERT_TRUE(RegDeleteKey(RegRoot::kCurrentUser, "Software\\X").ok);
  EXPECT_FALSE(RegReadKey(RegRoot::kCurrentUser, "Software\\X"));
  EXPECT_FALSE(RegReadKey(RegRoot::kCurrentUser, "Software\\X\\Sub"));
  EXPECT_TRUE(RegDeleteKey(RegRoot::kCurrentUser, "Software\\Never").ok);
}

TEST_F(RegistryTest, RefusesWhatCannotBeStored) {
  HiveResult other_root = RegWriteValue(RegRoot::kClassesRoot, "x", "v", RegValue::Dword(1));
  EXPECT_FALSE(other_root.ok);
  EXPECT_THAT(other_root.error, HasSubstr("HKEY_CLASSES_ROOT is not kept"));
  HiveResult line_break = RegWriteValue(RegRoot::kCurrentUser, "a\nb", "v", RegValue::Dword(1));
  EXPECT_FALSE(line_break.ok);
  EXPECT_THAT(line_break.error, HasSubstr("line break"));
  EXPECT_FALSE(fs::exists(hives_.UserHive()));
  // A line break in a value name is fine: names are quoted.
  EXPECT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "a", "v\nw", RegValue::Dword(1)).ok);
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "a", "v\nw"), RegValue::Dword(1));
}

TEST_F(RegistryTest, ImportsAnExportIntoBothHives) {
  ASSERT_TRUE(
      RegWriteValue(RegRoot::kCurrentUser, "Software\\K\\Options", "Old", RegValue::Dword(1)).ok);
  ASSERT_TRUE(
      RegWriteValue(RegRoot::kCurrentUser, "Software\\K\\Gone", "x", RegValue::Dword(1)).ok);
  fs::path export_file = hives_.Root() / "settings.reg";
  std::ofstream(export_file) << "REGEDIT4\r\n\r\n"
                                "[HKEY_CURRENT_USER\\Software\\K\\Options]\r\n"
                                "\"Protocol\"=\"Hex\"\r\n"
                                "\"Old\"=-\r\n"
                                "[-HKEY_CURRENT_USER\\Software\\K\\Gone]\r\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\K\\Options]\r\n"
                                "\"PacketTimeout\"=dword:00000032\r\n"
                                "[HKEY_CLASSES_ROOT\\.kst]\r\n"
                                "@=\"Kestrova\"\r\n";
  RegImportResult result = ImportRegFile(export_file.string());
  EXPECT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.user_changes, 4u);
  EXPECT_EQ(result.machine_changes, 2u);
  EXPECT_EQ(result.skipped_changes, 2u);
  EXPECT_THAT(result.message, HasSubstr("imported 4 per-user and 2 machine-wide entries"));
  EXPECT_THAT(result.message, HasSubstr("skipped 2"));
  EXPECT_FALSE(result.Complete()) << "entries were skipped";
  // Each key is named with what happened to it, under the hive it went to or why it did not.
  EXPECT_THAT(result.message,
              HasSubstr("  HKEY_CURRENT_USER\\Software\\K\\Options: 1 value set, 1 value deleted\n"
                        "  HKEY_CURRENT_USER\\Software\\K\\Gone: key deleted with its subkeys\n"));
  EXPECT_THAT(result.message, HasSubstr("keeps only HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE:\n"
                                        "  HKEY_CLASSES_ROOT\\.kst: 1 value set\n"));
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "Software\\K\\Options", "Protocol"),
            RegValue::String("Hex"));
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "Software\\K\\Options", "Old"), std::nullopt);
  EXPECT_FALSE(RegReadKey(RegRoot::kCurrentUser, "Software\\K\\Gone"));
  EXPECT_EQ(RegReadValue(RegRoot::kLocalMachine, "Software\\K\\Options", "PacketTimeout"),
            RegValue::Dword(50));
}

TEST_F(RegistryTest, BrokenExportChangesNothing) {
  ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, "Software\\K", "a", RegValue::Dword(1)).ok);
  RegImportResult result =
      ImportRegText("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\K]\n\"a\"=dword:2\n\"b\"=bad\n");
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.message, HasSubstr("line 4: unknown value data"));
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "Software\\K", "a"), RegValue::Dword(1));
  RegImportResult missing = ImportRegFile((hives_.Root() / "nope.reg").string());
  EXPECT_FALSE(missing.ok);
  EXPECT_THAT(missing.message, HasSubstr("No such file"));
}

}  // namespace
}  // namespace kestrova
