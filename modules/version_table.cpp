#include "modules/version_table.h"

#include <stdio.h>
#include <string.h>

#include "modules/install_location.h"
#include "support/crt.h"
#include "support/profile.h"
#include "support/status.h"
#include "support/string_util.h"

namespace {

constexpr char kListSection[] = "FILE_LIST";
constexpr char kCountKey[] = "ListCount";
constexpr char kUrlKey[] = "URL";
constexpr char kVersionKey[] = "Version";
constexpr char kTargetKey[] = "Target";
constexpr char kDescriptionKey[] = "Description";
constexpr int kNumberKeyCapacity = 16;
constexpr int kNameCapacity = 127;  // names of at most 126 characters
constexpr int kPathCapacity = 256;
constexpr int kUrlCapacity = 128;

// Reads the entry listed under key number n into entry; an unlisted number leaves it untouched.
void ReadEntry(const char* path, int n, FileEntry* entry) {
  char key[kNumberKeyCapacity] = {};
  snprintf(key, sizeof key, "%d", n);
  char name[kNameCapacity] = {};
  if (Profile_GetString(kListSection, key, nullptr, name, sizeof name, path) != STATUS_OK) return;
  snprintf(entry->file_name, sizeof entry->file_name, "%s", name);
  Profile_GetString(name, kUrlKey, nullptr, entry->url, sizeof entry->url, path);
  Profile_GetString(name, kVersionKey, nullptr, entry->version, sizeof entry->version, path);
  Profile_GetString(name, kTargetKey, nullptr, entry->target, sizeof entry->target, path);
  Profile_GetInt(name, kDescriptionKey, 0, &entry->description_number, path);
}

// True when the local entry names the same file in the same version and the file is present.
bool IsCurrent(const FileEntry& remote, const FileEntry& local, const char* moduleDir) {
  if (_stricmp(local.file_name, remote.file_name) != 0 || _stricmp(local.version, remote.version) != 0) {
    return false;
  }
  char path[kPathCapacity] = {};
  return Path_Join(path, sizeof path, moduleDir, remote.file_name) && _access(path, 0) == 0;
}

}  // namespace

int ReadVersionTable(const char* path, FileEntry* list) {
  int32_t count = 0;
  const int rc = Profile_GetInt(kListSection, kCountKey, 0, &count, path);
  if (rc != STATUS_OK) return rc;
  if (count <= 0) return 0;
  if (count > FILE_TABLE_MAX_ENTRIES) count = FILE_TABLE_MAX_ENTRIES;
  for (int n = 1; n <= count; ++n) ReadEntry(path, n, &list[n - 1]);
  return count;
}

int CompareFileLists(const FileEntry* remote, int remoteCount, const FileEntry* local, int localCount,
                     FileEntry* out, const char* moduleDir, const char* gwBaseUrl) {
  if (remote == nullptr || out == nullptr) return 0;
  if (local == nullptr) localCount = 0;
  if (moduleDir == nullptr) moduleDir = "";
  if (gwBaseUrl == nullptr) gwBaseUrl = "";
  if (remoteCount > FILE_TABLE_MAX_ENTRIES) remoteCount = FILE_TABLE_MAX_ENTRIES;
  for (int i = 0; i < remoteCount; ++i) {
    const FileEntry& from = remote[i];
    const int needsUpdate = localCount >= 1 && IsCurrent(from, local[i], moduleDir) ? 0 : 1;
    FileEntry& to = out[i];
    memset(&to, 0, sizeof to);
    String_Copy(to.file_name, from.file_name, sizeof to.file_name - 1, COPY_TRIM);
    char url[kUrlCapacity] = {};
    // A full URL longer than the field is cut to it, like every other field.
    if (snprintf(url, sizeof url, "%s/%s", gwBaseUrl, from.url) < 0) url[0] = '\0';
    String_Copy(to.url, url, sizeof to.url - 1, COPY_TRIM);
    String_Copy(to.version, from.version, sizeof to.version - 1, COPY_TRIM);
    String_Copy(to.target, from.target, sizeof to.target - 1, COPY_TRIM);
    to.description_number = from.description_number;
    to.needs_update = needsUpdate;
  }
  return 0;
}
