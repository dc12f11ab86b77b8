// The module update: fetch the gateway's version table, compare it with the local one, and fetch
// and install every module file that is missing or out of date. Every process and every command
// object that pays with one module directory runs it under the directory's lock, with file names of
// its own.
#include <stdio.h>
#include <string.h>

#include "command/result_string.h"
#include "command/zavavodur.h"
#include "modules/http_client.h"
#include "modules/install_location.h"
#include "modules/install_record.h"
#include "modules/release_check.h"
#include "modules/update_driver.h"
#include "modules/version_table.h"
#include "support/field_store.h"
#include "support/crt.h"
#include "support/file_util.h"
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

// Names come from the network: the whole run is refused before anything is written, also when a
// path made for a file would not fit.
int CheckFileNames(const FileEntry* table, int count, const char* moduleDir) {
  const int dirLength = static_cast<int>(strlen(moduleDir));
  for (int i = 0; i < count; ++i) {
    if (!MustFetch(table[i])) continue;
    if (!IsPlainFileName(table[i].file_name)) return ERR_UNSAFE_FILE_NAME;
    if (ModuleFile_LongestPath(dirLength, table[i].file_name) >= MODULE_PATH_CAPACITY) return ERR_NO_FILE;
  }
  return STATUS_OK;
}

// A signed release (a release key is built in): the table's detached signature, fetched from beside
// it, must be valid under the key, and its serial no lower than the installed table's.
int CheckSignedTable(const char* tableUrl, const char* fetchedTable, const char* localTable, const HttpLimits& limits) {
  char signatureUrl[kUrlCapacity + sizeof RELEASE_SIGNATURE_SUFFIX] = {};
  char signaturePath[kPathCapacity + sizeof RELEASE_SIGNATURE_SUFFIX] = {};
  snprintf(signatureUrl, sizeof signatureUrl, "%s%s", tableUrl, RELEASE_SIGNATURE_SUFFIX);
  snprintf(signaturePath, sizeof signaturePath, "%s%s", fetchedTable, RELEASE_SIGNATURE_SUFFIX);
  HttpLimits signatureLimits = limits;
  signatureLimits.maxBodyBytes = RELEASE_SIGNATURE_MAX;
  int result = DownloadTableFile(signatureUrl, signaturePath, signatureLimits);
  if (result == STATUS_OK) result = Release_VerifyTable(fetchedTable, signaturePath);
  if (result == STATUS_OK) result = Release_CheckSerial(fetchedTable, localTable);
  // A good signature stays beside the table: the modules are checked against it again before they
  // are loaded, and MV_clean installs it with the table. DiscardFetchedTable removes it otherwise.
  return result;
}

// Fetches one module file and puts it in place of the installed one: body fetched in full, unpacked
// beside the installed file, renamed over it. In a signed release (signedTable not null) the body
// may be no longer than the size the table lists, and must have exactly that size and SHA-256
// before it is unpacked.
int FetchModule(const char* moduleDir, FileEntry* entry, const HttpLimits& limits, const char* signedTable) {
  char compressedPath[kPathCapacity] = {};
  char installedPath[kPathCapacity] = {};
  if (!Path_Join(installedPath, sizeof installedPath, moduleDir, entry->file_name) ||
      !File_PrivateName(compressedPath, sizeof compressedPath, installedPath, HTTP_COMPRESSED_SUFFIX)) {
    return ERR_NO_FILE;
  }
  ReleaseFileCheck check = {};
  HttpLimits fileLimits = limits;
  if (signedTable != nullptr) {
    if (Release_ReadFileCheck(signedTable, entry->file_name, &check) != STATUS_OK) return ERR_RELEASE_FILE;
    if (check.size < fileLimits.maxBodyBytes) fileLimits.maxBodyBytes = check.size;
  }
  HttpDropCachedUrl(entry->url);
  int result = HttpFetchBody(entry->url, compressedPath, fileLimits);
  if (result == STATUS_OK && signedTable != nullptr && Release_CheckFile(compressedPath, &check) != STATUS_OK) {
    File_Remove(compressedPath);
    result = ERR_RELEASE_FILE;
  }
  if (result == STATUS_OK) result = Http_InstallBody(compressedPath, installedPath);
  if (result == STATUS_OK) entry->needs_update = 0;
  return result;
}

