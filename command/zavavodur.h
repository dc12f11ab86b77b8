// The command object page script drives: six methods, each reaching one handler with its
// arguments converted from UTF-8 to the ANSI code page, and string results converted back.
// It owns the whole state of one payment in fixed areas.
#pragma once

#include "command/result_string.h"
#include "modules/file_entry.h"
#include "modules/http_client.h"
#include "modules/install_location.h"
#include "npapi/npapi.h"
#include "shell/script_object.h"
#include "support/field_store.h"
#include "support/file_util.h"

constexpr int SCRIPT_TEXT_CAPACITY = 2048;  // one script argument or result, terminator included
constexpr int GW_URL_CAPACITY = 128;
constexpr int SCRIPT_ARG_SLOTS = 3;  // no method takes more arguments; later ones are ignored

// Positions of the method names in m_methodIds.
enum CommandMethod {
  METHOD_INIT,
  METHOD_CLEAN,
  METHOD_START,
  METHOD_GETDATA,
  METHOD_SETDATA,
  METHOD_CHKFIREFOX,
  METHOD_COUNT
};

class ZAVavodur : public ScriptObjectBase {
 public:
  explicit ZAVavodur(NPP instance);
  ~ZAVavodur() override;

  bool hasMethod(NPIdentifier name) override;
  bool invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount, NPVariant* result) override;
  bool invokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result) override;
  bool hasProperty(NPIdentifier name) override;
  bool getProperty(NPIdentifier name, NPVariant* result) override;

  // Handlers. Text outputs go to the caller's SCRIPT_TEXT_CAPACITY-character result buffer.
  void OnInit(const char* name);
  int OnSetData(const char* section, const char* key, const char* value);
  int OnGetData(const char* key, char* out);
  int OnClean();
  int OnStart(char* out);
  int OnChkFirefox(char* out);

  // Module management on this object's areas.
  void PrepareModuleDir(const char* name);
  int UpdateModules(FileEntry* table);
  int CompareFileLists(const FileEntry* remote, int remoteCount, const FileEntry* local, int localCount,
                       FileEntry* out);
  int WriteInstallRecord();
  // Releases the module directory's lock that a successful UpdateModules keeps (MV_start does so
  // once both modules are loaded, before the main module runs).
  void ReleaseUpdateLock();

  // Writes the ANSI form of a string argument into a SCRIPT_TEXT_CAPACITY-character slot, cut at
  // a character boundary; an argument that is not a string reads as the empty text.
  static void ConvertArgument(const NPVariant& argument, char* slot);
  // Sets result to a browser-owned UTF-8 string made from the ANSI text (at most
  // SCRIPT_TEXT_CAPACITY - 1 characters of it are used). Leaves result void when the browser has no
  // memory for it.
  static void SetStringResult(const char* text, NPVariant* result);
  // Converts an ANSI text into UTF-8 in out (capacity bytes), cut at a character boundary.
  static int AnsiToUtf8(const char* text, char* out, int capacity);

  // The store block handed to the main payment module: m_store directly followed by m_result.
  void* storeBlock() { return &m_store; }

  NPIdentifier m_methodIds[METHOD_COUNT];
  FileEntry m_fileTable[FILE_TABLE_MAX_ENTRIES];
  FieldStore m_store;
  char m_result[RESULT_AREA_CAPACITY];
  char m_moduleDir[MODULE_DIR_CAPACITY];
  char m_gwBaseUrl[GW_URL_CAPACITY];
  // Install mark: this object's last update run succeeded, so MV_clean may install the table it
  // fetched. Cleared by MV_init, by the start of every run and by MV_clean.
  bool m_updateSucceeded;
  // Time limits of this object's downloads: the build's defaults (tests shorten them).
  HttpLimits m_netLimits;
  // The version table this object's last update run fetched, under a name of its own (empty when
  // there is none): the one MV_clean may install.
  char m_fetchedTable[HTTP_PATH_CAPACITY];
  // The module directory's lock while this object updates it; the longest wait for it.
  DirLock m_updateLock;
  int m_lockWaitMs;
  // A field of this payment was refused (MV_setdata): MV_start fails until MV_init or MV_clean.
  bool m_fieldRefused;
};
