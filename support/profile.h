// Reads one value by section and key from an INI-style file (section heads in brackets,
// key=value lines, ";" or "#" comments). Each call opens, scans and closes the file.
#pragma once

#include <stdint.h>
#include <stdio.h>

constexpr int PROFILE_HEAD_LINE = 64;   // line buffer while looking for the section head
constexpr int PROFILE_KEY_LINE = 322;   // line buffer while looking for the key

// 0, ERR_PROFILE_OPEN, ERR_PROFILE_SECTION or ERR_PROFILE_KEY. On failure out receives the default
// (cut to capacity - 1) or the empty text.
int Profile_GetString(const char* section, const char* key, const char* defaultValue, char* out,
                      int capacity, const char* path);
// As Profile_GetString; on success *value is atoi of the text, on failure the default.
int Profile_GetInt(const char* section, const char* key, int32_t defaultValue, int32_t* value,
                   const char* path);
// 1-based line number of the matching head, or -1; the file is left after the head.
int Profile_FindSection(FILE* file, const char* section);
// 1-based line number of the key line (counted from headLine), or -1; copies the value.
int Profile_FindKey(FILE* file, const char* key, char* out, int capacity, int headLine);
