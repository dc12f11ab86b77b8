#include <stdlib.h>

#include "test_env.h"

const bool kTextModeAddsCr = false;

void TestEnv_Set(const std::string& name, const char* value) {
  if (value != nullptr) {
    setenv(name.c_str(), value, 1);
  } else {
    unsetenv(name.c_str());
  }
}

bool TestEnv_Get(const std::string& name, std::string* value) {
  const char* found = getenv(name.c_str());
  if (found == nullptr) return false;
  *value = found;
  return true;
}

std::string TestEnv_RedirectInstallRoot(EnvOverride& env, const std::string& dir) {
  env.Set("XDG_DATA_HOME", nullptr);
  env.Set("HOME", dir.c_str());
  return dir + "/.local/share";
}

std::string TestEnv_ShortInstallRoot(EnvOverride& env) {
  char dir[] = "/tmp/vexo-XXXXXX";
  if (mkdtemp(dir) == nullptr) return "";
  env.Set("XDG_DATA_HOME", dir);
  return dir;
}

std::string TestEnv_FirefoxDir(EnvOverride& env, const std::string& dir) {
  env.Set("HOME", dir.c_str());
  return dir + "/.mozilla/firefox";
}
