#include "command/result_string.h"

#include <stdio.h>

#include "support/field_store.h"
#include "support/string_util.h"

const char RESULT_CODE_LOAD_FAILED[] = "P002";
const char RESULT_MSG_LOAD_FAILED[] = "\xB0\xE1\xC1\xA6\xB8\xF0\xB5\xE2 LOAD \xBD\xC7\xC6\xD0";
const char RESULT_CODE_UPDATE_FAILED[] = "P003";
const char RESULT_MSG_UPDATE_FAILED[] = "\xB0\xE1\xC1\xA6\xB8\xF0\xB5\xE2 UPDATE \xBD\xC7\xC6\xD0";
const char RESULT_CODE_PAGE_REFUSED[] = "P004";
const char RESULT_MSG_PAGE_REFUSED[] =
    "\xC7\xE3\xBF\xEB\xB5\xC7\xC1\xF6 \xBE\xCA\xC0\xBA \xB0\xE1\xC1\xA6 \xC6\xE4\xC0\xCC\xC1\xF6";
const char RESULT_CODE_FIELD_REFUSED[] = "P005";
const char RESULT_MSG_FIELD_REFUSED[] =
    "\xC7\xE3\xBF\xEB\xB5\xC7\xC1\xF6 \xBE\xCA\xC0\xBA \xB0\xE1\xC1\xA6 \xC1\xA4\xBA\xB8";

int FormatResult(const char* code, const char* message, char* buffer, int capacity) {
  if (buffer == nullptr || capacity < 1) return 0;
  const int len = snprintf(buffer, static_cast<size_t>(capacity), "res_cd=%s%cres_msg=%s",
                           code != nullptr ? code : "", FIELD_DELIMITER, message != nullptr ? message : "");
  if (len < 0) {
    buffer[0] = '\0';
    return 0;
  }
  if (len < capacity) return len;
  // Cut: never leave half a double-byte character at the end.
  return String_CutDbcs(buffer, capacity - 1, 0);
}
