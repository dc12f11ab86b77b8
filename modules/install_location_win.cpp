#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "modules/install_location.h"
#include "modules/install_location_win.h"

const char PATH_SEPARATOR = '\\';

namespace {

constexpr int kProfileScratch = 1024;
constexpr int kWindowsDirCapacity = 1024;
constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kProgramFilesValue[] = "ProgramFilesDir";
constexpr char kProgramFilesSuffix[] = "\\Program Files";
constexpr char kDefaultProgramFiles[] = "C:\\Program Files";
constexpr char kLocalLowSuffix[] = "\\AppData\\LocalLow";

// Receives the expansion of %USERPROFILE%; one buffer for the whole process.
char g_profileScratch[kProfileScratch];

// Prints into buffer; false (buffer emptied) when the text does not fit capacity - 1 characters.
bool PrintFits(char* buffer, int capacity, const char* first, const char* second) {
  const int n = snprintf(buffer, static_cast<size_t>(capacity), "%s%s", first, second);
  if (n < 0 || n >= capacity) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

// The shell's Program Files folder; the shell writes up to MAX_PATH characters, so it is taken
// through a buffer of that size.
bool ShellProgramFiles(char* buffer, int capacity) {
  char folder[MAX_PATH + 1] = {};
  if (SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE) != TRUE) return false;
  return PrintFits(buffer, capacity, folder, "");
}

// %USERPROFILE%\AppData\LocalLow. An undefined variable stays unexpanded; a failed expansion
// leaves the scratch text empty.
bool ProfileRoot(char* buffer, int capacity) {
  memset(g_profileScratch, 0, sizeof g_profileScratch);
  const DWORD n = ExpandEnvironmentStringsA("%USERPROFILE%", g_profileScratch, kProfileScratch);
  if (n > static_cast<DWORD>(kProfileScratch)) return false;  // the profile path does not fit
  g_profileScratch[kProfileScratch - 1] = '\0';
  return PrintFits(buffer, capacity, g_profileScratch, kLocalLowSuffix);
}

}  // namespace

int CheckOsVersion() {
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info);
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 5 ? 0 : ERR_OLD_WINDOWS;
}

int ReadRegistryString(HKEY hive, const char* subkey, const char* valueName, char* buffer, int capacity,
                       REGSAM view) {
  if (buffer == nullptr || capacity < 2) return -1;
  memset(buffer, 0, static_cast<size_t>(capacity));
  HKEY key = nullptr;
  if (RegOpenKeyExA(hive, subkey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return -1;
  // One byte is held back so that a value stored without its terminator still ends in one.
  DWORD size = static_cast<DWORD>(capacity - 1);
  const LONG status =
      RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    buffer[0] = '\0';
    return -1;
  }
  buffer[capacity - 1] = '\0';
  return 0;
}

int GetProgramFilesRoot(char* buffer, int capacity) {
  if (!ShellProgramFiles(buffer, capacity) &&
      ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, kProgramFilesValue, buffer, capacity) != 0) {
    char windowsDir[kWindowsDirCapacity] = {};
    if (GetWindowsDirectoryA(windowsDir, kWindowsDirCapacity) != 0) {
      snprintf(buffer, static_cast<size_t>(capacity), "%c:%s", windowsDir[0], kProgramFilesSuffix);
    } else {
      snprintf(buffer, static_cast<size_t>(capacity), "%s", kDefaultProgramFiles);
    }
  }
  return static_cast<int>(strlen(buffer));
}

char* GetInstallRoot(char* buffer, int capacity) {
  if (buffer == nullptr || capacity < 1) return nullptr;
  memset(buffer, 0, static_cast<size_t>(capacity));
  const bool found = CheckOsVersion() == 0 ? ProfileRoot(buffer, capacity)
                                           : GetProgramFilesRoot(buffer, capacity) > 0;
  return found && buffer[0] != '\0' ? buffer : nullptr;
}

int SetCurrentDir(const char* dir) { return SetCurrentDirectoryA(dir) ? 0 : static_cast<int>(GetLastError()); }
