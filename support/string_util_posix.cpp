// The native build converts with CP949 (command/codepage_posix.cpp), whose lead bytes are
// 0x81 to 0xFE.
#include "support/string_util.h"

bool String_IsLeadByte(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return b >= 0x81 && b <= 0xFE;
}
