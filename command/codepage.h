// Conversion between UTF-8 (the script boundary) and the system ANSI code page (949 on Korean
// Windows and in the native build). Both directions write into a bounded buffer: as many whole
// characters as fit, never part of one, always terminated.
#pragma once

#include <stdint.h>

// Converts length bytes of UTF-8 (not necessarily terminated) into ANSI in out, which holds
// capacity bytes. Returns the length written. A null text reads as empty.
int Codepage_Utf8ToAnsi(const char* utf8, uint32_t length, char* out, int capacity);
// Converts the terminated ANSI text into UTF-8 in out, which holds capacity bytes. Returns the
// length written.
int Codepage_AnsiToUtf8(const char* ansi, char* out, int capacity);

// The platform part (codepage_win.cpp, codepage_posix.cpp).
enum CodepageDirection { CODEPAGE_UTF8_TO_ANSI, CODEPAGE_ANSI_TO_UTF8 };
// Converts length bytes of text and writes whole characters of the result to out while they fit in
// room bytes; writes no terminator. Characters without a counterpart become '?'. Returns the count
// of bytes written.
int Codepage_ConvertPrefix(CodepageDirection direction, const char* text, int length, char* out, int room);
