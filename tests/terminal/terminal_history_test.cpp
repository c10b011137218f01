// The send line's history: its ordering rules and its storage in an ini-style section.
#include "terminal/terminal_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "appinfo/registry_ini_file.h"
#include "support/temp_hives.h"

namespace kestrova::testing {
namespace {

using Entries = std::vector<std::string>;

constexpr std::string_view kKey = "\\Software\\MUR s.r.o.\\KestTerminal\\MurTerminalHistory";

TerminalHistory Filled(int count) {
  TerminalHistory history;
  for (int i = 0; i < count; ++i) history.Remember("t" + std::to_string(i));
  return history;
}

TEST(TerminalHistoryTest, NewestFirstWithoutDuplicates) {
  TerminalHistory history;
  EXPECT_FALSE(history.Remember(""));
  EXPECT_TRUE(history.Remember("a"));
  EXPECT_TRUE(history.Remember("b"));
  EXPECT_TRUE(history.Remember("c"));
  EXPECT_EQ(history.Entries(), (Entries{"c", "b", "a"}));
  EXPECT_FALSE(history.Remember("c"));  // already the newest: nothing to store
  EXPECT_TRUE(history.Remember("a"));   // further down: moves to the top
  EXPECT_EQ(history.Entries(), (Entries{"a", "c", "b"}));
}

TEST(TerminalHistoryTest, HoldsAtMostTwentyOneEntries) {
  TerminalHistory history = Filled(20);
  ASSERT_EQ(history.Entries().size(), 20u);
  history.Remember("new");
  ASSERT_EQ(history.Entries().size(), 21u);
  EXPECT_EQ(history.Entries().back(), "t0");
  history.Remember("newer");
  ASSERT_EQ(history.Entries().size(), 21u);
  EXPECT_EQ(history.Entries().front(), "newer");
  EXPECT_EQ(history.Entries().back(), "t1");  // the oldest went
  history.Remember("t1");                     // moving one up drops nothing
  ASSERT_EQ(history.Entries().size(), 21u);
  EXPECT_EQ(history.Entries().front(), "t1");
  EXPECT_EQ(history.Entries().back(), "t2");
}

class TerminalHistoryStorageTest : public ::testing::Test {
 protected:
  test::TempHives hives_;
};

TEST_F(TerminalHistoryStorageTest, SavedSectionReplacesTheOldOne) {
  TerminalHistory history = Filled(5);
  {
    RegistryIniFile file(kKey);
    history.Save(file, "VMurTerminal1");
    history.Save(file, "Other");
  }
  TerminalHistory shorter = Filled(3);
  RegistryIniFile file(kKey);
  shorter.Save(file, "VMurTerminal1");

  RegistryIniFile fresh(kKey);
  EXPECT_EQ(fresh.ReadSection("VMurTerminal1"), (Entries{"0", "1", "2"}));
  EXPECT_EQ(fresh.ReadString("VMurTerminal1", "0", ""), "t2");
  EXPECT_EQ(fresh.ReadSection("Other").size(), 5u);
  TerminalHistory loaded;
  loaded.Load(fresh, "VMurTerminal1");
  EXPECT_EQ(loaded.Entries(), shorter.Entries());
}

TEST_F(TerminalHistoryStorageTest, AnyBytesSurviveStorage) {
  TerminalHistory history;
  for (const char* text : {"plain", "\xFF\x80 not UTF-8", "quote \" and \\ backslash",
                           "line\r\nbreak", "\xC5\x99\xC3\xA1"}) {
    history.Remember(text);
  }
  {
    RegistryIniFile file(kKey);
    history.Save(file, "T");
  }
  TerminalHistory loaded;
  loaded.Load(RegistryIniFile(kKey), "T");
  EXPECT_EQ(loaded.Entries(), history.Entries());
}

TEST_F(TerminalHistoryStorageTest, LoadKeepsStoredOrderAndAtMostTwentyOne) {
  {
    RegistryIniFile file(kKey);
    file.BeginUpdate();
    for (int i = 0; i < 30; ++i) file.WriteString("T", std::to_string(i), "e" + std::to_string(i));
    file.EndUpdate();
  }
  TerminalHistory loaded;
  loaded.Load(RegistryIniFile(kKey), "T");
  ASSERT_EQ(loaded.Entries().size(), TerminalHistory::kMaxEntries);
  EXPECT_EQ(loaded.Entries().front(), "e0");
  EXPECT_EQ(loaded.Entries().back(), "e20");

  TerminalHistory missing = Filled(2);
  missing.Load(RegistryIniFile(kKey), "Nothing");
  EXPECT_TRUE(missing.Entries().empty());
}

}  // namespace
}  // namespace kestrova::testing
