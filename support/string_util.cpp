#include "support/string_util.h"

#include <string.h>

namespace {

// Applies the mode rules to a copy of len bytes and returns its final length. Trimming stops at
// keep, the end of the last double-byte character, whose trail byte may look like a space.
int FinishCopy(char* dest, int len, int mode, int keep = 0) {
  if (mode & COPY_NO_NUL) return len;
  if (mode & COPY_TRIM) {
    while (len > keep && String_IsSpace(dest[len - 1])) --len;
  }
  dest[len] = '\0';
  return len;
}

bool IsKsx1001Byte(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }

}  // namespace

int String_Copy(char* dest, const char* source, int n, int mode) {
  if (dest == nullptr) return 0;
  if (source == nullptr) source = "";
  int len = 0;
  while (len < n && source[len] != '\0') {
    dest[len] = source[len];
    ++len;
  }
  return FinishCopy(dest, len, mode);
}

int String_CopyDbcs(char* dest, const char* source, int n, int mode) {
  if (dest == nullptr) return 0;
  if (source == nullptr) source = "";
  int len = 0;
  int pairEnd = 0;
  while (len < n && source[len] != '\0') {
    if (String_IsLeadByte(source[len])) {
      // A lead byte travels with its partner; without room or partner it is left out.
      if (len + 2 > n || source[len + 1] == '\0') break;
      dest[len] = source[len];
      dest[len + 1] = source[len + 1];
      len += 2;
      pairEnd = len;
    } else {
      dest[len] = source[len];
      ++len;
    }
  }
  return FinishCopy(dest, len, mode, pairEnd);
}

int String_CopyPrintable(char* dest, const char* source, int n, int options) {
  if (dest == nullptr) return 0;
  if (source == nullptr) source = "";
  const bool dropLeading = (options & COPY_DROP_LEADING) != 0;
  int r = 0;
  int w = 0;
  while (w < n && r < n && source[r] != '\0') {
    const unsigned char c = static_cast<unsigned char>(source[r]);
    if (c & 0x80) {
      // The pair must fit both in the source window and in the output (checked before the
      // partner is read: the source may end with the window); a lead byte at the end of the text
      // has no partner and ends the copy.
      if (r + 1 >= n || w + 1 >= n) break;
      const unsigned char c2 = static_cast<unsigned char>(source[r + 1]);
      if (c2 == 0) break;
      if (IsKsx1001Byte(c) && IsKsx1001Byte(c2) && !(c == 0xA1 && c2 == 0xA1)) {
        dest[w++] = static_cast<char>(c);
        dest[w++] = static_cast<char>(c2);
      } else if (!(dropLeading && w == 0)) {
        dest[w++] = ' ';
        dest[w++] = ' ';
      }
      r += 2;
    } else {
      if (c >= 0x21 && c <= 0x7E && c != 0x27) {
        dest[w++] = static_cast<char>(c);
      } else if (!(dropLeading && w == 0)) {
        dest[w++] = ' ';
      }
      ++r;
    }
  }
  return FinishCopy(dest, w, options);
}

int String_CutDbcs(char* text, int n, int mode) {
  if (text == nullptr) return 0;
  int len = 0;
  int pairEnd = 0;
  while (len < n && text[len] != '\0') {
    if (String_IsLeadByte(text[len])) {
      if (len + 2 > n || text[len + 1] == '\0') break;
      len += 2;
      pairEnd = len;
    } else {
      ++len;
    }
  }
  if (mode & COPY_TRIM) {
    while (len > pairEnd && String_IsSpace(text[len - 1])) --len;
  }
  text[len] = '\0';
  return len;
}

const char* String_SkipSpace(char* dest, const char* text) {
  if (text == nullptr) {
    if (dest != nullptr) dest[0] = '\0';
    return nullptr;
  }
  while (String_IsSpace(*text)) ++text;
  if (dest != nullptr) memmove(dest, text, strlen(text) + 1);
  return text;
}

int String_TrimRight(char* text) {
  if (text == nullptr) return 0;
  int len = static_cast<int>(strlen(text));
  while (len > 0) {
    const unsigned char c = static_cast<unsigned char>(text[len - 1]);
    if (!String_IsSpace(static_cast<char>(c)) && !(c >= 0x1C && c <= 0x1F)) break;
    --len;
  }
  text[len] = '\0';
  return len;
}

int String_ParseDigits(const char* text, int32_t* value) {
  uint32_t v = 0;  // unsigned: overflow wraps at 32 bits instead of being undefined
  int digits = 0;
  if (text != nullptr) {
    while (text[digits] >= '0' && text[digits] <= '9') {
      v = v * 10u + static_cast<uint32_t>(text[digits] - '0');
      ++digits;
    }
  }
  if (value != nullptr) *value = static_cast<int32_t>(v);
  return digits;
}

int String_CopyCut(char* dest, const char* source, int n, int mode) {
  int len = 0;
  while (source != nullptr && len <= n && source[len] != '\0') ++len;
  if (len > n) return String_CopyDbcs(dest, source, n, mode);
  len = String_Copy(dest, source, n, mode & ~COPY_TRIM);
  if ((mode & COPY_NO_NUL) || !(mode & COPY_TRIM)) return len;
  // Trimming must not split a double-byte character whose trail byte looks like a space.
  int pairEnd = 0;
  for (int i = 0; i < len; ++i) {
    if (String_IsLeadByte(dest[i]) && i + 1 < len) pairEnd = ++i + 1;
  }
  return FinishCopy(dest, len, mode, pairEnd);
}
