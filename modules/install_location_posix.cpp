#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "modules/install_location.h"

const char PATH_SEPARATOR = '/';

namespace {

constexpr char kDataHomeSuffix[] = "/.local/share";

// The user's home folder: $HOME, else the password database's entry.
const char* HomeDir() {
  const char* home = getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  const struct passwd* entry = getpwuid(getuid());
  return entry != nullptr ? entry->pw_dir : nullptr;
}

}  // namespace

int CheckOsVersion() { return 0; }

char* GetInstallRoot(char* buffer, int capacity) {
  if (buffer == nullptr || capacity < 1) return nullptr;
  memset(buffer, 0, static_cast<size_t>(capacity));
  // The per-user data folder of the XDG base directories; a relative $XDG_DATA_HOME is invalid.
  const char* dataHome = getenv("XDG_DATA_HOME");
  const char* suffix = "";
  if (dataHome == nullptr || dataHome[0] != '/') {
    dataHome = HomeDir();
    suffix = kDataHomeSuffix;
  }
  if (dataHome == nullptr || dataHome[0] == '\0') return nullptr;
  const int n = snprintf(buffer, static_cast<size_t>(capacity), "%s%s", dataHome, suffix);
  if (n < 0 || n >= capacity) {
    buffer[0] = '\0';
    return nullptr;
  }
  return buffer;
}

int SetCurrentDir(const char* dir) { return chdir(dir) == 0 ? 0 : -1; }
