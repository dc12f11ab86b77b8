// Bounded string copies (some aware of the double-byte characters of the ANSI code page),
// trimming and digit parsing. Texts are NUL-terminated bytes in the system ANSI code page; which
// bytes start a double-byte character is the code page's business (String_IsLeadByte).
#pragma once

#include <stdint.h>

// Copy modes and options shared by the String_Copy family.
enum : int {
  COPY_NO_NUL = 1,        // write no NUL and trim nothing
  COPY_TRIM = 2,          // drop trailing white space, then write the NUL
  COPY_DROP_LEADING = 4,  // String_CopyPrintable: drop replaced bytes at the very start
};

// True for the four white-space bytes: space, tab, CR, LF.
inline bool String_IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// True for a byte that starts a double-byte character in the system ANSI code page: the platform
// decides on Windows (string_util_win.cpp); the native build's code page is CP949
// (string_util_posix.cpp).
bool String_IsLeadByte(char c);

// Copies at most n characters of source (null counts as empty); returns the result's length.
// The destination must hold n + 1 bytes unless mode is COPY_NO_NUL.
int String_Copy(char* dest, const char* source, int n, int mode);
// As String_Copy, but never ends inside a double-byte character.
int String_CopyDbcs(char* dest, const char* source, int n, int mode);
// As String_Copy: a source that fits is copied byte for byte; only one longer than n is cut, at a
// character boundary (String_CopyDbcs).
int String_CopyCut(char* dest, const char* source, int n, int mode);
// Copies printable ASCII and KS X 1001 pairs; everything else becomes spaces (or is dropped at the
// start with COPY_DROP_LEADING).
int String_CopyPrintable(char* dest, const char* source, int n, int options);
// Cuts text in place to at most n bytes without splitting a double-byte character; always
// terminated. Returns the new length.
int String_CutDbcs(char* text, int n, int mode);
// Returns the first non-white character of text; copies the rest into dest when dest is given.
const char* String_SkipSpace(char* dest, const char* text);
// Removes trailing white space and the control bytes 0x1C..0x1F in place; returns the new length.
int String_TrimRight(char* text);
// Reads leading decimal digits into *value (wrapping at 32 bits); returns how many were read.
int String_ParseDigits(const char* text, int32_t* value);
