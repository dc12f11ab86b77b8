// The browser preference check: whether Firefox's first listed profile sets the preference that
// switches out-of-process running off for this plug-in to false.
#pragma once

#include <stdio.h>

constexpr int PREFS_LINE_CAPACITY = 64;  // lines are examined up to their 63rd character
constexpr int FIREFOX_PATH_CAPACITY = 256;
constexpr char PLUGIN_PREF_NAME[] = "dom.ipc.plugins.enabled.zorozorideverid.dll";
constexpr char DEFAULT_PROFILE_PATH[] = "Profiles/ll7i14wu.default";

// 0 when a line of the open file holds both name and "false" within its first 63 characters,
// -1 when the file ends first.
int ScanPrefsFile(FILE* file, const char* name);

// Firefox's own folder: %APPDATA%\Mozilla\Firefox on Windows, ~/.mozilla/firefox natively.
// Returns 0 (an unknown application-data or home folder gives a path from the root), or -1 (buffer
// emptied) when the path does not fit capacity - 1 characters.
int GetFirefoxDir(char* buffer, int capacity);

// Reads profiles.ini (section "Profile0", key "Path", default "Profiles/ll7i14wu.default") and
// that profile's prefs.js, and writes "FAIL" into out when prefs.js opens and no line sets the
// preference to false, else "SUCC". Always 0.
int CheckFirefoxPrefs(char* out, int capacity);
