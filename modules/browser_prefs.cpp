#include "modules/browser_prefs.h"

#include <string.h>

#include "modules/install_location.h"
#include "support/file_util.h"
#include "support/profile.h"
#include "support/string_util.h"

namespace {

constexpr char kProfileList[] = "profiles.ini";
constexpr char kProfileSection[] = "Profile0";
constexpr char kPathKey[] = "Path";
constexpr char kPrefsFile[] = "prefs.js";
constexpr char kFalse[] = "false";
constexpr char kAnswerSet[] = "SUCC";
constexpr char kAnswerNotSet[] = "FAIL";

// True unless prefs.js of the profile opens and lacks the preference set to false. A path that
// does not fit its buffer counts as a file that cannot be opened.
bool PreferenceIsOff(const char* firefoxDir) {
  char listPath[FIREFOX_PATH_CAPACITY] = {};
  char profilePath[FIREFOX_PATH_CAPACITY] = {};
  char profileDir[FIREFOX_PATH_CAPACITY] = {};
  char prefsPath[FIREFOX_PATH_CAPACITY] = {};
  if (Path_Join(listPath, sizeof listPath, firefoxDir, kProfileList)) {
    Profile_GetString(kProfileSection, kPathKey, DEFAULT_PROFILE_PATH, profilePath, sizeof profilePath - 1,
                      listPath);
  } else {
    String_Copy(profilePath, DEFAULT_PROFILE_PATH, sizeof profilePath - 1, 0);
  }
  if (!Path_Join(profileDir, sizeof profileDir, firefoxDir, profilePath) ||
      !Path_Join(prefsPath, sizeof prefsPath, profileDir, kPrefsFile)) {
    return true;
  }
  FILE* file = fopen(prefsPath, "r");
  if (file == nullptr) return true;
  const bool found = ScanPrefsFile(file, PLUGIN_PREF_NAME) == 0;
  fclose(file);
  return found;
}

}  // namespace

int ScanPrefsFile(FILE* file, const char* name) {
  if (file == nullptr || name == nullptr) return -1;
  char line[PREFS_LINE_CAPACITY];
  while (File_ReadLine(file, line, sizeof line, READLINE_SKIP_REST) >= 0) {
    if (strstr(line, name) != nullptr && strstr(line, kFalse) != nullptr) return 0;
  }
  return -1;
}

int CheckFirefoxPrefs(char* out, int capacity) {
  char firefoxDir[FIREFOX_PATH_CAPACITY] = {};
  // A Firefox folder too long for the buffers counts like a prefs.js that cannot be opened.
  const bool off = GetFirefoxDir(firefoxDir, sizeof firefoxDir) != 0 || PreferenceIsOff(firefoxDir);
  const char* answer = off ? kAnswerSet : kAnswerNotSet;
  if (out != nullptr && capacity > 0) String_Copy(out, answer, capacity - 1, 0);
  return 0;
}
