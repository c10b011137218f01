// A temporary folder for one test, with the XDG variables pointing the per-user and the
// machine-wide settings hives into it; everything is restored and removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace kestrova::test {

class TempHives {
 public:
  // `base` is where the folder is made; tests that write a lot pass a memory file system.
  explicit TempHives(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    std::string pattern = base / "kestrova-hives-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    Save("XDG_CONFIG_HOME", saved_home_);
    Save("XDG_CONFIG_DIRS", saved_dirs_);
    setenv("XDG_CONFIG_HOME", (root_ / "user").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", ((root_ / "machine").string() + ":/etc/xdg").c_str(), 1);
  }
  ~TempHives() {
    Restore("XDG_CONFIG_HOME", saved_home_);
    Restore("XDG_CONFIG_DIRS", saved_dirs_);
    // Tests may have taken write rights away; give them back so everything can go.
    std::error_code ignored;
    auto writable = [&](const std::filesystem::path& p) {
      std::filesystem::permissions(p, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    };
    writable(root_);
    for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) writable(it->path());
    }
    std::filesystem::remove_all(root_, ignored);
  }
  TempHives(const TempHives&) = delete;
  TempHives& operator=(const TempHives&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path UserFolder() const { return root_ / "user" / "mur"; }
  std::filesystem::path MachineFolder() const { return root_ / "machine" / "mur"; }
  std::filesystem::path UserHive() const { return UserFolder() / "kestrova.reg"; }
  std::filesystem::path MachineHive() const { return MachineFolder() / "kestrova.reg"; }

 private:
  static void Save(const char* name, std::optional<std::string>& saved) {
    if (const char* value = getenv(name)) saved = value;
  }
  static void Restore(const char* name, const std::optional<std::string>& saved) {
    if (saved) {
      setenv(name, saved->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

  std::filesystem::path root_;
  std::optional<std::string> saved_home_;
  std::optional<std::string> saved_dirs_;
};

}  // namespace kestrova::test
