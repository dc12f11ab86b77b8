// The data commands: MV_init, MV_setdata, MV_getdata, MV_clean, and the command object's wrappers
// around module management on its own areas.
#include <string.h>

#include "command/payment_field.h"
#include "command/zavavodur.h"
#include "modules/browser_prefs.h"
#include "modules/install_record.h"
#include "modules/version_table.h"
#include "support/field_store.h"
#include "support/status.h"
#include "support/string_util.h"

namespace {

constexpr int kNameCapacity = PAYMENT_NAME_CAPACITY;    // keys
constexpr int kValueCapacity = PAYMENT_VALUE_CAPACITY;  // values and the copy of the result area

}  // namespace

void ZAVavodur::OnInit(const char* name) {
  // A payment started again without MV_clean still owns its field store: release it before the
  // clearing loses the pointers. (The object is built with an empty store, so this is always safe.)
  FieldStore_Free(&m_store);
  memset(m_fileTable, 0, sizeof m_fileTable);
  memset(&m_store, 0, sizeof m_store);
  memset(m_result, 0, sizeof m_result);
  m_updateSucceeded = false;
  m_fieldRefused = false;
  DiscardFetchedTable(m_fetchedTable);  // a payment started again without MV_clean
  m_fetchedTable[0] = '\0';
  FieldStore_Init(&m_store);
  PrepareModuleDir(name);
}

int ZAVavodur::OnClean() {
  // Free before clearing: the clearing would lose the pointers.
  FieldStore_Free(&m_store);
  memset(m_fileTable, 0, sizeof m_fileTable);
  memset(&m_store, 0, sizeof m_store);
  memset(m_result, 0, sizeof m_result);
  m_fieldRefused = false;
  // Only a table this object's last run fetched in full, with every module it needed, is installed;
  // files other runs left in temp are not this object's and are never installed.
  const bool install = m_updateSucceeded;
  m_updateSucceeded = false;
  const int result = install ? WriteInstallRecord() : 0;
  DiscardFetchedTable(m_fetchedTable);
  m_fetchedTable[0] = '\0';
  return result;
}

int ZAVavodur::OnSetData(const char* section, const char* key, const char* value) {
  if (section == nullptr || key == nullptr || value == nullptr) return 1;
  // A field that would not read back as given is stored nowhere, and its payment may not start:
  // the main module would run without it.
  if (PaymentField_Store(&m_store, section, key, value) > 0) {
    m_fieldRefused = true;
    return 1;
  }
  return 0;
}

int ZAVavodur::OnGetData(const char* key, char* out) {
  char keyBuf[kNameCapacity] = {};
  char resultCopy[kValueCapacity] = {};
  char value[kValueCapacity] = {};
  if (key != nullptr) {
    String_CopyCut(resultCopy, m_result, kValueCapacity - 1, COPY_TRIM);
    String_CopyCut(keyBuf, key, kNameCapacity - 1, COPY_TRIM);
    if (FieldText_GetValue(resultCopy, keyBuf, FIELD_DELIMITER, value, kValueCapacity) != 0) return 0;
  }
  // The script result holds 2047 characters: a longer value is cut at a character boundary.
  String_CopyCut(out, value, SCRIPT_TEXT_CAPACITY - 1, 0);
  return 0;
}

int ZAVavodur::OnChkFirefox(char* out) { return CheckFirefoxPrefs(out, SCRIPT_TEXT_CAPACITY); }

void ZAVavodur::PrepareModuleDir(const char* name) { ::PrepareModuleDir(name, m_moduleDir, sizeof m_moduleDir); }

int ZAVavodur::CompareFileLists(const FileEntry* remote, int remoteCount, const FileEntry* local, int localCount,
                                FileEntry* out) {
  return ::CompareFileLists(remote, remoteCount, local, localCount, out, m_moduleDir, m_gwBaseUrl);
}

// Under the module directory's lock, and only while the module files are still the ones this
// object's run left (the current table is its table): a later run of another process may have
// installed other modules since, and its table, not this one, describes them.
int ZAVavodur::WriteInstallRecord() {
  DirLock lock = {0};
  bool waited = false;
  int result = 0;
  if (DirLock_Take(&lock, m_moduleDir, m_lockWaitMs, &waited) == STATUS_OK) {
    if (IsCurrentTable(m_moduleDir, m_fetchedTable)) result = ::WriteInstallRecord(m_moduleDir, m_fetchedTable);
    DirLock_Release(&lock);
  }
  return result;
}
