#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "modules/browser_prefs.h"

int GetFirefoxDir(char* buffer, int capacity) {
  if (buffer == nullptr || capacity < 1) return -1;
  buffer[0] = '\0';
  const char* home = getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const struct passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : "";
  }
  const int n = snprintf(buffer, static_cast<size_t>(capacity), "%s/.mozilla/firefox", home);
  if (n < 0 || n >= capacity) {
    buffer[0] = '\0';
    return -1;
  }
  return 0;
}
