#include "command/zavavodur.h"

#include <stdio.h>
#include <string.h>

#include "command/codepage.h"
#include "modules/install_record.h"
#include "modules/update_driver.h"
#include "shell/browser_gateway.h"
#include "support/string_util.h"

// m_store and m_result form one block for the main payment module: nothing may lie between them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(ZAVavodur, m_result) == offsetof(ZAVavodur, m_store) + sizeof(FieldStore),
              "m_result follows m_store directly");
#pragma GCC diagnostic pop

namespace {

const char* const METHOD_NAMES[METHOD_COUNT] = {"MV_init",    "MV_clean",   "MV_start",
                                                "MV_getdata", "MV_setdata", "MV_chkFirefox"};
const char DEFAULT_METHOD_LINE[] = "ZAVavodur default method called!\n";
const char DEFAULT_METHOD_VALUE[] = "FOO RETURN VALUE !3";
const uint32_t DEFAULT_METHOD_BLOCK = 32;

// True when a string argument carries a NUL inside: its handler would see only the text before it.
bool HasInnerNul(const NPVariant& argument) {
  if (argument.type != NPVariantType_String || argument.value.stringValue.UTF8Characters == nullptr) return false;
  const NPString& text = argument.value.stringValue;
  return memchr(text.UTF8Characters, '\0', text.UTF8Length) != nullptr;
}

}  // namespace

ZAVavodur::ZAVavodur(NPP instance) : ScriptObjectBase(instance) {
  for (int i = 0; i < METHOD_COUNT; ++i) m_methodIds[i] = NPN_GetStringIdentifier(METHOD_NAMES[i]);
  // Handlers may run before MV_init: every area starts empty.
  memset(m_fileTable, 0, sizeof m_fileTable);
  memset(&m_store, 0, sizeof m_store);
  memset(m_result, 0, sizeof m_result);
  memset(m_moduleDir, 0, sizeof m_moduleDir);
  memset(m_gwBaseUrl, 0, sizeof m_gwBaseUrl);
  m_updateSucceeded = false;
  m_netLimits = HTTP_DEFAULT_LIMITS;
  memset(m_fetchedTable, 0, sizeof m_fetchedTable);
  m_updateLock = DirLock{0};
  m_lockWaitMs = UPDATE_LOCK_WAIT_MS;
  m_fieldRefused = false;
  FieldStore_Init(&m_store);
}

// A store that MV_clean never emptied still owns heap blocks; they go with the object, and so does
// a fetched table that was never installed.
ZAVavodur::~ZAVavodur() {
  FieldStore_Free(&m_store);
  ReleaseUpdateLock();
  DiscardFetchedTable(m_fetchedTable);
}

bool ZAVavodur::hasMethod(NPIdentifier name) {
  for (NPIdentifier id : m_methodIds) {
    if (id == name) return true;
  }
  return false;
}

bool ZAVavodur::invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount, NPVariant* result) {
  bool status = true;
  char resultBuffer[SCRIPT_TEXT_CAPACITY];
  char slots[SCRIPT_ARG_SLOTS][SCRIPT_TEXT_CAPACITY];
  memset(resultBuffer, 0, sizeof resultBuffer);
  memset(slots, 0, sizeof slots);

  if (!hasMethod(name)) {
    if (result != nullptr) VOID_TO_NPVARIANT(*result);
    return false;
  }
  for (uint32_t i = 0; i < argCount && i < SCRIPT_ARG_SLOTS && args != nullptr; ++i) {
    ConvertArgument(args[i], slots[i]);
  }

  if (name == m_methodIds[METHOD_INIT]) {
    OnInit(slots[0]);
    return status;
  }
  if (name == m_methodIds[METHOD_GETDATA]) {
    OnGetData(slots[0], resultBuffer);
  } else if (name == m_methodIds[METHOD_SETDATA]) {
    // A field with a NUL inside would be stored cut short: refused like one that forges a record.
    bool cut = false;
    for (uint32_t i = 0; i < argCount && i < SCRIPT_ARG_SLOTS && args != nullptr; ++i) {
      cut = cut || HasInnerNul(args[i]);
    }
    if (cut) {
      m_fieldRefused = true;
    } else {
      OnSetData(slots[0], slots[1], slots[2]);
    }
    return true;
  } else if (name == m_methodIds[METHOD_CLEAN]) {
    OnClean();
    return true;
  } else if (name == m_methodIds[METHOD_START]) {
    OnStart(resultBuffer);
  } else if (name == m_methodIds[METHOD_CHKFIREFOX]) {
    OnChkFirefox(resultBuffer);
  } else {
    status = false;
    if (result != nullptr) VOID_TO_NPVARIANT(*result);
    return status;
  }
  // Handlers write at most SCRIPT_TEXT_CAPACITY - 1 characters; the last byte stays a terminator.
  resultBuffer[SCRIPT_TEXT_CAPACITY - 1] = '\0';
  SetStringResult(resultBuffer, result);
  return true;
}

