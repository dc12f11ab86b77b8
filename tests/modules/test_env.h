// Environment, user-folder and current-directory helpers for the module tests. Everything a test
// changes is put back when the helper goes out of scope. Platform parts: test_env_*.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Sets, removes or reads one variable of the process environment (the one the platform's own
// calls see).
void TestEnv_Set(const std::string& name, const char* value);  // null removes it
bool TestEnv_Get(const std::string& name, std::string* value);

// True where files written in text mode store a CR before every LF.
extern const bool kTextModeAddsCr;

// Keeps the old values of the variables it changes and restores them when it ends.
class EnvOverride {
 public:
  EnvOverride() = default;
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;
  ~EnvOverride() { Restore(); }

  void Set(const std::string& name, const char* value) {
    Saved saved{name, false, {}};
    saved.present = TestEnv_Get(name, &saved.value);
    saved_.push_back(saved);
    TestEnv_Set(name, value);
  }
  void Restore() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      TestEnv_Set(it->name, it->present ? it->value.c_str() : nullptr);
    }
    saved_.clear();
  }

 private:
  struct Saved {
    std::string name;
    bool present;
    std::string value;
  };
  std::vector<Saved> saved_;
};

// Keeps the current directory and goes back to it when it ends.
class CurrentDirGuard {
 public:
  CurrentDirGuard() : saved_(std::filesystem::current_path()) {}
  CurrentDirGuard(const CurrentDirGuard&) = delete;
  CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;
  ~CurrentDirGuard() { Restore(); }
  void Restore() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
  }
  const std::filesystem::path& saved() const { return saved_; }

 private:
  std::filesystem::path saved_;
};

// Makes the install root lie below the absolute folder dir and returns the root expected there:
// dir\AppData\LocalLow on Windows (via %USERPROFILE%), dir/.local/share natively (via $HOME).
std::string TestEnv_RedirectInstallRoot(EnvOverride& env, const std::string& dir);

// Makes the install root a short folder of its own (for paths near the length limit) and returns
// it, created and empty: $XDG_DATA_HOME in a new folder of /tmp natively, C:\vexo\AppData\LocalLow
// on Windows (via %USERPROFILE%). The caller removes it.
std::string TestEnv_ShortInstallRoot(EnvOverride& env);

// The Firefox folder that the preference check is expected to read. Natively it is moved below
// the absolute folder dir (via $HOME); on Windows it is the user's real roaming folder, which the
// shell reports regardless of the environment.
std::string TestEnv_FirefoxDir(EnvOverride& env, const std::string& dir);
