// The wait for a device path, on real files in a temporary folder and real inotify.
#include "platform/device_watch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/poll_message_loop.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr milliseconds kLimit{5000};
// Long enough for an event that should not come to have come.
constexpr milliseconds kQuiet{100};

void Touch(const fs::path& path) { std::ofstream(path).put('x'); }

struct WatchCase {
  const char* name;
  std::string target;  // relative to the folder
  // What happens in the folder while the watch waits.
  std::function<void(const fs::path& dir)> change;
  bool fires;
};

class DeviceWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrova-watch-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  PollMessageLoop loop_;
};

TEST_F(DeviceWatchTest, FiresWhenTheEntryItWaitsForComes) {
  const WatchCase cases[] = {
      {"created", "ttyUSB0", [](const fs::path& d) { Touch(d / "ttyUSB0"); }, true},
      {"link made", "port",
       [](const fs::path& d) {
         Touch(d / "real");
         fs::create_symlink(d / "real", d / "port");
       },
       true},
      {"moved in", "port",
       [](const fs::path& d) {
         Touch(d / "tmp");
         fs::rename(d / "tmp", d / "port");
       },
       true},
      {"mode changed", "ttyACM0", [](const fs::path& d) { chmod((d / "ttyACM0").c_str(), 0600); },
       true},
      {"other entry", "ttyUSB0", [](const fs::path& d) { Touch(d / "ttyUSB1"); }, false},
      {"dangling link", "port",
       [](const fs::path& d) { fs::create_symlink(d / "nowhere", d / "port"); }, false},
      {"folder then entry", "by-id/usb-adapter",
       [](const fs::path& d) {
         fs::create_directories(d / "by-id");
         Touch(d / "by-id" / "usb-adapter");
       },
       true},
      {"two folders deep", "serial/by-id/usb-adapter",
       [](const fs::path& d) {
         fs::create_directories(d / "serial" / "by-id");
         Touch(d / "serial" / "by-id" / "usb-adapter");
       },
       true},
  };
  for (const WatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_);
    fs::create_directory(dir_);
    // The mode-change case starts with the node there, as udev finds it.
    if (std::string(c.name) == "mode changed") Touch(dir_ / c.target);
    int fired = 0;
    DeviceWatch watch(loop_, (dir_ / c.target).string(), [&] { ++fired; });
    c.change(dir_);
    if (c.fires) {
      EXPECT_TRUE(loop_.RunUntil([&] { return fired > 0; }, kLimit));
    } else {
      loop_.RunFor(kQuiet);
      EXPECT_EQ(fired, 0);
    }
  }
}

TEST_F(DeviceWatchTest, FolderThatGoesAndComesBackIsFollowed) {
  const fs::path folder = dir_ / "by-id";
  fs::create_directory(folder);
  int fired = 0;
  DeviceWatch watch(loop_, (folder / "usb-adapter").string(), [&] { ++fired; });
  EXPECT_EQ(watch.WatchedFolder(), folder.string());
  fs::remove(folder);  // the last adapter went: udev removes the folder
  ASSERT_TRUE(loop_.RunUntil([&] { return watch.WatchedFolder() == dir_.string(); }, kLimit));
  fs::create_directory(folder);
  Touch(folder / "usb-adapter");
  EXPECT_TRUE(loop_.RunUntil([&] { return fired > 0; }, kLimit));
}

TEST_F(DeviceWatchTest, MayBeDestroyedFromItsCallback) {
  std::unique_ptr<DeviceWatch> watch;
  int fired = 0;
  watch = std::make_unique<DeviceWatch>(loop_, (dir_ / "port").string(), [&] {
    ++fired;
    watch.reset();
  });
  Touch(dir_ / "port");
  chmod((dir_ / "port").c_str(), 0600);
  ASSERT_TRUE(loop_.RunUntil([&] { return watch == nullptr; }, kLimit));
  loop_.RunFor(kQuiet);
  EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace kestrova
