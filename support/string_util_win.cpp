// Windows: the system ANSI code page says which bytes start a double-byte character (none in
// single-byte code pages such as 1252; in 932 the single-byte katakana share the high range).
#include "support/string_util.h"

#include <windows.h>

bool String_IsLeadByte(char c) { return IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) != FALSE; }
