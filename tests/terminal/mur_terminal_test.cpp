// The terminal component without a window: sending from the two lines and the keys, the
// history's rules and storage, the mode index, the close actions, the pass-through properties
// and the main window's design values.
#include "terminal/mur_terminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "appinfo/mur_app_info.h"
#include "appinfo/registry_ini_file.h"
#include "platform/poll_message_loop.h"
#include "support/temp_hives.h"
#include "terminal/main_terminal_design.h"

namespace kestrova::testing {
namespace {

using Entries = std::vector<std::string>;

struct Sent {
  std::string data;
  bool includes_cr;
  friend bool operator==(const Sent&, const Sent&) = default;
};

void PrintTo(const Sent& sent, std::ostream* out) {
  *out << ::testing::PrintToString(sent.data) << (sent.includes_cr ? " with CR" : "");
}

class VMurTerminalTest : public ::testing::Test {
 protected:
  VMurTerminalTest() {
    app_info_->SetAppName("KestTerminal");
    terminal_->SetName("VMurTerminal1");
    terminal_->SetMurAppInfo(app_info_.get());
    terminal_->SetOnTermSendData([this](Object* sender, const std::string& data, bool cr) {
      EXPECT_EQ(sender, terminal_.get());
      sent_.push_back({data, cr});
    });
  }

  std::unique_ptr<VMurTerminal> MakeTerminal(const std::string& name) {
    auto terminal = std::make_unique<VMurTerminal>(nullptr);
    terminal->SetName(name);
    terminal->SetMurAppInfo(app_info_.get());
    return terminal;
  }

  std::string StoredEntry(const std::string& section, const std::string& name) {
    return app_info_->IniFile(VMurTerminal::kHistoryKey).ReadString(section, name, "<none>");
  }

