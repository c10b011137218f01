#include "util/background_data_sync.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// A descriptor of a fresh file under the temporary folder; the file itself is unlinked.
int OpenScratchFile() {
  std::string pattern = (fs::temp_directory_path() / "kestrova-data-sync-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd >= 0) unlink(pattern.c_str());
  return fd;
}

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

// Waits up to five seconds for `fd` to be closed by someone else.
bool WaitUntilClosed(int fd) {
  for (int i = 0; i < 500 && IsOpen(fd); ++i) std::this_thread::sleep_for(milliseconds(10));
  return !IsOpen(fd);
}

std::set<std::string> ThreadIds() {
  std::set<std::string> ids;
  for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
    ids.insert(entry.path().filename().string());
  }
  return ids;
}

// How often the thread has been switched out, which it is whenever it wakes and sleeps again.
long ContextSwitches(const std::string& thread_id) {
  std::ifstream status("/proc/self/task/" + thread_id + "/status");
  long total = 0;
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
      status >> value;
      total += value;
    }
  }
  return total;
}

TEST(BackgroundDataSyncTest, ReleasedFileIsClosedAndTheIdleThreadNeverWakes) {
  const int fd = OpenScratchFile();
  ASSERT_GE(fd, 0);
  const std::set<std::string> before = ThreadIds();
  BackgroundDataSync sync;
  const int key = sync.Add(fd);
  ASSERT_GE(key, 0);
  close(fd);  // the writer may go while its file is still to be synced
  ASSERT_EQ(write(key, "data", 4), 4);
  sync.NoteWritten(key);
  sync.Release(key);
  ASSERT_TRUE(WaitUntilClosed(key));

  std::set<std::string> started = ThreadIds();
  for (const std::string& id : before) started.erase(id);
  ASSERT_EQ(started.size(), 1u);
  const std::string thread_id = *started.begin();
  std::this_thread::sleep_for(milliseconds(50));  // lets it reach its sleep
  const long switches = ContextSwitches(thread_id);
  ASSERT_GT(switches, 0);
  std::this_thread::sleep_for(milliseconds(1200));
  EXPECT_EQ(ContextSwitches(thread_id), switches);
}

TEST(BackgroundDataSyncTest, StoppingSyncsAndClosesWhatIsLeft) {
  int keys[2] = {-1, -1};
  {
    BackgroundDataSync sync;
    for (int& key : keys) {
      const int fd = OpenScratchFile();
      ASSERT_GE(fd, 0);
      key = sync.Add(fd);
      close(fd);
      ASSERT_GE(key, 0);
    }
    sync.NoteWritten(keys[0]);  // one written, one not
  }
  for (const int key : keys) EXPECT_FALSE(IsOpen(key)) << key;
}

}  // namespace
}  // namespace kestrova