// Removes what killed or ended runs left in one folder: private files whose process no longer
// runs, and modules moved aside (removing one still loaded somewhere fails; a later run tries again).
void SweepFolder(const char* dir) {
  struct Sweep {
    const char* dir;
    static void Visit(const char* name, void* context) {
      unsigned long owner = 0;
      if (!File_PrivateNameOwner(name, &owner)) return;
      const size_t length = strlen(name);
      const bool aside = length > 4 && strcmp(name + length - 4, HTTP_ASIDE_SUFFIX) == 0;
      if (!aside && (owner == Process_Id() || Process_IsRunning(owner))) return;
      char path[kPathCapacity] = {};
      if (Path_Join(path, sizeof path, static_cast<Sweep*>(context)->dir, name)) File_Remove(path);
    }
  } sweep = {dir};
  File_ListDir(dir, Sweep::Visit, &sweep);
}

void SweepStaleFiles(const char* moduleDir) {
  char temp[kPathCapacity] = {};
  SweepFolder(moduleDir);
  if (Path_Join(temp, sizeof temp, moduleDir, TEMP_DIR_NAME)) SweepFolder(temp);
}

}  // namespace

void ZAVavodur::ReleaseUpdateLock() { DirLock_Release(&m_updateLock); }

int ZAVavodur::UpdateModules(FileEntry* table) {
  FileEntry remote[FILE_TABLE_MAX_ENTRIES] = {};
  FileEntry local[FILE_TABLE_MAX_ENTRIES] = {};
  char tableUrl[kUrlCapacity] = {};
  char localPath[kPathCapacity] = {};
  char currentPath[kPathCapacity] = {};
  const bool releaseSigned = Release_KeyBuiltIn();
  bool tableFetched = false;
  bool waited = false;
  int result = STATUS_OK;
  m_updateSucceeded = false;
  ReleaseUpdateLock();
  DiscardFetchedTable(m_fetchedTable);
  m_fetchedTable[0] = '\0';

  if (m_moduleDir[0] == '\0' || !Path_Join(localPath, sizeof localPath, m_moduleDir, VERSION_TABLE_NAME) ||
      CurrentTablePath(m_moduleDir, currentPath, sizeof currentPath) != STATUS_OK) {
    // No usable module directory (MV_init refused the name): nothing may be fetched.
    result = ERR_NO_FILE;
  } else {
    result = CheckUpdateAddress(&m_store, m_gwBaseUrl, tableUrl, sizeof tableUrl);
  }
  // One update at a time per module directory; the lock is kept until the modules are loaded.
  if (result == STATUS_OK) result = DirLock_Take(&m_updateLock, m_moduleDir, m_lockWaitMs, &waited);
  if (result == STATUS_OK) {
    SweepStaleFiles(m_moduleDir);
    result = FetchedTablePath(m_moduleDir, m_fetchedTable, sizeof m_fetchedTable);
  }
  if (result == STATUS_OK) {
    tableFetched = true;
    result = DownloadTableFile(tableUrl, m_fetchedTable, m_netLimits);
    if (result == STATUS_OK && releaseSigned) result = CheckSignedTable(tableUrl, m_fetchedTable, localPath, m_netLimits);
  }
  if (result == STATUS_OK) {
    const int remoteCount = ReadVersionTable(m_fetchedTable, remote);
    // A run that waited compares with what the run before it left (the current table), which the
    // installed table may not show yet: its process installs it only at MV_clean.
    const bool afterAnother = waited && _access(currentPath, 0) == 0;
    const int localCount = ReadVersionTable(afterAnother ? currentPath : localPath, local);
    CompareFileLists(remote, remoteCount, local, localCount, table);
    result = CheckFileNames(table, remoteCount, m_moduleDir);
    bool changing = false;
    for (int i = 0; i < remoteCount && result == STATUS_OK; ++i) {
      if (!MustFetch(table[i])) continue;
      if (!changing) ForgetCurrentTable(m_moduleDir);  // the files are about to change
      changing = true;
      result = FetchModule(m_moduleDir, &table[i], m_netLimits, releaseSigned ? m_fetchedTable : nullptr);
    }
    if (result == STATUS_OK && (changing || !IsCurrentTable(m_moduleDir, m_fetchedTable))) {
      result = RecordCurrentTable(m_moduleDir, m_fetchedTable);  // a run without it is not done
    }
  }
  if (result != STATUS_OK) {
    FormatResult(RESULT_CODE_UPDATE_FAILED, RESULT_MSG_UPDATE_FAILED, m_result, sizeof m_result);
    // A failed run must not be recorded as installed by MV_clean.
    if (tableFetched) DiscardFetchedTable(m_fetchedTable);
    m_fetchedTable[0] = '\0';
    ReleaseUpdateLock();
    return result;
  }
  m_updateSucceeded = true;
  return STATUS_OK;
}
