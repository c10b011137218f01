// The main window offscreen on settings of its own: a temporary settings folder, a log file in
// it, and a tick count the test moves by hand.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "appinfo/mur_app_info.h"
#include "monitor/widgets/main_window.h"
#include "platform/tick.h"
#include "platform/widgets/qt_message_loop.h"
#include "support/temp_hives.h"

namespace kestrova::test {

class MainWindowFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "main_window_test";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
  }
  MainWindowFixture() {
    SetMainLoop(&loop);
    settings_.SetAppName("KestTerminal");
    settings_.SetRegistryPath("Software\\MUR s.r.o.\\");
    SetTickSource([this] { return now; });
    Store("LogFile", LogPath().string());
    // Ports that do not exist, so that no window opens this machine's serial ports.
    Store("Port1", "\"" + (hives.Root() / "no-port-1").string() + "\"");
    Store("Port2", "\"" + (hives.Root() / "no-port-2").string() + "\"");
  }
  ~MainWindowFixture() override {
    window.reset();
    SetTickSource({});
    SetMainLoop(nullptr);
  }

  // Stores an option as an earlier run would have left it; before OpenWindow().
  void Store(std::string_view name, std::string_view value) {
    settings_.WriteString("Options", name, value);
  }
  void Store(std::string_view name, int value) { settings_.WriteInteger("Options", name, value); }
  void StoreIn(std::string_view section, std::string_view name, int value) {
    settings_.WriteInteger(section, name, value);
  }
  std::string Stored(std::string_view name) const {
    return settings_.ReadString("Options", name, "<none>");
  }

  void OpenWindow() { window = std::make_unique<TForm1>(); }

  template <class T>
  T* Find(const char* name) {
    T* control = window->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  std::filesystem::path LogPath() const { return hives.Root() / "traffic.log"; }
  std::string LogText() const {
    std::ifstream in(LogPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  uint32_t now = 1000;
  TempHives hives;
  QtMessageLoop loop{[](const std::exception& e) { ADD_FAILURE() << e.what(); }};
  std::unique_ptr<TForm1> window;

 private:
  VMurAppInfo settings_{nullptr, &loop};
};

}  // namespace kestrova::test
