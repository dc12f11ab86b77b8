#include "modules/install_location.h"

#include <stdio.h>
#include <string.h>

#include "modules/http_client.h"
#include "modules/install_record.h"
#include "modules/release_trust.h"
#include "modules/version_table.h"
#include "support/crt.h"
#include "support/file_util.h"
#include "support/status.h"
#include "support/text_buffer.h"

namespace {

constexpr int kPathTextCapacity = 8196;

// The levels below the install root, each preceded by a separator; the module directory is the
// third, the temporary directory the fourth.
enum { kMakerLevel, kProductLevel, kModuleLevel, kTempLevel, kLevelCount };

// Names Windows maps to devices in any folder: CON, PRN, AUX, NUL, COM1-9, LPT1-9, and the console's
// CONIN$ and CONOUT$.
bool IsDeviceStem(const char* stem, size_t length) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  char word[8] = {};
  if (length >= sizeof word) return false;
  memcpy(word, stem, length);
  for (const char* device : kDevices) {
    if (_stricmp(word, device) == 0) return true;
  }
  const char digit = word[3];
  word[3] = '\0';
  return length == 4 && (_stricmp(word, "COM") == 0 || _stricmp(word, "LPT") == 0) && digit >= '1' && digit <= '9';
}

// A device name stays one with any extension, letter case, trailing dots or spaces ("aux.dll",
// "Nul .txt", "COM1..."): Windows looks at the part before the first dot with its trailing spaces
// dropped.
bool IsDeviceName(const char* name) {
  size_t length = strcspn(name, ".");
  while (length > 0 && name[length - 1] == ' ') --length;
  return IsDeviceStem(name, length);
}

// One kind of path built inside the module directory:
// <module directory>\[<folder>\]<name>[<private part>]<suffix><suffix2>.
struct BuiltPath {
  const char* folder;  // "" for the module directory itself
  const char* name;    // null: the module file being measured
  bool privatePart;    // File_PrivateName's ".<process id>-<n>" follows the name
  const char* suffix;
  const char* suffix2;
};

// Every table file the plug-in keeps or writes in the module directory. A new file gets a line.
const BuiltPath kTablePaths[] = {
    {"", VERSION_TABLE_NAME, false, "", ""},                                     // installed table
    {"", VERSION_TABLE_NAME, true, TABLE_STAGED_SUFFIX, ""},                     // ... while written
    {TEMP_DIR_NAME, VERSION_TABLE_NAME, true, TABLE_STAGED_SUFFIX, ""},          // fetched
    {TEMP_DIR_NAME, CURRENT_TABLE_NAME, false, "", ""},                          // current table
    {TEMP_DIR_NAME, CURRENT_TABLE_NAME, true, TABLE_STAGED_SUFFIX, ""},          // ... while written
    {"", KEY_LIST_NAME, false, "", ""},                                          // kept key list
    {TEMP_DIR_NAME, KEY_LIST_NAME, true, TABLE_STAGED_SUFFIX, ""},               // ... fetched
    {"", ROOT_RECORD_NAME, false, "", ""},                                       // kept root record
    {TEMP_DIR_NAME, ROOT_RECORD_NAME, true, TABLE_STAGED_SUFFIX, ""},            // ... fetched
};
// The names made for every module file: the file, its download, the unpacked file before it
// replaces the installed one, and an installed file in use moved aside.
const BuiltPath kModuleFilePaths[] = {
    {"", nullptr, false, "", ""},
    {"", nullptr, true, HTTP_COMPRESSED_SUFFIX, ""},
    {"", nullptr, true, HTTP_STAGED_SUFFIX, ""},
    {"", nullptr, true, HTTP_ASIDE_SUFFIX, ""},
};
const char* const kLoadedModules[] = {CONTROL_MODULE_NAME, MAIN_MODULE_NAME};

int BuiltPathLength(int dirLength, const BuiltPath& shape, const char* fileName) {
  const char* name = shape.name != nullptr ? shape.name : fileName;
  const size_t folder = shape.folder[0] != '\0' ? strlen(shape.folder) + 1 : 0;
  const size_t tail = folder + 1 + strlen(name) + (shape.privatePart ? FILE_PRIVATE_PART_MAX : 0) +
                      strlen(shape.suffix) + strlen(shape.suffix2);
  return dirLength + static_cast<int>(tail);
}

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

int ModuleFile_LongestPath(int dirLength, const char* fileName) {
  int longest = 0;
  for (const BuiltPath& shape : kModuleFilePaths) {
    const int length = BuiltPathLength(dirLength, shape, fileName != nullptr ? fileName : "");
    if (length > longest) longest = length;
  }
  return longest;
}

int ModuleDir_LongestPath(int dirLength) {
  int longest = 0;
  for (const BuiltPath& shape : kTablePaths) {
    const int length = BuiltPathLength(dirLength, shape, "");
    if (length > longest) longest = length;
  }
  for (const char* module : kLoadedModules) {
    const int length = ModuleFile_LongestPath(dirLength, module);
    if (length > longest) longest = length;
  }
  return longest;
}

bool IsPlainDirName(const char* name) {
  if (name == nullptr) return false;
  if (strpbrk(name, "\\/:") != nullptr) return false;
  if (strstr(name, "..") != nullptr) return false;
  if (IsDeviceName(name)) return false;
  // Characters no Windows file name may hold: wildcards (also what a character without a
  // counterpart in the code page becomes), quotes, redirections and control characters.
  for (const char* p = name; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) < 0x20 || strchr("*?\"<>|", *p) != nullptr) return false;
  }
  // Windows drops trailing dots and spaces from a path level: "." or ". " would name the parent,
  // and "Shop." the folder "Shop" under another name (and another lock).
  const size_t length = strlen(name);
  return length == 0 || (name[length - 1] != '.' && name[length - 1] != ' ');
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
  // Every path built inside the module directory later must fit as well: a name that leaves too
  // little room is refused like one that leaves the maker directory, before anything is created.
  if (rc == STATUS_OK && ModuleDir_LongestPath(ends[kModuleLevel]) >= MODULE_PATH_CAPACITY) rc = ERR_NO_INSTALL_ROOT;

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
