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
#include "modules/release_trust.h"
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

// The trust files one run fetched (empty paths: none), kept beside the installed table once the
// run has succeeded.
struct FetchedTrust {
  char keyList[kPathCapacity];
  char root[kPathCapacity];
};

// Fetches the served trust file kind/number (beside the table) into path, made private to this
// run when it is still empty.
int FetchTrustFile(const char* gwBaseUrl, const char* moduleDir, const TrustFileName& kind, int number,
                   const char* keptName, char* path, const HttpLimits& limits) {
  char served[TRUST_SERVED_NAME_MAX] = {};
  char url[kUrlCapacity] = {};
  Trust_ServedName(kind, number, served);
  const int n = snprintf(url, sizeof url, "%s/%s/%s", gwBaseUrl, kTablePath, served);
  if (n < 0 || n >= static_cast<int>(sizeof url)) return ERR_NO_FILE;
  if (path[0] == '\0' && FetchedFilePath(moduleDir, keptName, path, kPathCapacity) != STATUS_OK) return ERR_NO_FILE;
  HttpLimits trustLimits = limits;
  trustLimits.maxBodyBytes = SIGNED_FILE_MAX;
  return DownloadTableFile(url, path, trustLimits);
}

// The key list the table names (version wanted), read into list: the kept one when it is that
// version, else fetched with each root record from the one in force up to the one it names. A kept
// key list that no longer verifies (a damaged file) is fetched again. 0, or the first failure.
int FindKeyList(const char* gwBaseUrl, const char* moduleDir, int wanted, int64_t now, ReleaseRoot* root,
                FetchedTrust* fetched, ReleaseKeyList* list, const HttpLimits& limits) {
  char kept[kPathCapacity] = {};
  if (!Path_Join(kept, sizeof kept, moduleDir, KEY_LIST_NAME)) return ERR_NO_FILE;
  const int keptVersion = Trust_KeyListVersion(kept);
  if (wanted < keptVersion) return ERR_RELEASE_KEY_LIST;  // revoked keys stay revoked
  if (wanted == keptVersion) {
    const int result = Trust_ReadKeyList(kept, *root, now, list);
    if (result != ERR_RELEASE_KEY_LIST) return result;
  }
  int result = FetchTrustFile(gwBaseUrl, moduleDir, KEY_LIST_SERVED, wanted, KEY_LIST_NAME, fetched->keyList, limits);
  if (result != STATUS_OK) return result;
  const int rootWanted = Trust_KeyListRoot(fetched->keyList);
  if (rootWanted - root->version > ROOT_CHAIN_STEPS_MAX) return ERR_RELEASE_ROOT;
  while (result == STATUS_OK && root->version < rootWanted) {
    result = FetchTrustFile(gwBaseUrl, moduleDir, ROOT_RECORD_SERVED, root->version + 1, ROOT_RECORD_NAME,
                            fetched->root, limits);
    if (result == STATUS_OK) result = Trust_FollowRoot(fetched->root, root);
  }
  if (result == STATUS_OK) result = Trust_ReadKeyList(fetched->keyList, *root, now, list);
  if (result == STATUS_OK && list->version != wanted) result = ERR_RELEASE_KEY_LIST;
  return result;
}

// A signed release (a root key is built in): the table must be signed by a release key of a valid
// key list of the version it names, not expired, and its serial no lower than the installed table's
// under the same key list. Fetches the key list (and root records) only when the table names a key
// list newer than the kept one.
int CheckSignedTable(const char* gwBaseUrl, const char* moduleDir, const char* fetchedTable, const char* localTable,
                     FetchedTrust* fetched, const HttpLimits& limits) {
  static ReleaseKeyList list;  // the plug-in's calls run one at a time on the browser's thread
  ReleaseRoot root = {};
  if (!Release_LoadRoot(moduleDir, &root)) return ERR_NO_FILE;
  const int wanted = Release_TableKeyList(fetchedTable);
  if (wanted < 1) return ERR_RELEASE_SIGNATURE;  // unsigned, or signed the old way
  const int64_t now = Release_Now();
  int result = FindKeyList(gwBaseUrl, moduleDir, wanted, now, &root, fetched, &list, limits);
  ReleaseTableInfo info = {};
  if (result == STATUS_OK) result = Release_VerifyTable(fetchedTable, list, now, &info);
  if (result == STATUS_OK) result = Release_CheckSerial(info, localTable);
  return result;
}

// Puts what FetchedTrust holds beside the installed table (the root first: the key list needs it),
// or only drops it.
void SettleFetchedTrust(const char* moduleDir, FetchedTrust* fetched, bool keep) {
  const struct {
    char* path;
    const char* name;
  } files[] = {{fetched->root, ROOT_RECORD_NAME}, {fetched->keyList, KEY_LIST_NAME}};
  for (const auto& f : files) {
    char kept[kPathCapacity] = {};
    if (f.path[0] == '\0') continue;
    if (!keep || !Path_Join(kept, sizeof kept, moduleDir, f.name) || File_Replace(f.path, kept) != STATUS_OK) {
      File_Remove(f.path);
    }
    f.path[0] = '\0';
  }
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
  FetchedTrust trust = {};
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
    if (result == STATUS_OK && releaseSigned) {
      result = CheckSignedTable(m_gwBaseUrl, m_moduleDir, m_fetchedTable, localPath, &trust, m_netLimits);
    }
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
  SettleFetchedTrust(m_moduleDir, &trust, result == STATUS_OK);
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
