#include "support/profile.h"

#include <stdlib.h>
#include <string.h>

#include "support/crt.h"
#include "support/file_util.h"
#include "support/status.h"
#include "support/string_util.h"
#include "support/tokenizer.h"

namespace {

constexpr int kIntCapacity = 256;

// Copies text (or the empty text) into out, cut to capacity - 1 and NUL-filled behind it.
void CopyDefault(const char* text, char* out, int capacity) {
  if (out == nullptr || capacity < 1) return;
  if (text == nullptr) {
    out[0] = '\0';
    return;
  }
  strncpy(out, text, static_cast<size_t>(capacity - 1));
  out[capacity - 1] = '\0';
}

// atoi with the Microsoft run-time's answer to overflow: the value is held at the 32-bit limits.
int32_t ToInt32(const char* text) {
  const long long v = strtoll(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

int Profile_FindSection(FILE* file, const char* section) {
  if (file == nullptr || section == nullptr) return -1;
  char line[PROFILE_HEAD_LINE];
  int lines = 0;
  while (File_ReadLine(file, line, sizeof line, READLINE_SKIP_REST) >= 0) {
    ++lines;
    const char* p = String_SkipSpace(nullptr, line);
    if (*p != '[') continue;
    char* name = const_cast<char*>(String_SkipSpace(nullptr, p + 1));
    char* close = strrchr(name, ']');
    if (close == nullptr) continue;
    *close = '\0';
    String_TrimRight(name);
    if (_stricmp(name, section) == 0) return lines;
  }
  return -1;
}

int Profile_FindKey(FILE* file, const char* key, char* out, int capacity, int headLine) {
  if (file == nullptr || key == nullptr) return -1;
  char line[PROFILE_KEY_LINE];
  int lines = 0;
  while (File_ReadLine(file, line, sizeof line, READLINE_SKIP_REST) >= 0) {
    ++lines;
    char* p = const_cast<char*>(String_SkipSpace(nullptr, line));
    if (*p == '#' || *p == ';') continue;
    if (*p == '[') return -1;
    Tokenizer tok;
    Tokenizer_Init(&tok, p, 0);
    const char* name = Tokenizer_Next(&tok, '=', nullptr, TOKEN_TRIM_TRAILING | TOKEN_NO_COLLAPSE);
    if (_stricmp(name, key) != 0) continue;
    const char* value =
        Tokenizer_Next(&tok, ';', nullptr, TOKEN_SKIP_LEADING | TOKEN_TRIM_TRAILING | TOKEN_NO_COLLAPSE);
    if (out != nullptr && capacity >= 1) {
      strncpy(out, value, static_cast<size_t>(capacity - 1));
      out[capacity - 1] = '\0';
    }
    return headLine + lines;
  }
  return -1;
}

int Profile_GetString(const char* section, const char* key, const char* defaultValue, char* out,
                      int capacity, const char* path) {
  int code = ERR_PROFILE_OPEN;
  FILE* file = path != nullptr ? fopen(path, "r") : nullptr;
  if (file != nullptr) {
    const int head = Profile_FindSection(file, section);
    if (head < 0) {
      code = ERR_PROFILE_SECTION;
    } else {
      code = Profile_FindKey(file, key, out, capacity, head) < 0 ? ERR_PROFILE_KEY : STATUS_OK;
    }
    fclose(file);
  }
  if (code != STATUS_OK) CopyDefault(defaultValue, out, capacity);
  return code;
}

int Profile_GetInt(const char* section, const char* key, int32_t defaultValue, int32_t* value,
                   const char* path) {
  char text[kIntCapacity];
  const int code = Profile_GetString(section, key, nullptr, text, sizeof text, path);
  if (value != nullptr) *value = code == STATUS_OK ? ToInt32(text) : defaultValue;
  return code;
}
