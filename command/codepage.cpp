#include "command/codepage.h"

#include <string.h>

namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the UTF-8 sequence that starts with lead, 1 for a byte that starts none.
int Utf8SequenceLength(char lead) {
  const unsigned char c = static_cast<unsigned char>(lead);
  if (c >= 0xF0 && c <= 0xF7) return 4;
  if (c >= 0xE0) return c <= 0xEF ? 3 : 1;
  if (c >= 0xC0) return 2;
  return 1;
}

// Drops an incomplete sequence at the end of a UTF-8 text of len bytes; returns the new length.
int Utf8CutIncomplete(const char* text, int len) {
  int start = len;
  while (start > 0 && IsUtf8Continuation(text[start - 1])) --start;
  if (start == 0) return len;
  const int lead = start - 1;
  if (static_cast<unsigned char>(text[lead]) < 0x80) return len;
  return lead + Utf8SequenceLength(text[lead]) <= len ? len : lead;
}

}  // namespace

int Codepage_Utf8ToAnsi(const char* utf8, uint32_t length, char* out, int capacity) {
  if (out == nullptr || capacity <= 0) return 0;
  int written = 0;
  if (utf8 != nullptr && length > 0) {
    const int bounded = length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(length);
    written = Codepage_ConvertPrefix(CODEPAGE_UTF8_TO_ANSI, utf8, bounded, out, capacity - 1);
  }
  // The platform writes whole characters only: a text that fits arrives byte for byte, a longer
  // one ends at a character boundary of the code page.
  out[written] = '\0';
  return written;
}

int Codepage_AnsiToUtf8(const char* ansi, char* out, int capacity) {
  if (out == nullptr || capacity <= 0) return 0;
  int written = 0;
  if (ansi != nullptr && ansi[0] != '\0') {
    written = Codepage_ConvertPrefix(CODEPAGE_ANSI_TO_UTF8, ansi, static_cast<int>(strlen(ansi)), out,
                                     capacity - 1);
  }
  written = Utf8CutIncomplete(out, written);
  out[written] = '\0';
  return written;
}