  test::TempHives hives_;
  PollMessageLoop loop_;
  std::unique_ptr<VMurAppInfo> app_info_ = std::make_unique<VMurAppInfo>(nullptr, &loop_);
  std::unique_ptr<VMurTerminal> terminal_ = std::make_unique<VMurTerminal>(nullptr);
  std::vector<Sent> sent_;
};

TEST_F(VMurTerminalTest, Defaults) {
  VMurTerminal fresh(nullptr);
  EXPECT_EQ(fresh.Caption(), "Terminal");
  EXPECT_EQ(fresh.MurAppInfo(), nullptr);
  EXPECT_FALSE(fresh.DebugWindowsVisible());
  EXPECT_TRUE(fresh.Docked());
  EXPECT_FALSE(fresh.Visible());
  EXPECT_FALSE(fresh.IgnoreAddChars());
  EXPECT_EQ(fresh.FormLeft(), 500);
  EXPECT_EQ(fresh.FormTop(), 300);
  EXPECT_EQ(fresh.FormWidth(), 400);
  EXPECT_EQ(fresh.FormHeight(), 450);
  EXPECT_EQ(fresh.ModeIndex(), -1);
  EXPECT_EQ(fresh.MaxLines(), 1100);
  EXPECT_EQ(fresh.MaxChars(), 65535);
  EXPECT_EQ(fresh.MaxCharsPerLine(), 500);
  EXPECT_EQ(fresh.TermCloseAction(), trmcaDock);
  EXPECT_TRUE(fresh.ModeItems().empty());
  EXPECT_FALSE(fresh.ShowOnTaskbar());
  EXPECT_FALSE(fresh.ShowHexEdit());
  EXPECT_EQ(fresh.ShowOptions(), 0u);
  EXPECT_FALSE(fresh.FormOnTop());
  EXPECT_EQ(fresh.LogFileName(), "");
  EXPECT_EQ(fresh.LogFileMaxLen(), 1000000);
  EXPECT_EQ(fresh.LoggerFilename(), "");
  EXPECT_EQ(fresh.LoggerNamingStyle(), vslnfOnOpen);
  EXPECT_EQ(fresh.LoggerOpenFlags(), 0x80000000u);
  EXPECT_EQ(fresh.Window(), nullptr);
}

TEST_F(VMurTerminalTest, HexLineAndSendLineStayEquivalent) {
  terminal_->HexLineEdited("4142");
  EXPECT_EQ(terminal_->SendLineBytes(), "AB");
  terminal_->SendLineEdited("\xC3\xA9!");  // typed text is UTF-8
  EXPECT_EQ(terminal_->HexLineText(), "C3 A9 21 ");
  terminal_->HexLineEdited("ff 0 x");
  EXPECT_EQ(terminal_->SendLineBytes(), std::string("\xFF\x00x", 3));
}

TEST_F(VMurTerminalTest, SendWithAndWithoutTerminator) {
  terminal_->HexLineEdited("4142");
  terminal_->SendLine();
  terminal_->HexLineEdited("4142");
  terminal_->SendDirect();
  EXPECT_EQ(sent_, (std::vector<Sent>{{"AB\r", true}, {"AB", false}}));
  EXPECT_EQ(terminal_->SendLineBytes(), "");
  EXPECT_EQ(terminal_->HexLineText(), "");
  // Only the send with terminator goes into the history.
  EXPECT_EQ(terminal_->History(), (Entries{"AB"}));
}

TEST_F(VMurTerminalTest, KeysSendWithTheirTerminators) {
  struct Case {
    KeyPlace place;
    std::string key;
    bool dropped_down;
    std::vector<Sent> sent;
  } cases[] = {
      {KeyPlace::kSendLine, "\r", false, {{"hi\r", true}}},
      {KeyPlace::kSendLine, "\x1b", false, {{"hi\x1b", true}}},
      {KeyPlace::kView, "\x1a", false, {{"hi\x1a", true}}},
      {KeyPlace::kSendLine, "\x1b", true, {}},
      {KeyPlace::kHexLine, "\r", false, {{"hi", false}}},
  };
  for (const Case& c : cases) {
    sent_.clear();
    terminal_->SendLineEdited("hi");
    terminal_->CharKey(c.place, c.key, c.dropped_down);
    EXPECT_EQ(sent_, c.sent) << ::testing::PrintToString(c.key);
  }
}

TEST_F(VMurTerminalTest, TypingOutsideTheSendLineEditsIt) {
  EXPECT_EQ(terminal_->CharKey(KeyPlace::kView, "a", false), CharKeyAction::kAppend);
  terminal_->CharKey(KeyPlace::kSendButton, "\xC5\x99", false);
  EXPECT_EQ(terminal_->SendLineBytes(), "a\xC5\x99");
  EXPECT_EQ(terminal_->HexLineText(), "61 C5 99 ");
  terminal_->CharKey(KeyPlace::kView, "\b", false);
  EXPECT_EQ(terminal_->SendLineBytes(), "a");
  EXPECT_EQ(terminal_->HexLineText(), "61 ");
  EXPECT_EQ(terminal_->CharKey(KeyPlace::kHexLine, "\x1b", false), CharKeyAction::kClearHexLine);
  EXPECT_EQ(terminal_->SendLineBytes(), "");
  EXPECT_TRUE(sent_.empty());
}

TEST_F(VMurTerminalTest, SendingWithoutHandlerStillKeepsHistoryAndClears) {
  terminal_->SetOnTermSendData(nullptr);
  terminal_->SendLineEdited("x");
  terminal_->SendLine();
  EXPECT_EQ(terminal_->History(), (Entries{"x"}));
  EXPECT_EQ(terminal_->SendLineBytes(), "");
  terminal_->SendLineEdited("y");
  terminal_->SendDirect();
  EXPECT_EQ(terminal_->SendLineBytes(), "");
}

TEST_F(VMurTerminalTest, HistoryIsStoredWhenChangedAndTheWindowLosesTheActivation) {
  terminal_->SendLineEdited("first");
  terminal_->SendLine();
  terminal_->SendLineEdited("second");
  terminal_->SendLine();
  EXPECT_FALSE(terminal_->HistorySaved());
  EXPECT_EQ(StoredEntry("VMurTerminal1", "0"), "<none>");
  terminal_->WindowDeactivated();
  EXPECT_TRUE(terminal_->HistorySaved());
  EXPECT_EQ(StoredEntry("VMurTerminal1", "0"), "second");
  EXPECT_EQ(StoredEntry("VMurTerminal1", "1"), "first");

  // The newest again changes nothing and stores nothing.
  terminal_->SendLineEdited("second");
  terminal_->SendLine();
  EXPECT_TRUE(terminal_->HistorySaved());

  auto next = MakeTerminal("VMurTerminal1");
  next->Loaded();
  EXPECT_EQ(next->History(), (Entries{"second", "first"}));
  auto other = MakeTerminal("Other");
  other->Loaded();
  EXPECT_TRUE(other->History().empty());
}

TEST_F(VMurTerminalTest, ChangedHistoryIsStoredAtTheEnd) {
  terminal_->SendLineEdited("kept");
  terminal_->SendLine();
  terminal_.reset();
  EXPECT_EQ(StoredEntry("VMurTerminal1", "0"), "kept");
}

TEST_F(VMurTerminalTest, StoreThatGoesFirstIsForgotten) {
  terminal_->SendLineEdited("lost");
  terminal_->SendLine();
  app_info_.reset();
  EXPECT_EQ(terminal_->MurAppInfo(), nullptr);
  terminal_.reset();  // nothing to store into, and no dangling store
}

TEST_F(VMurTerminalTest, NamelessTerminalStoresNothing) {
  auto first = MakeTerminal("A");
  first->SendLineEdited("a");
  first->SendLine();
  first->SaveHistory();
  auto nameless = MakeTerminal("");
  nameless->SendLineEdited("x");
  nameless->SendLine();
  nameless->SaveHistory();
  EXPECT_FALSE(nameless->HistorySaved());
  EXPECT_EQ(StoredEntry("A", "0"), "a");  // the other sections are still there
  EXPECT_EQ(StoredEntry("", "0"), "<none>");
}

TEST_F(VMurTerminalTest, FailedStoreIsIgnoredAndTriedAgain) {
  terminal_->SendLineEdited("x");
  terminal_->SendLine();
  // A folder where the settings file belongs: the store cannot be read, so it is not written.
  std::filesystem::create_directories(hives_.UserHive());
  terminal_->SaveHistory();
  EXPECT_FALSE(terminal_->HistorySaved());
  std::filesystem::remove(hives_.UserHive());
  terminal_->WindowDeactivated();
  EXPECT_TRUE(terminal_->HistorySaved());
  EXPECT_EQ(StoredEntry("VMurTerminal1", "0"), "x");
}

TEST_F(VMurTerminalTest, ModeIndexIsClampedToTheItems) {
  struct Case {
    int set;
    int read;
  } cases[] = {{10, 2}, {-5, -1}, {1, 1}, {-1, -1}, {2, 2}};
  terminal_->SetModeItems({"A", "B", "C"});
  for (const Case& c : cases) {
    terminal_->SetModeIndex(c.set);
    EXPECT_EQ(terminal_->ModeIndex(), c.read) << c.set;
  }
  VMurTerminal empty(nullptr);
  empty.SetModeIndex(3);
  EXPECT_EQ(empty.ModeIndex(), -1);
}

TEST_F(VMurTerminalTest, ModeItemsSelectTheFirstWhenNoneIsAndKeepTheIndexInside) {
  terminal_->SetModeItems({"A", "B", "C", "D"});
  EXPECT_EQ(terminal_->ModeIndex(), 0);
  terminal_->SetModeIndex(3);
  terminal_->SetModeItems({"A", "B"});
  EXPECT_EQ(terminal_->ModeIndex(), 1);
  terminal_->ModeChosen(0);
  EXPECT_EQ(terminal_->ModeIndex(), 0);
  terminal_->SetModeItems({});
  EXPECT_EQ(terminal_->ModeIndex(), -1);
}

TEST_F(VMurTerminalTest, CloseActions) {
  for (TTermCloseAction action : {trmcaHide, trmcaFree, trmcaMinimize}) {
    terminal_->SetDocked(false);
    terminal_->SetTermCloseAction(action);
    EXPECT_EQ(terminal_->CloseRequested(), action);
    EXPECT_FALSE(terminal_->Docked());
  }
  terminal_->SetTermCloseAction(trmcaDock);
  EXPECT_EQ(terminal_->CloseRequested(), trmcaDock);
  EXPECT_TRUE(terminal_->Docked());
}

TEST_F(VMurTerminalTest, LoggerIsMadeOnlyWhenAPropertyAsksForMore) {
  terminal_->SetLoggerFilename("");
  terminal_->SetLoggerNamingStyle(vslnfOnOpen);
  terminal_->SetLoggerOpenFlags(0x80000000u);
  EXPECT_EQ(terminal_->Output().Logger(), nullptr);

  terminal_->SetLoggerOpenFlags(0);
  ASSERT_NE(terminal_->Output().Logger(), nullptr);
  EXPECT_EQ(terminal_->LoggerOpenFlags(), 0u);
  terminal_->SetLoggerNamingStyle(vslnfDaily);
  terminal_->SetLoggerFilename("/tmp/x_*.log");
  EXPECT_EQ(terminal_->LoggerNamingStyle(), vslnfDaily);
  EXPECT_EQ(terminal_->LoggerFilename(), "/tmp/x_*.log");
}

TEST_F(VMurTerminalTest, PropertiesPassedToTheOutput) {
  terminal_->SetMaxChars(100000);
  EXPECT_EQ(terminal_->MaxChars(), 100000);
  terminal_->SetMaxLines(0);
  EXPECT_EQ(terminal_->MaxLines(), 1100);
  terminal_->SetShowOptions(vstsoShowLineCounts);
  terminal_->SetShowTimes(true);
  EXPECT_EQ(terminal_->ShowOptions(), vstsoShowLineCounts | vstsoShowTimes);
  terminal_->SetShowTimes(false);
  EXPECT_EQ(terminal_->ShowOptions(), vstsoShowLineCounts);
  terminal_->SetDebugWindowsVisible(true);
  EXPECT_TRUE(terminal_->Output().DebugWindowsVisible());
}

TEST_F(VMurTerminalTest, PlacementAndVisibilityAreStoredWithoutAWindow) {
  terminal_->SetFormLeft(10);
  terminal_->SetFormTop(20);
  terminal_->SetFormWidth(300);
  terminal_->SetFormHeight(200);
  terminal_->SetVisible(true);
  terminal_->SetDocked(false);
  EXPECT_EQ(terminal_->FormLeft(), 10);
  EXPECT_EQ(terminal_->FormTop(), 20);
  EXPECT_EQ(terminal_->FormWidth(), 300);
  EXPECT_EQ(terminal_->FormHeight(), 200);
  EXPECT_TRUE(terminal_->Visible());
  EXPECT_FALSE(terminal_->Docked());
}

TEST_F(VMurTerminalTest, MainTerminalDesignValues) {
  VMurTerminal terminal(nullptr);
  SetMainTerminalDesignValues(terminal);
  EXPECT_EQ(terminal.Name(), "VMurTerminal1");
  EXPECT_EQ(terminal.Caption(), "Terminal");
  EXPECT_TRUE(terminal.Visible());
  EXPECT_EQ(terminal.ModeIndex(), -1);
  EXPECT_EQ(terminal.MaxLines(), 2100);
  EXPECT_EQ(terminal.MaxChars(), 6553500);
  EXPECT_EQ(terminal.TermCloseAction(), trmcaMinimize);
  EXPECT_TRUE(terminal.ShowHexEdit());
  EXPECT_EQ(terminal.ShowOptions(), vstsoShowTimes);
  EXPECT_EQ(terminal.LoggerOpenFlags(), 0x80000000u);
  EXPECT_EQ(terminal.Output().Logger(), nullptr);
}

}  // namespace
}  // namespace kestrova::testing
