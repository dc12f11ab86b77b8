// POSIX: iconv between UTF-8 and CP949, the code page the Windows product runs with.
#include "command/codepage.h"

#include <errno.h>
#include <iconv.h>

namespace {

const char ANSI_CODESET[] = "CP949";

// Bytes to skip over an input sequence that has no counterpart or is damaged.
size_t SkipLength(CodepageDirection direction, const char* in, size_t left) {
  if (direction == CODEPAGE_ANSI_TO_UTF8) return 1;
  const unsigned char c = static_cast<unsigned char>(*in);
  size_t n = 1;
  if (c >= 0xF0 && c <= 0xF7) {
    n = 4;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
  } else if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  }
  for (size_t i = 1; i < n; ++i) {
    if (i >= left || (static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) return i;
  }
  return n;
}

// True when the input starts with a sequence iconv cannot convert: a trial conversion of its first
// bytes makes no progress. (glibc's CP949 converter steps over an unmapped pair itself before it
// reports it; other sequences are still ahead of the input after the report.)
bool StartsWithBadSequence(iconv_t cd, const char* in, size_t left) {
  char trial[16];
  char* from = const_cast<char*>(in);
  size_t fromLeft = left < 4 ? left : 4;
  char* to = trial;
  size_t toLeft = sizeof trial;
  iconv(cd, &from, &fromLeft, &to, &toLeft);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  return from == in;
}

}  // namespace

int Codepage_ConvertPrefix(CodepageDirection direction, const char* text, int length, char* out, int room) {
  if (length <= 0 || room <= 0) return 0;
  const bool toAnsi = direction == CODEPAGE_UTF8_TO_ANSI;
  iconv_t cd = iconv_open(toAnsi ? ANSI_CODESET : "UTF-8", toAnsi ? "UTF-8" : ANSI_CODESET);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char* in = const_cast<char*>(text);
  size_t inLeft = static_cast<size_t>(length);
  char* o = out;
  size_t outLeft = static_cast<size_t>(room);
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;  // E2BIG: out is full of whole characters
    if (outLeft == 0) break;
    *o++ = '?';
    --outLeft;
    if (inLeft == 0 || !StartsWithBadSequence(cd, in, inLeft)) continue;
    const size_t skip = SkipLength(direction, in, inLeft);
    in += skip;
    inLeft -= skip < inLeft ? skip : inLeft;
  }
  iconv_close(cd);
  return room - static_cast<int>(outLeft);
}
