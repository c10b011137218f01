// A registry hive kept in one file. Readers take no lock: the file is only ever replaced whole
// (temporary file, fsync, rename), so a reader sees the old or the new content, and a crash
// never leaves a torn file. Changes are read-modify-write under an advisory lock on the folder.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/reg_hive.h"

namespace kestrova {

struct HiveResult {
  bool ok = true;
  std::string error;  // for the user: what failed, on which file, and the system's reason

  static HiveResult Failure(std::string message) { return {false, std::move(message)}; }
};

class HiveFile {
 public:
  explicit HiveFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // The hive as it stands; a missing file is an empty hive. A file that cannot be read is
  // reported on standard error and taken as empty. A file that cannot be parsed is moved aside
  // to "<name>.corrupt-<date>-<time>" (kept for the user) and reported; when it cannot be moved
  // it stays untouched and is taken as empty.
  RegHive Read() const;

  // For readers that must not take a broken file for an empty hive (an export): the hive, or
  // nothing with `problem` said for the user. A missing file is an empty hive. Changes nothing.
  std::optional<RegHive> ReadStrictly(std::string& problem) const;

  // Creates the folder when needed, then under the lock reads the current hive, lets `change`
  // edit it and writes it back when `change` returns true. A file that cannot be read is never
  // overwritten; one that cannot be parsed is first moved aside as by Read().
  HiveResult Update(const std::function<bool(RegHive&)>& change);

 private:
  std::string path_;
};

}  // namespace kestrova
