// Handlers of the command object as far as they go before module management exists. MV_getdata
// reads the result area; MV_start and MV_chkFirefox answer "FAIL"; MV_init, MV_setdata and
// MV_clean change nothing. This file is replaced when the data commands and the module handlers
// arrive.
#include <string.h>

#include "command/zavavodur.h"
#include "support/string_util.h"

namespace {

const char ANSWER_FAIL[] = "FAIL";
const int KEY_CAPACITY = 1024;

}  // namespace

void ZAVavodur::OnInit(const char*) {}

int ZAVavodur::OnSetData(const char* section, const char* key, const char* value) {
  return (section == nullptr || key == nullptr || value == nullptr) ? 1 : 0;
}

int ZAVavodur::OnGetData(const char* key, char* out) {
  char keyBuffer[KEY_CAPACITY];
  char resultCopy[RESULT_AREA_CAPACITY];
  char value[RESULT_AREA_CAPACITY];
  memset(keyBuffer, 0, sizeof keyBuffer);
  memset(resultCopy, 0, sizeof resultCopy);
  memset(value, 0, sizeof value);
  if (key != nullptr) {
    String_Copy(resultCopy, m_result, RESULT_AREA_CAPACITY - 1, COPY_TRIM);
    String_Copy(keyBuffer, key, KEY_CAPACITY - 1, COPY_TRIM);
    if (FieldText_GetValue(resultCopy, keyBuffer, FIELD_DELIMITER, value, RESULT_AREA_CAPACITY) != 0) return 0;
  }
  // A value longer than the script result takes is cut at a character boundary.
  String_CopyDbcs(out, value, SCRIPT_TEXT_CAPACITY - 1, 0);
  return 0;
}

int ZAVavodur::OnClean() { return 0; }

int ZAVavodur::OnStart(char* out) {
  String_Copy(out, ANSWER_FAIL, SCRIPT_TEXT_CAPACITY - 1, 0);
  return 0;
}

int ZAVavodur::OnChkFirefox(char* out) {
  String_Copy(out, ANSWER_FAIL, SCRIPT_TEXT_CAPACITY - 1, 0);
  return 0;
}
