#include <windows.h>
#include <shlobj.h>

#include "test_env.h"

const bool kTextModeAddsCr = true;

void TestEnv_Set(const std::string& name, const char* value) { SetEnvironmentVariableA(name.c_str(), value); }

bool TestEnv_Get(const std::string& name, std::string* value) {
  char buffer[32768];
  const DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return false;
  value->assign(buffer, n);
  return true;
}

std::string TestEnv_RedirectInstallRoot(EnvOverride& env, const std::string& dir) {
  env.Set("USERPROFILE", dir.c_str());
  return dir + "\\AppData\\LocalLow";
}

std::string TestEnv_ShortInstallRoot(EnvOverride& env) {
  const std::string root = TestEnv_RedirectInstallRoot(env, "C:\\vexo");
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  std::filesystem::create_directories(root, ignored);
  return root;
}

std::string TestEnv_FirefoxDir(EnvOverride&, const std::string&) {
  char appData[MAX_PATH + 1] = {};
  SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE);
  return std::string(appData) + "\\Mozilla\\Firefox";
}
