// MV_start: check the page's origin, choose the gateway, bring the modules up to date, load the
// control module and the main module (each checked against the signed table first, in a signed
// release), and hand the payment to the main module's "LoadMainDLL".
#include <string.h>

#include "command/page_origin.h"
#include "command/result_string.h"
#include "command/zavavodur.h"
#include "modules/gateway_config.h"
#include "modules/install_location.h"
#include "modules/install_record.h"
#include "modules/module_loader.h"
#include "modules/release_check.h"
#include "shell/browser_gateway.h"
#include "support/file_util.h"
#include "support/field_store.h"
#include "support/string_util.h"

namespace {

constexpr const char* kControlModule = CONTROL_MODULE_NAME;
constexpr const char* kMainModule = MAIN_MODULE_NAME;
constexpr char kMainEntryName[] = "LoadMainDLL";
const char* const kModules[] = {kControlModule, kMainModule};
constexpr int kSettingCapacity = 128;
constexpr int kModulePathCapacity = 256;

// The main module's entry: module directory, module file table, store block; 0 means success.
using MainEntry = int (*)(const char* moduleDir, FileEntry* fileTable, void* storeBlock);

// Reads a property of object into value (released by the caller); false when there is none.
bool ReadProperty(NPP npp, NPObject* object, const char* name, NPVariant* value) {
  VOID_TO_NPVARIANT(*value);
  return NPN_GetProperty(npp, object, NPN_GetStringIdentifier(name), value);
}

// The origin of window.location.href of npp's page, read through the browser: false when there is
// no window, no location object, no href string, or no http(s) origin.
bool ReadPageOrigin(NPP npp, char* out, int capacity) {
  out[0] = '\0';
  NPObject* window = nullptr;
  if (NPN_GetValue(npp, NPNVWindowNPObject, &window) != NPERR_NO_ERROR || window == nullptr) return false;
  bool found = false;
  NPVariant location;
  if (ReadProperty(npp, window, "location", &location)) {
    NPVariant href;
    if (location.type == NPVariantType_Object && location.value.objectValue != nullptr &&
        ReadProperty(npp, location.value.objectValue, "href", &href)) {
      if (href.type == NPVariantType_String) {
        const NPString& text = href.value.stringValue;
        found = PageOrigin_FromUrl(text.UTF8Characters, static_cast<int>(text.UTF8Length), out, capacity);
      }
      NPN_ReleaseVariantValue(&href);
    }
    NPN_ReleaseVariantValue(&location);
  }
  NPN_ReleaseObject(window);
  return found;
}

// Only pages of the build's listed origins may start a payment (an empty list: any page).
bool PageMayPay(NPP npp) {
  if (GATEWAY_PAGE_ORIGINS[0] == '\0') return true;
  char origin[PAGE_ORIGIN_CAPACITY] = {};
  return ReadPageOrigin(npp, origin, sizeof origin) && PageOrigin_Listed(origin, GATEWAY_PAGE_ORIGINS);
}

// Loads dir + separator + name; a path that does not fit the 256-character buffer is not loaded.
ModuleHandle LoadModuleFrom(const char* dir, const char* name) {
  char path[kModulePathCapacity] = {};
  return Path_Join(path, sizeof path, dir, name) ? Module_Load(path) : nullptr;
}

// A signed release: the table this object fetched and verified (the one MV_clean installs) must
// still match its signature, and each module the size and SHA-256 it lists for it as installed. A module
// that differs is removed, so that the next update fetches it again. True when all match.
bool ModulesMatchSignedTable(const char* dir, const char* table) {
  if (table[0] == '\0' || Release_VerifyTableIn(dir, table) != 0) return false;
  bool match = true;
  for (const char* name : kModules) {
    char path[kModulePathCapacity] = {};
    ReleaseFileCheck check = {};
    if (!Path_Join(path, sizeof path, dir, name) || Release_ReadInstalledCheck(table, name, &check) != 0) return false;
    if (Release_CheckFile(path, &check) != 0) {
      File_Remove(path);
      match = false;
    }
  }
  if (!match) ForgetCurrentTable(dir);  // the files are no longer the release's
  return match;
}

}  // namespace

int ZAVavodur::OnStart(char* out) {
  char setting[kSettingCapacity] = {};
  ModuleHandle control = nullptr;
  ModuleHandle mainModule = nullptr;
  const char* outcome = "FAIL";

  if (!PageMayPay(npp)) {
    FormatResult(RESULT_CODE_PAGE_REFUSED, RESULT_MSG_PAGE_REFUSED, m_result, sizeof m_result);
  } else if (m_fieldRefused) {
    FormatResult(RESULT_CODE_FIELD_REFUSED, RESULT_MSG_FIELD_REFUSED, m_result, sizeof m_result);
  } else if (FieldStore_GetField(&m_store, FIELD_DELIMITER, "Config", "gw_url", setting, sizeof setting) != 0) {
    FormatResult(RESULT_CODE_UPDATE_FAILED, RESULT_MSG_UPDATE_FAILED, m_result, sizeof m_result);
  } else {
    const bool production = strcmp(setting, GATEWAY_PRODUCTION_HOST) == 0;
    String_Copy(m_gwBaseUrl, production ? GATEWAY_PRODUCTION_URL : GATEWAY_TEST_URL,
                sizeof m_gwBaseUrl - 1, COPY_TRIM);
    if (UpdateModules(m_fileTable) == 0) {
      // Nothing is loaded unless every module is the one the signed release lists; the check and the
      // loads run under the update lock, so no other process replaces a file in between.
      if (!Release_KeyBuiltIn() || ModulesMatchSignedTable(m_moduleDir, m_fetchedTable)) {
        control = LoadModuleFrom(m_moduleDir, kControlModule);
        if (control != nullptr) mainModule = LoadModuleFrom(m_moduleDir, kMainModule);
      }
      ReleaseUpdateLock();  // loaded: other processes may update the files while this one pays
      const MainEntry entry =
          mainModule != nullptr ? reinterpret_cast<MainEntry>(Module_Find(mainModule, kMainEntryName)) : nullptr;
      if (entry == nullptr) {
        FormatResult(RESULT_CODE_LOAD_FAILED, RESULT_MSG_LOAD_FAILED, m_result, sizeof m_result);
      } else {
        outcome = entry(m_moduleDir, m_fileTable, storeBlock()) == 0 ? "SUCC" : "FAIL";
      }
    }
  }
  strcpy(out, outcome);
  Module_Unload(control);
  Module_Unload(mainModule);
  return 0;
}
