#include "appinfo/mur_app_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "appinfo/app_info_gui.h"
#include "appinfo/registry_exception.h"
#include "appinfo/version_info.h"
#include "platform/poll_message_loop.h"
#include "platform/registry.h"
#include "platform/tick.h"
#include "support/reg_value_printer.h"
#include "support/temp_hives.h"
#include "util/exception.h"
#include "util/timer.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;

constexpr std::string_view kOptions = "Software\\MUR s.r.o.\\KestTerminal\\Options";

class FakeGui : public AppInfoGui {
 public:
  void WatchOwnerFirstShow(std::function<void()> on_first_show) override {
    first_show = std::move(on_first_show);
  }
  bool CreateSplash(const std::string& class_name, bool visible) override {
    if (class_name != "TSplashForm") return false;
    splash = true;
    splash_visible = visible;
    return true;
  }
  bool SplashShowing() const override { return splash && splash_visible; }
  void ReleaseSplash() override { splash = false; }
  void SetMainFormVisible(bool visible) override { main_visible = visible; }
  void SaveForms(const VMurAppInfo&, std::string_view except_names) override {
    saved_except = except_names;
    ++saves;
  }
  void RestoreForms(const VMurAppInfo&) override { ++restores; }

  std::function<void()> first_show;
  bool splash = false;
  bool splash_visible = false;
  std::optional<bool> main_visible;
  std::string saved_except;
  int saves = 0;
  int restores = 0;
};

class VMurAppInfoTest : public ::testing::Test {
 protected:
  VMurAppInfoTest() {
    info_.SetAppName("KestTerminal");
    SetTickSource([this] { return now_; });
  }
  ~VMurAppInfoTest() override { SetTickSource({}); }

  void Store(RegRoot root, std::string_view name, const RegValue& value) {
    ASSERT_TRUE(RegWriteValue(root, kOptions, name, value).ok);
  }

  test::TempHives hives_;
  PollMessageLoop loop_;
  uint32_t now_ = 1000;
  VMurAppInfo info_{nullptr, &loop_};
};

TEST_F(VMurAppInfoTest, Defaults) {
  VMurAppInfo fresh(nullptr, &loop_);
  EXPECT_EQ(fresh.AppName(), "[Unknown]");
  EXPECT_EQ(fresh.RegistryPath(), "Software\\MUR s.r.o.\\");
  EXPECT_FALSE(fresh.InhibitApplRunning());
  EXPECT_FALSE(fresh.ResizeNonresizeable());
  EXPECT_EQ(fresh.SplashFormClass(), "");
  EXPECT_TRUE(fresh.MainVisible());
  EXPECT_TRUE(fresh.SplashVisible());
  EXPECT_EQ(fresh.SplashMinTime(), 0u);
  EXPECT_TRUE(fresh.ExceptionList().empty());
  EXPECT_EQ(fresh.SectionKey("Options"), "\\Software\\MUR s.r.o.\\[Unknown]\\Options");
  ASSERT_NE(fresh.VersionInfo(), nullptr);
  EXPECT_EQ(fresh.VersionInfo()->Owner(), &fresh);
  EXPECT_FALSE(fresh.VersionInfo()->ExecutableFile().empty());
}

TEST_F(VMurAppInfoTest, RegistryPathGetsItsBackslash) {
  info_.SetRegistryPath("Software\\X");
  EXPECT_EQ(info_.RegistryPath(), "Software\\X\\");
  info_.SetRegistryPath("Software\\Y\\");
  EXPECT_EQ(info_.RegistryPath(), "Software\\Y\\");
  EXPECT_EQ(info_.SectionKey("Options"), "\\Software\\Y\\KestTerminal\\Options");
}

