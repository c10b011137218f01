#include "platform/hive_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <time.h>

#include <mutex>
#include <optional>
#include <set>

#include "platform/atomic_file.h"
#include "platform/reg_text_reader.h"
#include "platform/reg_text_writer.h"

namespace kestrova {
namespace {

// Far beyond any settings file; protects against reading a wrong, huge file into memory.
constexpr size_t kMaxHiveBytes = 64u << 20;

void Report(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, message.c_str());
}

// A problem that stays (an unreadable file, a broken hive that cannot be moved) is reported
// once per process, not on every read.
void ReportOnce(const std::string& message) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  std::lock_guard lock(mutex);
  if (reported.insert(message).second) Report(message);
}

std::string CorruptName(const std::string& path, int attempt) {
  char stamp[32];
  time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string name = path + ".corrupt-" + stamp;
  if (attempt > 0) name += "-" + std::to_string(attempt);
  return name;
}

// Renames without replacing an earlier kept copy.
std::optional<std::string> MoveAside(const std::string& path, int& error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string target = CorruptName(path, attempt);
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      return target;
    }
    error = errno;
    if (error != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// What the locked reader found.
struct LockedRead {
  RegHive hive;
  std::optional<std::string> error;  // the file could not be read, or not be moved aside
};

// Reads `path` while its folder's lock is held; a broken file is moved aside.
LockedRead ReadLocked(const std::string& path) {
  LockedRead result;
  FileBytes file = ReadWholeFile(path, kMaxHiveBytes);
  if (file.error == ENOENT) return result;
  if (file.error != 0) {
    result.error = "cannot read settings file " + path + ": " + ErrnoText(file.error);
    return result;
  }
  std::optional<RegParseError> parse_error = ReadRegText(file.bytes, result.hive);
  if (!parse_error) return result;
  std::string problem =
      "settings file " + path + " cannot be parsed (" + parse_error->Describe() + ")";
  int error = 0;
  if (std::optional<std::string> kept = MoveAside(path, error)) {
    Report(problem + "; it was kept as " + *kept + " and the settings start afresh");
    return result;
  }
  result.error =
      problem + " and cannot be moved aside (" + ErrnoText(error) + "); it is left as it is";
  return result;
}

}  // namespace

RegHive HiveFile::Read() const {
  FileBytes file = ReadWholeFile(path_, kMaxHiveBytes);
  RegHive hive;
  if (file.error == ENOENT) return hive;
  if (file.error != 0) {
    ReportOnce("cannot read settings file " + path_ + ": " + ErrnoText(file.error) +
               "; its settings are not used");
    return hive;
  }
  if (!ReadRegText(file.bytes, hive)) return hive;
  // Broken: look again under the lock, since a writer may just have replaced it.
  std::string target = ReplacementTarget(path_);
  DirectoryLock lock(DirectoryOf(target));
  if (lock.Error() != 0) {
    ReportOnce("settings file " + path_ + " cannot be parsed and its folder cannot be locked (" +
               ErrnoText(lock.Error()) + "); its settings are not used");
    return hive;
  }
  LockedRead locked = ReadLocked(target);
  if (locked.error) ReportOnce(*locked.error + "; its settings are not used");
  return std::move(locked.hive);
}

std::optional<RegHive> HiveFile::ReadStrictly(std::string& problem) const {
  FileBytes file = ReadWholeFile(path_, kMaxHiveBytes);
  RegHive hive;
  if (file.error == ENOENT) return hive;
  if (file.error != 0) {
    problem = "cannot read settings file " + path_ + ": " + ErrnoText(file.error);
    return std::nullopt;
  }
  if (std::optional<RegParseError> error = ReadRegText(file.bytes, hive)) {
    problem = "settings file " + path_ + " cannot be parsed (" + error->Describe() + ")";
    return std::nullopt;
  }
  return hive;
}

HiveResult HiveFile::Update(const std::function<bool(RegHive&)>& change) {
  std::string target = ReplacementTarget(path_);
  std::string directory = DirectoryOf(target);
  if (int error = MakeDirectories(directory); error != 0) {
    return HiveResult::Failure("cannot create folder " + directory + ": " + ErrnoText(error));
  }
  DirectoryLock lock(directory);
  if (lock.Error() != 0) {
    return HiveResult::Failure("cannot lock folder " + directory + ": " + ErrnoText(lock.Error()));
  }
  LockedRead current = ReadLocked(target);
  if (current.error) return HiveResult::Failure(*current.error);
  if (!change(current.hive)) return {};
  RemoveStaleTemporaries(target);
  if (int error = ReplaceFileAtomically(target, FormatRegText(current.hive)); error != 0) {
    return HiveResult::Failure("cannot write settings file " + target + ": " + ErrnoText(error));
  }
  return {};
}

}  // namespace kestrova
