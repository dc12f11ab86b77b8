#include "modules/install_location.h"

#include <stdio.h>
#include <string.h>

#include "support/file_util.h"
#include "support/status.h"
#include "support/text_buffer.h"

namespace {

constexpr int kPathTextCapacity = 8196;

// The levels below the install root, each preceded by a separator; the module directory is the
// third, the temporary directory the fourth.
enum { kMakerLevel, kProductLevel, kModuleLevel, kTempLevel, kLevelCount };

// Creates the directory named by the first `length` characters of the path text.
void MakeLevel(char* path, int length) {
  const char saved = path[length];
  path[length] = '\0';
  File_MakeDirs(path);
  path[length] = saved;
}

}  // namespace

bool Path_Join(char* out, int capacity, const char* dir, const char* name, const char* suffix) {
  if (out == nullptr || capacity < 1) return false;
  const int n = snprintf(out, static_cast<size_t>(capacity), "%s%c%s%s", dir, PATH_SEPARATOR, name, suffix);
  if (n < 0 || n >= capacity) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool IsPlainDirName(const char* name) {
  if (name == nullptr) return false;
  if (strpbrk(name, "\\/:") != nullptr) return false;
  if (strstr(name, "..") != nullptr) return false;
  // Windows drops trailing dots and spaces from a path level, so "." or ". " would name the parent.
  return name[0] == '\0' || strspn(name, ". ") != strlen(name);
}

int PrepareModuleDir(const char* name, char* moduleDir, int capacity) {
  if (moduleDir == nullptr || capacity < 1) return ERR_TOO_SMALL;
  memset(moduleDir, 0, static_cast<size_t>(capacity));
  if (name == nullptr) name = DEFAULT_PRODUCT_DIR;
  if (!IsPlainDirName(name)) return ERR_BAD_DIR_NAME;

  char root[INSTALL_ROOT_CAPACITY] = {};
  if (GetInstallRoot(root, sizeof root) == nullptr) return ERR_NO_INSTALL_ROOT;

  // Lay out the whole chain first, so that nothing is created when any level would not fit.
  TextBuffer path;
  int rc = TextBuffer_Init(&path, kPathTextCapacity, nullptr, nullptr);
  int ends[kLevelCount] = {};
  if (rc == STATUS_OK) {
    rc = TextBuffer_AppendFormat(&path, "%s%c%s", root, PATH_SEPARATOR, MAKER_DIR_NAME);
    ends[kMakerLevel] = path.length;
  }
  const char* const below[] = {name, MODULE_DIR_NAME, TEMP_DIR_NAME};
  for (int level = kProductLevel; level < kLevelCount && rc == STATUS_OK; ++level) {
    rc = TextBuffer_AppendFormat(&path, "%c%s", PATH_SEPARATOR, below[level - kProductLevel]);
    ends[level] = path.length;
  }
  if (rc == STATUS_OK && path.length >= capacity) rc = ERR_NO_INSTALL_ROOT;

  if (rc == STATUS_OK) {
    for (int level = kMakerLevel; level < kLevelCount; ++level) {
      MakeLevel(path.data, ends[level]);
      if (level == kModuleLevel) {
        memcpy(moduleDir, path.data, static_cast<size_t>(ends[level]));
        SetCurrentDir(moduleDir);
      }
    }
  }
  TextBuffer_Release(&path);
  return rc;
}
