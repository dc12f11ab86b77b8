// The module update: fetch the gateway's version table, compare it with the local one, and fetch
// and unpack every module file that is missing or out of date.
#include <stdio.h>
#include <string.h>

#include "command/result_string.h"
#include "command/zavavodur.h"
#include "modules/http_client.h"
#include "modules/install_location.h"
#include "modules/install_record.h"
#include "modules/update_driver.h"
#include "modules/version_table.h"
#include "support/field_store.h"
#include "support/status.h"

namespace {

constexpr int kUrlCapacity = 128;
constexpr int kPathCapacity = 256;
constexpr char kTablePath[] = "plugin/file";

bool MustFetch(const FileEntry& entry) { return entry.description_number == 0 && entry.needs_update == 1; }

// A file name from the network must name a file inside the module directory.
bool IsPlainFileName(const char* name) { return name[0] != '\0' && IsPlainDirName(name); }

}  // namespace

int ZAVavodur::UpdateModules(FileEntry* table) {
  FileEntry remote[FILE_TABLE_MAX_ENTRIES] = {};
  FileEntry local[FILE_TABLE_MAX_ENTRIES] = {};
  char updateAddr[kUrlCapacity] = {};
  char tableUrl[kUrlCapacity] = {};
  char checkText[kUrlCapacity] = {};
  char pathA[kPathCapacity] = {};
  char pathB[kPathCapacity] = {};
  bool tableFetched = false;
  int result = STATUS_OK;

  if (m_moduleDir[0] == '\0' || FetchedTablePath(m_moduleDir, pathA, sizeof pathA) != STATUS_OK ||
      !Path_Join(pathB, sizeof pathB, m_moduleDir, VERSION_TABLE_NAME)) {
    // No usable module directory (MV_init refused the name): nothing may be fetched.
    result = ERR_NO_FILE;
  } else if (FieldStore_GetField(&m_store, FIELD_DELIMITER, "Config", "update_addr", updateAddr,
                                 sizeof updateAddr) != STATUS_OK) {
    result = STATUS_NOT_FOUND;
  } else {
    // Both texts are cut to 127 characters, as their buffers are.
    const int urlLen = snprintf(tableUrl, sizeof tableUrl, "%s/%s/%s", m_gwBaseUrl, kTablePath, VERSION_TABLE_NAME);
    const int checkLen = snprintf(checkText, sizeof checkText, "%s/%s", updateAddr, VERSION_TABLE_NAME);
    if (urlLen < 0 || checkLen < 0) tableUrl[0] = checkText[0] = '\0';
    if (strcmp(tableUrl, checkText) != 0) result = ERR_UPDATE_ADDRESS;
  }
  if (result == STATUS_OK) {
    tableFetched = true;
    result = DownloadTableFile(tableUrl, pathA);
  }
  if (result == STATUS_OK) {
    const int remoteCount = ReadVersionTable(pathA, remote);
    const int localCount = ReadVersionTable(pathB, local);
    CompareFileLists(remote, remoteCount, local, localCount, table);
    if (remoteCount < 1) return STATUS_OK;
    // Names come from the network: refuse the whole run before anything is written.
    for (int i = 0; i < remoteCount && result == STATUS_OK; ++i) {
      if (MustFetch(table[i]) && !IsPlainFileName(table[i].file_name)) result = ERR_UNSAFE_FILE_NAME;
    }
    for (int i = 0; i < remoteCount && result == STATUS_OK; ++i) {
      FileEntry& entry = table[i];
      if (!MustFetch(entry)) continue;
      if (!Path_Join(pathA, sizeof pathA, m_moduleDir, entry.file_name, ".gz") ||
          !Path_Join(pathB, sizeof pathB, m_moduleDir, entry.file_name)) {
        result = ERR_NO_FILE;
        break;
      }
      HttpDropCachedUrl(entry.url);
      result = HttpGetToFile(entry.url, pathA, pathB);
      if (result == STATUS_OK) entry.needs_update = 0;
    }
  }
  if (result != STATUS_OK) {
    FormatResult(RESULT_CODE_UPDATE_FAILED, RESULT_MSG_UPDATE_FAILED, m_result, sizeof m_result);
    // A failed run must not be recorded as installed by MV_clean.
    if (tableFetched) DiscardFetchedTable(m_moduleDir);
  }
  return result;
}
