#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include "modules/browser_prefs.h"

int GetFirefoxDir(char* buffer, int capacity) {
  if (buffer == nullptr || capacity < 1) return -1;
  buffer[0] = '\0';
  // The shell writes up to MAX_PATH characters; an unknown folder leaves the text empty, so the
  // paths start at the root of the current drive.
  char appData[MAX_PATH + 1] = {};
  SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE);
  const int n = snprintf(buffer, static_cast<size_t>(capacity), "%s\\Mozilla\\Firefox", appData);
  if (n < 0 || n >= capacity) {
    buffer[0] = '\0';
    return -1;
  }
  return 0;
}
