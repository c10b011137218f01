#include "platform/hive_file.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#include "platform/reg_text_reader.h"
#include "platform/registry.h"
#include "support/reg_value_printer.h"
#include "support/temp_hives.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr std::string_view kKey = "HKEY_CURRENT_USER\\Software\\Test";

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void Spit(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

HiveResult SetDword(HiveFile& file, std::string_view name, uint32_t value) {
  return file.Update(
      [&](RegHive& hive) { return hive.SetValue(kKey, name, RegValue::Dword(value)); });
}

class HiveFileTest : public ::testing::Test {
 protected:
  test::TempHives hives_;
  HiveFile file_{hives_.UserHive().string()};
};

TEST_F(HiveFileTest, MissingFileIsEmptyAndFirstUpdateCreatesFolders) {
  EXPECT_TRUE(file_.Read().Empty());
  EXPECT_FALSE(fs::exists(hives_.UserFolder()));
  ASSERT_TRUE(SetDword(file_, "a", 7).ok);
  EXPECT_EQ(Slurp(hives_.UserHive()),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Test]\n\"a\"=dword:00000007\n\n");
  EXPECT_EQ(file_.Read().FindValue(kKey, "A")->DwordValue(), 7u);
}

TEST_F(HiveFileTest, UnchangedHiveIsNotRewritten) {
  ASSERT_TRUE(SetDword(file_, "a", 7).ok);
  struct stat before {};
  stat(hives_.UserHive().c_str(), &before);
  ASSERT_TRUE(SetDword(file_, "a", 7).ok);
  struct stat after {};
  stat(hives_.UserHive().c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(HiveFileTest, BrokenHiveIsKeptAsideAndReported) {
  const std::string broken = "REGEDIT4\n[HKEY_CURRENT_USER\\T]\n\"a\"=oops\n";
  Spit(hives_.UserHive(), broken);
  ::testing::internal::CaptureStderr();
  RegHive hive = file_.Read();
  std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(hive.Empty());
  EXPECT_THAT(report, HasSubstr(hives_.UserHive().string() + " cannot be parsed (line 3:"));
  EXPECT_THAT(report, HasSubstr("kept as " + hives_.UserHive().string() + ".corrupt-"));
  std::vector<std::string> files = FilesIn(hives_.UserFolder());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_THAT(files[0], ::testing::StartsWith("kestrova.reg.corrupt-"));
  EXPECT_EQ(Slurp(hives_.UserFolder() / files[0]), broken);

  // A second broken file the same second does not replace the first kept copy.
  Spit(hives_.UserHive(), broken + "x");
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(SetDword(file_, "a", 1).ok);
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("cannot be parsed"));
  EXPECT_EQ(FilesIn(hives_.UserFolder()).size(), 3u);
  EXPECT_EQ(file_.Read().FindValue(kKey, "a")->DwordValue(), 1u);
}

// Runs `body` in a child process that may not write to folders it does not own (root gives up
// its rights first); gives the child's exit code and what it wrote on standard error.
std::pair<int, std::string> RunUnprivileged(const std::function<int()>& body) {
  int err[2];
  if (pipe(err) != 0) return {-1, "pipe failed"};
  pid_t pid = fork();
  if (pid == 0) {
    close(err[0]);
    dup2(err[1], STDERR_FILENO);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    _exit(body());
  }
  close(err[1]);
  std::string text;
  char buffer[512];
  for (ssize_t got; (got = read(err[0], buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST_F(HiveFileTest, BrokenHiveThatCannotBeMovedIsLeftAloneAndReportedOnce) {
  const std::string broken = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\T]\nbroken\n";
  Spit(hives_.MachineHive(), broken);
  for (const fs::path& folder :
       {hives_.Root(), hives_.Root() / "machine", hives_.MachineFolder()}) {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
  }
  fs::permissions(hives_.MachineHive(),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  auto [code, report] = RunUnprivileged([&] {
    HiveFile machine(hives_.MachineHive().string());
    if (!machine.Read().Empty() || !machine.Read().Empty()) return 1;
    HiveResult result = SetDword(machine, "a", 1);
    if (result.ok || result.error.find("cannot be moved aside") == std::string::npos) return 2;
    return 0;
  });
  ASSERT_NE(code, 99) << "cannot give up root rights";
  EXPECT_EQ(code, 0) << report;
  EXPECT_THAT(report, HasSubstr(hives_.MachineHive().string() + " cannot be parsed (line 3:"));
  EXPECT_THAT(report, HasSubstr("it is left as it is; its settings are not used"));
  EXPECT_EQ(report.find("cannot be parsed", report.find("cannot be parsed") + 1), std::string::npos)
      << "reported more than once: " << report;
  EXPECT_EQ(Slurp(hives_.MachineHive()), broken);
  EXPECT_THAT(FilesIn(hives_.MachineFolder()), ::testing::ElementsAre("kestrova.reg"));
}

TEST_F(HiveFileTest, UnreadableHiveIsNeverOverwritten) {
  fs::create_directories(hives_.UserHive());  // a folder where the file should be
  HiveResult result = SetDword(file_, "a", 1);
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.error, HasSubstr("cannot read settings file " + hives_.UserHive().string()));
  EXPECT_TRUE(fs::is_directory(hives_.UserHive()));
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(file_.Read().Empty());
  EXPECT_TRUE(file_.Read().Empty());
  std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(report, HasSubstr("cannot read settings file"));
  EXPECT_EQ(report.find("cannot read", report.find("cannot read") + 1), std::string::npos)
      << "reported more than once: " << report;
}

TEST_F(HiveFileTest, FolderThatCannotBeMadeIsAnError) {
  Spit(hives_.Root() / "user", "a file where the folder should be");
  HiveResult result = SetDword(file_, "a", 1);
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.error, HasSubstr("cannot create folder"));
  EXPECT_THAT(result.error, HasSubstr("Not a directory"));
}

TEST_F(HiveFileTest, KeepsPermissionsAndSymbolicLinksAndRemovesStaleTemporaries) {
  fs::path real = hives_.Root() / "dotfiles" / "kestrova.reg";
  Spit(real, "REGEDIT4\n");
  fs::create_directories(hives_.UserFolder());
  fs::create_symlink(real, hives_.UserHive());
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  Spit(real.parent_path() / ".kestrova.reg.tmp-123-0", "left by a writer that died");

  ASSERT_TRUE(SetDword(file_, "a", 3).ok);
  EXPECT_TRUE(fs::is_symlink(hives_.UserHive()));
  EXPECT_EQ(file_.Read().FindValue(kKey, "a")->DwordValue(), 3u);
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_THAT(FilesIn(real.parent_path()), ::testing::ElementsAre("kestrova.reg"));
}

// State n of the crash test: a counter and values that all derive from n, in two keys, so a
// torn or mixed file cannot pass for a whole state.
RegHive CrashState(uint32_t n) {
  RegHive hive;
  hive.SetValue(kKey, "Counter", RegValue::Dword(n));
  for (int i = 0; i < 40; ++i) {
    std::string text = std::to_string(n) + "/" + std::to_string(i) + std::string(i % 7 * 10, 'x');
    hive.SetValue(std::string(kKey) + "\\Sub" + std::to_string(i % 3), "V" + std::to_string(i),
                  RegValue::String(text));
  }
  return hive;
}

// Kills a forked child when the test ends early.
struct ChildGuard {
  pid_t pid = -1;
  ~ChildGuard() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

// The writes go to a memory file system where there is one: this test is about the lock, and
// 2000 fsync() calls on a busy disk take far too long.
fs::path FastTemporaryFolder() {
  std::error_code error;
  return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// True once a writer holds the folder's lock (seen by failing to take it), false at the
// deadline.
bool WaitUntilLocked(const fs::path& folder, std::chrono::steady_clock::duration patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      close(fd);  // releases the lock if this took it
      if (held) return true;
    }
    sched_yield();
  }
  return false;
}

// A kill leaves the page cache as it was, so the file system does not matter here (power
// failures are what the fsync before the rename is for); a memory one keeps the rounds short.
TEST(HiveFileCrashTest, KilledWriterLeavesOldOrNewStateNeverAMix) {
  constexpr int kKills = 200;
  test::TempHives hives(FastTemporaryFolder());
  const std::string path = hives.UserHive().string();
  std::mt19937 rng(12345);
  uint32_t state = 0;  // what the file holds; 0 = no file yet
  int kills_mid_write = 0;
  int kills_in_update = 0;
  int kills_with_progress = 0;
  // The kill comes a random time after the writer starts, up to `window`: as long as a few
  // writes take on this machine just now, whatever its load or instrumentation.
  auto window = std::chrono::microseconds(2000);
  auto started = std::chrono::steady_clock::now();
  for (int round = 0; round < kKills; ++round) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    ChildGuard child;
    child.pid = fork();
    ASSERT_GE(child.pid, 0);
    if (child.pid == 0) {
      close(report[0]);
      HiveFile file(path);
      uint32_t ready = 0;
      if (write(report[1], &ready, sizeof ready) != sizeof ready) _exit(4);
      for (uint32_t n = state + 1;; ++n) {
        if (!file.Update([&](RegHive& hive) {
                   hive = CrashState(n);
                   return true;
                 })
                 .ok) {
          _exit(3);
        }
        if (write(report[1], &n, sizeof n) != sizeof n) _exit(4);
      }
    }
    close(report[1]);
    uint32_t n = 1;
    pollfd ready{report[0], POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 30000), 1) << "the writer did not start";
    ASSERT_EQ(read(report[0], &n, sizeof n), static_cast<ssize_t>(sizeof n));
    ASSERT_EQ(n, 0u);
    // Every other round waits until the writer is seen inside an update (holding the lock),
    // so that many kills land there even where reading and writing take little of the time.
    bool aimed = round % 2 == 1;
    if (aimed) {
      kills_in_update += WaitUntilLocked(hives.UserFolder(), std::chrono::seconds(5)) ? 1 : 0;
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(
          std::uniform_int_distribution<int64_t>(0, window.count())(rng)));
    }
    kill(child.pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
    child.pid = -1;
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with exit code " << WEXITSTATUS(status);
    uint32_t last_done = state;
    while (read(report[0], &n, sizeof n) == sizeof n) last_done = n;
    close(report[0]);

    std::vector<std::string> files;
    if (fs::exists(hives.UserFolder())) files = FilesIn(hives.UserFolder());
    bool mid_write = std::any_of(files.begin(), files.end(), [](const std::string& f) {
      return f.starts_with(".kestrova.reg.tmp-");
    });
    if (mid_write) ++kills_mid_write;
    uint32_t completed = last_done - state;
    if (!aimed && completed == 0 && !mid_write) window = window * 3 / 2;  // before it wrote
    if (!aimed && completed > 3) window = window * 2 / 3;
    if (last_done == state && !fs::exists(path)) continue;
    RegHive on_disk;
    std::optional<RegParseError> error = ReadRegText(Slurp(path), on_disk);
    ASSERT_FALSE(error) << "round " << round << ": " << error->Describe();
    const RegValue* counter = on_disk.FindValue(kKey, "Counter");
    ASSERT_NE(counter, nullptr) << "round " << round;
    uint32_t found = counter->DwordValue().value_or(0);
    // The last reported write is on disk; the one under way may be too.
    ASSERT_TRUE(found == last_done || found == last_done + 1)
        << "round " << round << ": found " << found << ", last reported " << last_done;
    ASSERT_EQ(on_disk, CrashState(found)) << "round " << round << ": mixed state";
    if (found != state) ++kills_with_progress;
    state = found;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "%d kills in %.1f s: %u writes completed, %d kills seen inside an update, %d with a new "
      "file half made, %d rounds with progress\n",
      kKills, seconds, state, kills_in_update, kills_mid_write, kills_with_progress);
  // The kills must really land inside updates and between them, or the test proves nothing.
  EXPECT_GT(kills_in_update, kKills / 4);
  EXPECT_GT(kills_with_progress, kKills / 20);
}

TEST(HiveFileConcurrencyTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWritesEach = 1000;
  test::TempHives hives(FastTemporaryFolder());
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  ChildGuard writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w].pid = fork();
    ASSERT_GE(writers[w].pid, 0);
    if (writers[w].pid == 0) {
      close(go[1]);
      char byte;
      while (read(go[0], &byte, 1) > 0) {
      }
      std::string prefix = w == 0 ? "A" : "B";
      for (int i = 0; i < kWritesEach; ++i) {
        if (!RegWriteValue(RegRoot::kCurrentUser, "Software\\Test", prefix + std::to_string(i),
                           RegValue::Dword(static_cast<uint32_t>(w * 100000 + i)))
                 .ok) {
          _exit(2);
        }
      }
      _exit(0);
    }
  }
  close(go[0]);
  auto started = std::chrono::steady_clock::now();
  close(go[1]);  // both start now
  for (ChildGuard& writer : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(writer.pid, &status, 0), writer.pid);
    writer.pid = -1;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  RegHive hive;
  ASSERT_FALSE(ReadRegText(Slurp(hives.UserHive()), hive));
  const RegKey* key = hive.FindKey(kKey);
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->Values().size(), 2u * kWritesEach);
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < kWritesEach; ++i) {
      std::string name = (w == 0 ? "A" : "B") + std::to_string(i);
      const RegValue* value = key->Find(name);
      ASSERT_NE(value, nullptr) << name;
      EXPECT_EQ(value->DwordValue(), static_cast<uint32_t>(w * 100000 + i)) << name;
    }
  }
  // The writes really overlapped: the two writers' values alternate in creation order.
  int switches = 0;
  for (size_t i = 1; i < key->Values().size(); ++i) {
    if (key->Values()[i].name[0] != key->Values()[i - 1].name[0]) ++switches;
  }
  std::printf("2 x %d concurrent writes in %.1f s, %d switches between writers\n", kWritesEach,
              seconds, switches);
  EXPECT_GT(switches, 10);
}

}  // namespace
}  // namespace kestrova