TEST_F(VMurAppInfoTest, ReadIntegerByTypeAndPrecedence) {
  const struct {
    const char* what;
    std::optional<RegValue> machine;
    std::optional<RegValue> user;
    int default_value;
    int expected;
  } cases[] = {
      {"nothing stored", {}, {}, 7, 7},
      {"text number", {}, RegValue::String("12"), 7, 12},
      {"text that is no number", {}, RegValue::String("abc"), 7, 7},
      {"dword", {}, RegValue::Dword(5), 7, 5},
      {"negative dword", {}, RegValue::Dword(0xFFFFFFFF), 7, -1},
      {"binary", {}, RegValue{kRegBinary, "\x05"}, 7, 7},
      {"per-user wins", RegValue::Dword(1), RegValue::Dword(2), 7, 2},
      {"machine-wide only", RegValue::Dword(1), {}, 7, 1},
      {"stored text equal to the default still counts", RegValue::String("5"),
       RegValue::String("0"), 0, 0},
      {"unreadable per-user value leaves the machine-wide one", RegValue::Dword(1),
       RegValue::String("x"), 7, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(hives_.UserHive());
    std::filesystem::remove(hives_.MachineHive());
    if (c.machine) Store(RegRoot::kLocalMachine, "Value", *c.machine);
    if (c.user) Store(RegRoot::kCurrentUser, "Value", *c.user);
    EXPECT_EQ(info_.ReadInteger("Options", "Value", c.default_value), c.expected);
  }
}

TEST_F(VMurAppInfoTest, ReadStringByTypeAndPrecedence) {
  EXPECT_EQ(info_.ReadString("Options", "S", "dflt"), "dflt");
  Store(RegRoot::kCurrentUser, "S", RegValue::Dword(5));
  EXPECT_EQ(info_.ReadString("Options", "S", "dflt"), "5");
  Store(RegRoot::kLocalMachine, "S", RegValue::String("machine"));
  Store(RegRoot::kCurrentUser, "S", RegValue::ExpandString(std::string("user\0tail", 9)));
  EXPECT_EQ(info_.ReadString("Options", "S", "dflt"), "user");
  Store(RegRoot::kCurrentUser, "S", RegValue{kRegBinary, "user"});
  EXPECT_EQ(info_.ReadString("Options", "S", "dflt"), "machine");
}

TEST_F(VMurAppInfoTest, WritesGoToBothHivesWithTheirTypes) {
  info_.WriteInteger("Options", "LogCom1", 1);
  info_.WriteString("Options", "Protocol", "Hex");
  for (RegRoot root : {RegRoot::kCurrentUser, RegRoot::kLocalMachine}) {
    EXPECT_EQ(RegReadValue(root, kOptions, "LogCom1"), RegValue::Dword(1));
    EXPECT_EQ(RegReadValue(root, kOptions, "Protocol"), RegValue::String("Hex"));
  }
  EXPECT_EQ(info_.ReadInteger("Options", "LogCom1", 0), 1);
  EXPECT_EQ(info_.ReadString("Options", "Protocol", ""), "Hex");
}

TEST_F(VMurAppInfoTest, MachineWriteFailureIsIgnoredUserWriteFailureRaises) {
  std::filesystem::create_directories(hives_.MachineHive().parent_path().parent_path());
  std::ofstream(hives_.MachineHive().parent_path()) << "not a folder";
  info_.WriteInteger("Options", "LogCom1", 1);
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, kOptions, "LogCom1"), RegValue::Dword(1));

  std::filesystem::create_directories(hives_.UserHive().parent_path().parent_path());
  std::filesystem::remove_all(hives_.UserHive().parent_path());
  std::ofstream(hives_.UserHive().parent_path()) << "not a folder";
  try {
    info_.WriteString("Options", "Protocol", "Hex");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_THAT(e.what(), HasSubstr("Cannot store setting \"Protocol\" in section \"Options\""));
    EXPECT_THAT(e.what(), HasSubstr("cannot create folder"));
  }
}

TEST_F(VMurAppInfoTest, ApplRunningOnTheFirstTickWithoutSplash) {
  int raised = 0;
  info_.SetOnApplRunning([&](Object* sender) {
    EXPECT_EQ(sender, &info_);
    ++raised;
  });
  info_.Loaded();
  EXPECT_FALSE(info_.StartupOver());
  ASSERT_TRUE(loop_.RunUntil([&] { return raised > 0; }, milliseconds(5000)));
  EXPECT_TRUE(info_.StartupOver());
  loop_.RunFor(milliseconds(10));
  EXPECT_EQ(raised, 1);
  EXPECT_TRUE(std::none_of(info_.Components().begin(), info_.Components().end(), [](Component* c) {
    return dynamic_cast<Timer*>(c) != nullptr;
  })) << "the start-up timer was not freed";
}

