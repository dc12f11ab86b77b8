// The module update: fetch the gateway's version table, compare it with the local one, and fetch
// and install every module file that is missing or out of date.
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
constexpr int kPathCapacity = HTTP_PATH_CAPACITY;
constexpr char kTablePath[] = "plugin/file";

bool MustFetch(const FileEntry& entry) { return entry.description_number == 0 && entry.needs_update == 1; }

// A file name from the network must name a file inside the module directory, and no device.
bool IsPlainFileName(const char* name) { return name[0] != '\0' && IsPlainDirName(name); }

// The table URL made from the gateway base URL must equal the one made from "update_addr": 0,
// STATUS_NOT_FOUND (no "update_addr") or ERR_UPDATE_ADDRESS.
int CheckUpdateAddress(FieldStore* store, const char* gwBaseUrl, char* tableUrl, int capacity) {
  char updateAddr[kUrlCapacity] = {};
  char checkText[kUrlCapacity] = {};
  if (FieldStore_GetField(store, FIELD_DELIMITER, "Config", "update_addr", updateAddr, sizeof updateAddr) != STATUS_OK) {
    return STATUS_NOT_FOUND;
  }
  // Both texts are cut to 127 characters, as their buffers are.
  const int urlLen = snprintf(tableUrl, static_cast<size_t>(capacity), "%s/%s/%s", gwBaseUrl, kTablePath, VERSION_TABLE_NAME);
  const int checkLen = snprintf(checkText, sizeof checkText, "%s/%s", updateAddr, VERSION_TABLE_NAME);
  if (urlLen < 0 || checkLen < 0) tableUrl[0] = checkText[0] = '\0';
  if (strcmp(tableUrl, checkText) != 0) return ERR_UPDATE_ADDRESS;
  return STATUS_OK;
}

// Names come from the network: the whole run is refused before anything is written.
int CheckFileNames(const FileEntry* table, int count) {
  for (int i = 0; i < count; ++i) {
    if (MustFetch(table[i]) && !IsPlainFileName(table[i].file_name)) return ERR_UNSAFE_FILE_NAME;
  }
  return STATUS_OK;
}

// Fetches one module file and puts it in place of the installed one (HttpGetToFile: body fetched in
// full, unpacked beside the installed file, renamed over it).
int FetchModule(const char* moduleDir, FileEntry* entry, const HttpLimits& limits) {
  char compressedPath[kPathCapacity] = {};
  char installedPath[kPathCapacity] = {};
  if (!Path_Join(compressedPath, sizeof compressedPath, moduleDir, entry->file_name, ".gz") ||
      !Path_Join(installedPath, sizeof installedPath, moduleDir, entry->file_name)) {
    return ERR_NO_FILE;
  }
  HttpDropCachedUrl(entry->url);
  const int result = HttpGetToFile(entry->url, compressedPath, installedPath, limits);
  if (result == STATUS_OK) entry->needs_update = 0;
  return result;
}

}  // namespace

int ZAVavodur::UpdateModules(FileEntry* table) {
  FileEntry remote[FILE_TABLE_MAX_ENTRIES] = {};
  FileEntry local[FILE_TABLE_MAX_ENTRIES] = {};
  char tableUrl[kUrlCapacity] = {};
  char fetchedPath[kPathCapacity] = {};
  char localPath[kPathCapacity] = {};
  bool tableFetched = false;
  int result = STATUS_OK;
  m_updateSucceeded = false;

  if (m_moduleDir[0] == '\0' || FetchedTablePath(m_moduleDir, fetchedPath, sizeof fetchedPath) != STATUS_OK ||
      !Path_Join(localPath, sizeof localPath, m_moduleDir, VERSION_TABLE_NAME)) {
    // No usable module directory (MV_init refused the name): nothing may be fetched.
    result = ERR_NO_FILE;
  } else {
    result = CheckUpdateAddress(&m_store, m_gwBaseUrl, tableUrl, sizeof tableUrl);
  }
  if (result == STATUS_OK) {
    tableFetched = true;
    result = DownloadTableFile(tableUrl, fetchedPath, m_netLimits);
  }
  if (result == STATUS_OK) {
    const int remoteCount = ReadVersionTable(fetchedPath, remote);
    const int localCount = ReadVersionTable(localPath, local);
    CompareFileLists(remote, remoteCount, local, localCount, table);
    result = CheckFileNames(table, remoteCount);
    for (int i = 0; i < remoteCount && result == STATUS_OK; ++i) {
      if (MustFetch(table[i])) result = FetchModule(m_moduleDir, &table[i], m_netLimits);
    }
  }
  if (result != STATUS_OK) {
    FormatResult(RESULT_CODE_UPDATE_FAILED, RESULT_MSG_UPDATE_FAILED, m_result, sizeof m_result);
    // A failed run must not be recorded as installed by MV_clean.
    if (tableFetched) DiscardFetchedTable(m_moduleDir);
    return result;
  }
  m_updateSucceeded = true;
  return STATUS_OK;
}
