// MV_start: choose the gateway, bring the modules up to date, load the control module and the main
// module, and hand the payment to the main module's "LoadMainDLL".
#include <string.h>

#include "command/result_string.h"
#include "command/zavavodur.h"
#include "modules/gateway_config.h"
#include "modules/install_location.h"
#include "modules/module_loader.h"
#include "support/field_store.h"
#include "support/string_util.h"

namespace {

constexpr char kControlModule[] = "MVcontrol70.dll";
constexpr char kMainModule[] = "MVmainUI70.dll";
constexpr char kMainEntryName[] = "LoadMainDLL";
constexpr int kSettingCapacity = 128;
constexpr int kModulePathCapacity = 256;

// The main module's entry: module directory, module file table, store block; 0 means success.
using MainEntry = int (*)(const char* moduleDir, FileEntry* fileTable, void* storeBlock);

// Loads dir + separator + name; a path that does not fit the 256-character buffer is not loaded.
ModuleHandle LoadModuleFrom(const char* dir, const char* name) {
  char path[kModulePathCapacity] = {};
  return Path_Join(path, sizeof path, dir, name) ? Module_Load(path) : nullptr;
}

}  // namespace

int ZAVavodur::OnStart(char* out) {
  char setting[kSettingCapacity] = {};
  ModuleHandle control = nullptr;
  ModuleHandle mainModule = nullptr;
  const char* outcome = "FAIL";

  if (FieldStore_GetField(&m_store, FIELD_DELIMITER, "Config", "gw_url", setting, sizeof setting) != 0) {
    FormatResult(RESULT_CODE_UPDATE_FAILED, RESULT_MSG_UPDATE_FAILED, m_result, sizeof m_result);
  } else {
    const bool production = strcmp(setting, GATEWAY_PRODUCTION_HOST) == 0;
    String_Copy(m_gwBaseUrl, production ? GATEWAY_PRODUCTION_URL : GATEWAY_TEST_URL,
                sizeof m_gwBaseUrl - 1, COPY_TRIM);
    if (UpdateModules(m_fileTable) == 0) {
      control = LoadModuleFrom(m_moduleDir, kControlModule);
      if (control != nullptr) mainModule = LoadModuleFrom(m_moduleDir, kMainModule);
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
