// The script argument conversion (UTF-8 from the page to the ANSI code page) on any bytes, and the
// result conversion back: each writes at most its capacity, terminated, and never ends inside a
// character.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "command/codepage.h"
#include "support/string_util.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr int kScriptSlot = 2048;  // an argument slot of the command object

bool IsUtf8Lead(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0xC0; }

// True when the UTF-8 text ends with a lead byte whose sequence is cut short.
bool EndsInsideUtf8(const char* text, int len) {
  int start = len;
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0 || !IsUtf8Lead(text[start - 1])) return false;
  const unsigned char c = static_cast<unsigned char>(text[start - 1]);
  const int need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
  return len - (start - 1) < need;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool fullSlot = in.ConsumeBool();
  const int capacity = fullSlot ? kScriptSlot : in.ConsumeIntegralInRange<int>(1, 64);
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  // The page's string is not terminated: the block ends where its length says.
  std::unique_ptr<char[]> utf8(new char[bytes.size() > 0 ? bytes.size() : 1]);
  memcpy(utf8.get(), bytes.data(), bytes.size());
  std::unique_ptr<char[]> ansi(new char[capacity]);
  const int len = Codepage_Utf8ToAnsi(utf8.get(), static_cast<uint32_t>(bytes.size()), ansi.get(), capacity);
  FUZZ_CHECK(len >= 0 && len < capacity && ansi[len] == '\0');
  FUZZ_CHECK(!FuzzEndsInsidePair(ansi.get(), len, String_IsLeadByte));

  std::unique_ptr<char[]> back(new char[capacity]);
  const int backLen = Codepage_AnsiToUtf8(bytes.c_str(), back.get(), capacity);
  FUZZ_CHECK(backLen >= 0 && backLen < capacity && back[backLen] == '\0');
  FUZZ_CHECK(!EndsInsideUtf8(back.get(), backLen));
  return 0;
}
