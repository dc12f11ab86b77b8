// Windows: through UTF-16 with MultiByteToWideChar / WideCharToMultiByte; CP_ACP is the system
// ANSI code page.
#include "command/codepage.h"

#include <string.h>
#include <windows.h>
#include <oleauto.h>

namespace {

// Converts one character (one UTF-16 unit, or a surrogate pair) at a time while it fits.
int ConvertWholeCharacters(UINT codePage, const WCHAR* wide, int count, char* out, int room) {
  int written = 0;
  char piece[8];
  for (int i = 0; i < count;) {
    const int units = (IS_HIGH_SURROGATE(wide[i]) && i + 1 < count && IS_LOW_SURROGATE(wide[i + 1])) ? 2 : 1;
    const int n = WideCharToMultiByte(codePage, 0, wide + i, units, piece, sizeof piece, nullptr, nullptr);
    if (n <= 0 || written + n > room) break;
    memcpy(out + written, piece, n);
    written += n;
    i += units;
  }
  return written;
}

}  // namespace

int Codepage_ConvertPrefix(CodepageDirection direction, const char* text, int length, char* out, int room) {
  if (length <= 0 || room <= 0) return 0;
  const UINT from = direction == CODEPAGE_UTF8_TO_ANSI ? CP_UTF8 : CP_ACP;
  const UINT to = direction == CODEPAGE_UTF8_TO_ANSI ? CP_ACP : CP_UTF8;
  const int wideCount = MultiByteToWideChar(from, 0, text, length, nullptr, 0);
  if (wideCount <= 0) return 0;
  BSTR wide = SysAllocStringLen(nullptr, wideCount);
  if (wide == nullptr) return 0;
  MultiByteToWideChar(from, 0, text, length, wide, wideCount);
  int written;
  const int needed = WideCharToMultiByte(to, 0, wide, wideCount, nullptr, 0, nullptr, nullptr);
  if (needed > 0 && needed <= room) {
    written = WideCharToMultiByte(to, 0, wide, wideCount, out, room, nullptr, nullptr);
  } else {
    written = ConvertWholeCharacters(to, wide, wideCount, out, room);
  }
  SysFreeString(wide);
  return written > 0 ? written : 0;
}