bool ZAVavodur::invokeDefault(const NPVariant*, uint32_t, NPVariant* result) {
  printf("%s", DEFAULT_METHOD_LINE);
  if (result == nullptr) return true;  // no one to hand the value to: nothing allocated
  char* block = static_cast<char*>(NPN_MemAlloc(DEFAULT_METHOD_BLOCK));
  if (block == nullptr) {
    VOID_TO_NPVARIANT(*result);
    return true;
  }
  memset(block, 0, DEFAULT_METHOD_BLOCK);
  String_Copy(block, DEFAULT_METHOD_VALUE, DEFAULT_METHOD_BLOCK - 1, 0);
  STRINGN_TO_NPVARIANT(block, static_cast<uint32_t>(sizeof DEFAULT_METHOD_VALUE - 1), *result);
  return true;
}

bool ZAVavodur::hasProperty(NPIdentifier) { return false; }

bool ZAVavodur::getProperty(NPIdentifier, NPVariant*) { return false; }

void ZAVavodur::ConvertArgument(const NPVariant& argument, char* slot) {
  if (argument.type != NPVariantType_String) {
    slot[0] = '\0';
    return;
  }
  const NPString& text = argument.value.stringValue;
  Codepage_Utf8ToAnsi(text.UTF8Characters, text.UTF8Length, slot, SCRIPT_TEXT_CAPACITY);
}

void ZAVavodur::SetStringResult(const char* text, NPVariant* result) {
  if (result == nullptr) return;
  char ansi[SCRIPT_TEXT_CAPACITY];
  const int length = String_CopyCut(ansi, text, SCRIPT_TEXT_CAPACITY - 1, 0);
  // One ANSI byte gives at most three UTF-8 bytes (a single-byte katakana of 932, the euro sign
  // of 1252), so the whole text always fits here.
  char utf8[3 * (SCRIPT_TEXT_CAPACITY - 1) + 1];
  const int utf8Length = AnsiToUtf8(ansi, utf8, sizeof utf8);
  // Twice the ANSI length plus one, which holds every text of code page 949; more when the
  // code page needs it.
  uint32_t capacity = 2u * static_cast<uint32_t>(length) + 1u;
  if (capacity < static_cast<uint32_t>(utf8Length) + 1u) capacity = static_cast<uint32_t>(utf8Length) + 1u;
  char* block = static_cast<char*>(NPN_MemAlloc(capacity));
  if (block == nullptr) {
    VOID_TO_NPVARIANT(*result);
    return;
  }
  memset(block, 0, capacity);
  memcpy(block, utf8, static_cast<size_t>(utf8Length));
  STRINGN_TO_NPVARIANT(block, static_cast<uint32_t>(utf8Length), *result);
}

int ZAVavodur::AnsiToUtf8(const char* text, char* out, int capacity) {
  return Codepage_AnsiToUtf8(text, out, capacity);
}
