#include "modules/install_record.h"

#include <stdio.h>
#include <string.h>

#include "modules/install_location.h"
#include "modules/version_table.h"
#include "support/file_util.h"
#include "support/status.h"
#include "support/text_buffer.h"

namespace {

constexpr int kPathCapacity = 256;
constexpr int kStampCapacity = 128;
constexpr int kRecordCapacity = 8196;
constexpr char kSignatureSuffix[] = ".sig";

// The signature of a signed release's table (fetched beside it as <table>.sig) goes beside the
// installed table; a table without one leaves no signature of an older table there.
void KeepSignatureBesideTable(const char* moduleDir, const char* fetchedPath) {
  char fetched[kPathCapacity + sizeof kSignatureSuffix] = {};
  char installed[kPathCapacity + sizeof kSignatureSuffix] = {};
  char name[sizeof VERSION_TABLE_NAME + sizeof kSignatureSuffix] = {};
  snprintf(fetched, sizeof fetched, "%s%s", fetchedPath, kSignatureSuffix);
  snprintf(name, sizeof name, "%s%s", VERSION_TABLE_NAME, kSignatureSuffix);
  if (!Path_Join(installed, sizeof installed, moduleDir, name)) return;
  if (File_Replace(fetched, installed) != STATUS_OK) File_Remove(installed);
}

}  // namespace

int FetchedTablePath(const char* moduleDir, char* out, int capacity) {
  if (out == nullptr || capacity < 1) return ERR_TOO_SMALL;
  out[0] = '\0';
  // Without a module directory the path would point at the root of the drive.
  if (moduleDir == nullptr || moduleDir[0] == '\0') return ERR_TOO_SMALL;
  const int n = snprintf(out, static_cast<size_t>(capacity), "%s%c%s%c%s.tmp", moduleDir, PATH_SEPARATOR,
                         TEMP_DIR_NAME, PATH_SEPARATOR, VERSION_TABLE_NAME);
  if (n < 0 || n >= capacity) {
    out[0] = '\0';
    return ERR_TOO_SMALL;
  }
  return STATUS_OK;
}

int WriteInstallRecord(const char* moduleDir) {
  char path[kPathCapacity] = {};
  if (FetchedTablePath(moduleDir, path, sizeof path) != STATUS_OK) return 0;
  TextBuffer record;
  if (TextBuffer_Init(&record, kRecordCapacity, nullptr, nullptr) != STATUS_OK) {
    TextBuffer_Release(&record);
    return -1;  // the fetched table stays for the next attempt
  }
  // One byte beyond the largest table keeps a table of exactly that size terminated.
  char content[INSTALL_RECORD_MAX_TABLE + 1] = {};
  int result = 0;
  if (File_ReadAll(path, content, INSTALL_RECORD_MAX_TABLE) >= 0) {
    File_Remove(path);
    KeepSignatureBesideTable(moduleDir, path);
    char stamp[kStampCapacity] = {};
    Time_Format(stamp, INSTALL_STAMP_FORMAT, -1, sizeof stamp);
    result = -1;
    if (TextBuffer_AppendFormat(&record, "%s\r\n", content) == STATUS_OK &&
        TextBuffer_AppendFormat(&record, "%s\r\n", stamp) == STATUS_OK &&
        TextBuffer_AppendFormat(&record, "%s\r\n", INSTALL_DESCRIPTION_LINE) == STATUS_OK &&
        Path_Join(path, sizeof path, moduleDir, VERSION_TABLE_NAME)) {
      result = File_WriteAll(path, record.data, record.length);
    }
  }
  TextBuffer_Release(&record);
  return result;
}

int DiscardFetchedTable(const char* moduleDir) {
  char path[kPathCapacity] = {};
  if (FetchedTablePath(moduleDir, path, sizeof path) != STATUS_OK) return ERR_NO_FILE;
  char signature[kPathCapacity + sizeof kSignatureSuffix] = {};
  snprintf(signature, sizeof signature, "%s%s", path, kSignatureSuffix);
  File_Remove(signature);
  return File_Remove(path);
}