TEST_F(VMurAppInfoTest, InhibitApplRunningHoldsTheStartUpBack) {
  int raised = 0;
  info_.SetOnApplRunning([&](Object*) { ++raised; });
  info_.SetInhibitApplRunning(true);
  info_.Loaded();
  loop_.RunFor(milliseconds(20));
  EXPECT_EQ(raised, 0);
  EXPECT_FALSE(info_.StartupOver());
  info_.SetInhibitApplRunning(false);
  ASSERT_TRUE(loop_.RunUntil([&] { return raised > 0; }, milliseconds(5000)));
  EXPECT_TRUE(info_.StartupOver());
}

TEST_F(VMurAppInfoTest, SplashStaysItsMinimumTimeAcrossTheTickWrap) {
  FakeGui gui;
  int raised = 0;
  info_.SetGui(&gui);
  info_.SetOnApplRunning([&](Object*) { ++raised; });
  info_.SetSplashFormClass("TSplashForm");
  info_.SetSplashMinTime(100);
  info_.SetMainVisible(false);
  now_ = 0xFFFFFFC0;
  info_.Loaded();
  EXPECT_TRUE(gui.SplashShowing());
  ASSERT_TRUE(loop_.RunUntil([&] { return raised > 0; }, milliseconds(5000)));
  EXPECT_TRUE(gui.SplashShowing()) << "released before its time";
  now_ += 99;  // wrapped past zero
  loop_.RunFor(milliseconds(10));
  EXPECT_TRUE(gui.SplashShowing());
  EXPECT_FALSE(info_.StartupOver());
  now_ += 1;
  ASSERT_TRUE(loop_.RunUntil([&] { return info_.StartupOver(); }, milliseconds(5000)));
  EXPECT_FALSE(gui.splash);
  EXPECT_EQ(gui.main_visible, false);
  EXPECT_EQ(raised, 1);
}

TEST_F(VMurAppInfoTest, HiddenOrClosedSplashHandsOverAtOnce) {
  FakeGui gui;
  info_.SetGui(&gui);
  info_.SetSplashFormClass("TSplashForm");
  info_.SetSplashVisible(false);
  info_.SetSplashMinTime(60000);
  info_.Loaded();
  EXPECT_TRUE(gui.splash);
  EXPECT_FALSE(gui.SplashShowing());
  ASSERT_TRUE(loop_.RunUntil([&] { return info_.StartupOver(); }, milliseconds(5000)));
  EXPECT_FALSE(gui.splash);
  EXPECT_EQ(gui.main_visible, true);
}

TEST_F(VMurAppInfoTest, UnknownSplashClassRaises) {
  FakeGui gui;
  info_.SetGui(&gui);
  info_.SetSplashFormClass("TNoSuchForm");
  try {
    info_.Loaded();
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Please add the following statement:\r\nRegisterClass(__classid(TNoSuchForm)); "
                 "or RegisterClass(TNoSuchForm) {unit Classes}\r\nafter Application->Initialize");
  }
  VMurAppInfo headless(nullptr, &loop_);
  headless.SetSplashFormClass("TSplashForm");
  EXPECT_THROW(headless.Loaded(), Exception);
}

TEST_F(VMurAppInfoTest, OwnerFirstShowAndFormPlacementGoThroughTheGui) {
  FakeGui gui;
  int shown = 0;
  {
    VMurAppInfo info(nullptr, &loop_);
    info.SetGui(&gui);
    info.SetOnOwnerFirstShow([&](Object* sender) {
      EXPECT_EQ(sender, &info);
      ++shown;
    });
    info.Loaded();
    ASSERT_TRUE(gui.first_show);
    gui.first_show();
    EXPECT_EQ(shown, 1);
    info.SaveForms("|Form2|");
    info.RestoreForms();
    EXPECT_EQ(gui.saves, 1);
    EXPECT_EQ(gui.saved_except, "|Form2|");
    EXPECT_EQ(gui.restores, 1);
  }
  gui.first_show();  // the component is gone: nothing happens
  EXPECT_EQ(shown, 1);
}

TEST_F(VMurAppInfoTest, ExceptionListIgnoresLetterCase) {
  info_.SetExceptionList({"Form2", "AboutBox"});
  EXPECT_TRUE(info_.InExceptionList("aboutbox"));
  EXPECT_FALSE(info_.InExceptionList("Form1"));
}

TEST_F(VMurAppInfoTest, IniFileBelowTheApplicationKey) {
  RegistryIniFile ini = info_.IniFile("MurTerminalHistory");
  EXPECT_EQ(ini.KeyPath(),
            "HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\MurTerminalHistory");
}

}  // namespace
}  // namespace kestrova
