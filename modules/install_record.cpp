#include "modules/install_record.h"

#include <stdio.h>
#include <string.h>

#include "modules/install_location.h"
#include "modules/version_table.h"
#include "support/crt.h"
#include "support/file_util.h"
#include "support/status.h"
#include "support/text_buffer.h"

namespace {

constexpr int kPathCapacity = 256;
constexpr int kStampCapacity = 128;
constexpr int kRecordCapacity = 8196;
constexpr char kSignatureSuffix[] = ".sig";

// Releases signed before the signature moved into the table left it beside the installed table
// (MirovanVer.tbl.sig); it signs nothing any more.
void DropDetachedSignature(const char* moduleDir) {
  char installed[kPathCapacity + sizeof kSignatureSuffix] = {};
  char name[sizeof VERSION_TABLE_NAME + sizeof kSignatureSuffix] = {};
  snprintf(name, sizeof name, "%s%s", VERSION_TABLE_NAME, kSignatureSuffix);
  if (Path_Join(installed, sizeof installed, moduleDir, name)) File_Remove(installed);
}

// moduleDir\temp\name into out: 0 or ERR_TOO_SMALL (out emptied).
int TempPath(const char* moduleDir, const char* name, char* out, int capacity) {
  if (out == nullptr || capacity < 1) return ERR_TOO_SMALL;
  out[0] = '\0';
  // Without a module directory the path would point at the root of the drive.
  if (moduleDir == nullptr || moduleDir[0] == '\0') return ERR_TOO_SMALL;
  const int n = snprintf(out, static_cast<size_t>(capacity), "%s%c%s%c%s", moduleDir, PATH_SEPARATOR, TEMP_DIR_NAME,
                         PATH_SEPARATOR, name);
  if (n < 0 || n >= capacity) {
    out[0] = '\0';
    return ERR_TOO_SMALL;
  }
  return STATUS_OK;
}

// Writes length bytes to a file of this process's own beside path (text mode when text), then
// renames it over path: the bytes written, or -1 (nothing left behind, path unchanged).
int ReplaceFileWith(const char* path, const void* data, int length, bool text) {
  char staged[kPathCapacity + 32] = {};
  if (!File_PrivateName(staged, sizeof staged, path, TABLE_STAGED_SUFFIX)) return -1;
  int written = -1;
  if (text) {
    written = File_WriteAll(staged, data, length);
  } else if (FILE* file = fopen(staged, "wb")) {
    written = File_Write(file, data, length);
    if (fclose(file) != 0) written = -1;
  }
  if (written != length || File_Replace(staged, path) != STATUS_OK) {
    _unlink(staged);
    return -1;
  }
  return written;
}

}  // namespace

int FetchedTablePath(const char* moduleDir, char* out, int capacity) {
  return FetchedFilePath(moduleDir, VERSION_TABLE_NAME, out, capacity);
}

int FetchedFilePath(const char* moduleDir, const char* name, char* out, int capacity) {
  char shared[kPathCapacity] = {};
  const int result = TempPath(moduleDir, name, shared, sizeof shared);
  if (result != STATUS_OK) {
    if (out != nullptr && capacity > 0) out[0] = '\0';
    return result;
  }
  return File_PrivateName(out, capacity, shared, TABLE_STAGED_SUFFIX) ? STATUS_OK : ERR_TOO_SMALL;
}

int WriteInstallRecord(const char* moduleDir, const char* fetchedPath) {
  char path[kPathCapacity] = {};
  if (moduleDir == nullptr || moduleDir[0] == '\0' || fetchedPath == nullptr || fetchedPath[0] == '\0') return 0;
  TextBuffer record;
  if (TextBuffer_Init(&record, kRecordCapacity, nullptr, nullptr) != STATUS_OK) {
    TextBuffer_Release(&record);
    return -1;  // the fetched table stays for the next attempt
  }
  // One byte beyond the largest table keeps a table of exactly that size terminated.
  char content[INSTALL_RECORD_MAX_TABLE + 1] = {};
  int result = 0;
  if (File_ReadAll(fetchedPath, content, INSTALL_RECORD_MAX_TABLE) >= 0) {
    File_Remove(fetchedPath);
    DropDetachedSignature(moduleDir);
    char stamp[kStampCapacity] = {};
    Time_Format(stamp, INSTALL_STAMP_FORMAT, -1, sizeof stamp);
    result = -1;
    if (TextBuffer_AppendFormat(&record, "%s\r\n", content) == STATUS_OK &&
        TextBuffer_AppendFormat(&record, "%s\r\n", stamp) == STATUS_OK &&
        TextBuffer_AppendFormat(&record, "%s\r\n", INSTALL_DESCRIPTION_LINE) == STATUS_OK &&
        Path_Join(path, sizeof path, moduleDir, VERSION_TABLE_NAME)) {
      result = ReplaceFileWith(path, record.data, record.length, true);
    }
  }
  TextBuffer_Release(&record);
  return result;
}

int DiscardFetchedTable(const char* fetchedPath) {
  if (fetchedPath == nullptr || fetchedPath[0] == '\0') return ERR_NO_FILE;
  return File_Remove(fetchedPath);
}

int CurrentTablePath(const char* moduleDir, char* out, int capacity) {
  return TempPath(moduleDir, CURRENT_TABLE_NAME, out, capacity);
}

int RecordCurrentTable(const char* moduleDir, const char* fetchedPath) {
  char table[INSTALL_RECORD_MAX_TABLE];
  char path[kPathCapacity] = {};
  if (CurrentTablePath(moduleDir, path, sizeof path) != STATUS_OK) return ERR_NO_FILE;
  const int length = File_ReadAll(fetchedPath, table, sizeof table);
  if (length < 0) return length;
  return ReplaceFileWith(path, table, length, false) == length ? STATUS_OK : ERR_NO_FILE;
}

void ForgetCurrentTable(const char* moduleDir) {
  char path[kPathCapacity] = {};
  if (CurrentTablePath(moduleDir, path, sizeof path) == STATUS_OK) File_Remove(path);
}

bool IsCurrentTable(const char* moduleDir, const char* fetchedPath) {
  char fetched[INSTALL_RECORD_MAX_TABLE];
  char current[INSTALL_RECORD_MAX_TABLE];
  char path[kPathCapacity] = {};
  if (CurrentTablePath(moduleDir, path, sizeof path) != STATUS_OK) return false;
  const int fetchedLength = File_ReadAll(fetchedPath, fetched, sizeof fetched);
  const int currentLength = File_ReadAll(path, current, sizeof current);
  return fetchedLength >= 0 && fetchedLength == currentLength &&
         memcmp(fetched, current, static_cast<size_t>(fetchedLength)) == 0;
}
