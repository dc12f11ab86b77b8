// Install locations as Windows reports them, on the Wine profile (Windows 7).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>
#include <vector>

#include "modules/install_location.h"
#include "modules/install_location_win.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

constexpr char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string ShellFolder(int csidl) {
  char folder[MAX_PATH + 1] = {};
  SHGetSpecialFolderPathA(nullptr, folder, csidl, FALSE);
  return folder;
}

TEST(InstallLocationWinTest, WineCountsAsNt6OrLater) { EXPECT_EQ(0, CheckOsVersion()); }

TEST(InstallLocationWinTest, ChainOnTheUserProfile) {
  std::string profile;
  ASSERT_TRUE(TestEnv_Get("USERPROFILE", &profile));
  const std::string root = profile + "\\AppData\\LocalLow";
  char buffer[INSTALL_ROOT_CAPACITY];
  ASSERT_NE(nullptr, GetInstallRoot(buffer, sizeof buffer));
  EXPECT_EQ(root, buffer);

  const std::string product = root + "\\Vexo\\ModulesTestProduct";
  CurrentDirGuard cwd;
  char moduleDir[MODULE_DIR_CAPACITY] = {};
  ASSERT_EQ(0, PrepareModuleDir("ModulesTestProduct", moduleDir, sizeof moduleDir));
  EXPECT_EQ(product + "\\ActiveX", moduleDir);
  EXPECT_TRUE(fs::is_directory(product + "\\ActiveX\\temp"));
  char current[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_STRCASEEQ((product + "\\ActiveX").c_str(), current);

  cwd.Restore();
  std::error_code ignored;
  fs::remove_all(product, ignored);
  fs::remove(root + "\\Vexo", ignored);  // only when no other product is there
}

// An undefined %USERPROFILE% stays unexpanded, so the root is a relative path of that text.
TEST(InstallLocationWinTest, UndefinedProfileStaysUnexpanded) {
  EnvOverride env;
  env.Set("USERPROFILE", nullptr);
  char buffer[INSTALL_ROOT_CAPACITY];
  ASSERT_NE(nullptr, GetInstallRoot(buffer, sizeof buffer));
  EXPECT_STREQ("%USERPROFILE%\\AppData\\LocalLow", buffer);
}

TEST(InstallLocationWinTest, ProfileTooLongForTheRootGivesNoRoot) {
  EnvOverride env;
  const std::string longProfile = "C:\\" + std::string(240, 'p');
  env.Set("USERPROFILE", longProfile.c_str());
  char buffer[INSTALL_ROOT_CAPACITY];
  EXPECT_EQ(nullptr, GetInstallRoot(buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
  char moduleDir[MODULE_DIR_CAPACITY] = "stale";
  EXPECT_EQ(ERR_NO_INSTALL_ROOT, PrepareModuleDir("Mirovan70", moduleDir, sizeof moduleDir));
  EXPECT_STREQ("", moduleDir);
}

TEST(InstallLocationWinTest, ProgramFilesComesFromTheShellAndTheRegistry) {
  const std::string shell = ShellFolder(CSIDL_PROGRAM_FILES);
  ASSERT_FALSE(shell.empty());
  char buffer[INSTALL_ROOT_CAPACITY];
  EXPECT_EQ(static_cast<int>(shell.size()), GetProgramFilesRoot(buffer, sizeof buffer));
  EXPECT_EQ(shell, buffer);

  ASSERT_EQ(0, ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", buffer,
                                  sizeof buffer));
  EXPECT_STRCASEEQ(shell.c_str(), buffer);
}

TEST(InstallLocationWinTest, RegistryFailuresGiveMinusOne) {
  char buffer[INSTALL_ROOT_CAPACITY] = "stale";
  EXPECT_EQ(-1, ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "NoSuchValueHere", buffer,
                                   sizeof buffer));
  EXPECT_STREQ("", buffer);
  EXPECT_EQ(-1, ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchKeyHere", "ProgramFilesDir",
                                   buffer, sizeof buffer));
  // A buffer of exactly the value and its terminator leaves no room beside the held-back byte.
  const std::string shell = ShellFolder(CSIDL_PROGRAM_FILES);
  std::vector<char> small(shell.size() + 1, 'x');
  EXPECT_EQ(-1, ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", small.data(),
                                   static_cast<int>(small.size())));
  EXPECT_STREQ("", small.data());
  std::vector<char> enough(shell.size() + 2, 'x');
  EXPECT_EQ(0, ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", enough.data(),
                                  static_cast<int>(enough.size())));
  EXPECT_STRCASEEQ(shell.c_str(), enough.data());
}

}  // namespace
