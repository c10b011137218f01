// The registry as this program sees it: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, each kept in
// its own hive file (see hive_locations.h). Every call reads the file afresh, as opening a
// registry key does; keys are given below the root ("Software\MUR s.r.o.\KestTerminal").
#pragma once

#include <optional>
#include <string_view>

#include "platform/hive_file.h"
#include "platform/reg_hive.h"
#include "platform/reg_key_path.h"
#include "platform/reg_value.h"

namespace kestrova {

// The two roots with a hive; the others are not kept by this program.
bool RegRootKept(RegRoot root);
// The hive file of a kept root.
HiveFile RegHiveFile(RegRoot root);

std::optional<RegValue> RegReadValue(RegRoot root, std::string_view key, std::string_view name);
// A copy of the key with its values, or nothing when it does not exist.
std::optional<RegKey> RegReadKey(RegRoot root, std::string_view key);

// Creates the key when needed.
HiveResult RegWriteValue(RegRoot root, std::string_view key, std::string_view name,
                         const RegValue& value);
// Deletes the key with its subkeys; a missing key is no error.
HiveResult RegDeleteKey(RegRoot root, std::string_view key);

}  // namespace kestrova
