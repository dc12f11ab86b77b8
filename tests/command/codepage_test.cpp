// Conversion between UTF-8 and the ANSI code page (949), and the argument and result helpers of the
// command object: whole characters only, always terminated, never past the buffer.
#include <string.h>

#include <string>

#include "host/browser.h"
#include "command/codepage.h"
#include "command/zavavodur.h"
#include "shell/plugin_entry.h"

#include <gtest/gtest.h>

namespace {

const char GA_ANSI[] = "\xB0\xA1";      // 가
const char GA_UTF8[] = "\xEA\xB0\x80";  // 가
const char HAN_ANSI[] = "\xC7\xD1";     // 한
const char HAN_UTF8[] = "\xED\x95\x9C"; // 한

std::string Repeat(const char* piece, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += piece;
  return s;
}

// A buffer with guard bytes on both sides, to see that nothing is written past its capacity.
struct Guarded {
  explicit Guarded(int size) : bytes(size + 32, '#'), capacity(size) {}
  char* data() { return &bytes[16]; }
  bool GuardsIntact() const {
    for (int i = 0; i < 16; ++i)
      if (bytes[i] != '#' || bytes[16 + capacity + i] != '#') return false;
    return true;
  }
  std::string bytes;
  int capacity;
};

TEST(Codepage, KoreanConvertsBothWays) {
  char out[64];
  const std::string utf8 = std::string("a") + GA_UTF8 + HAN_UTF8 + "z";
  EXPECT_EQ(6, Codepage_Utf8ToAnsi(utf8.data(), static_cast<uint32_t>(utf8.size()), out, sizeof out));
  EXPECT_EQ(std::string("a") + GA_ANSI + HAN_ANSI + "z", out);
  const std::string ansi = out;
  EXPECT_EQ(8, Codepage_AnsiToUtf8(ansi.c_str(), out, sizeof out));
  EXPECT_EQ(utf8, out);
}

TEST(Codepage, UnterminatedInputIsReadToItsLengthOnly) {
  const char text[] = "abcdef";
  char out[16];
  EXPECT_EQ(3, Codepage_Utf8ToAnsi(text, 3, out, sizeof out));
  EXPECT_STREQ("abc", out);
}

TEST(Codepage, EmptyAndNullReadAsEmpty) {
  char out[8] = "xxxxxxx";
  EXPECT_EQ(0, Codepage_Utf8ToAnsi(nullptr, 5, out, sizeof out));
  EXPECT_STREQ("", out);
  strcpy(out, "xx");
  EXPECT_EQ(0, Codepage_Utf8ToAnsi("abc", 0, out, sizeof out));
  EXPECT_STREQ("", out);
  strcpy(out, "xx");
  EXPECT_EQ(0, Codepage_AnsiToUtf8("", out, sizeof out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, Codepage_AnsiToUtf8("abc", out, 0));  // no room at all: nothing written
  EXPECT_STREQ("", out);
}

TEST(Codepage, AnsiOutputStopsBeforeASplitCharacter) {
  // "a" + 5 double-byte characters into 8 bytes: 7 usable, the fourth character would need 8 and 9.
  const std::string utf8 = std::string("a") + Repeat(GA_UTF8, 5);
  Guarded out(8);
  EXPECT_EQ(7, Codepage_Utf8ToAnsi(utf8.data(), static_cast<uint32_t>(utf8.size()), out.data(), 8));
  EXPECT_EQ(std::string("a") + Repeat(GA_ANSI, 3), out.data());
  EXPECT_TRUE(out.GuardsIntact());
}

TEST(Codepage, Utf8OutputStopsBeforeASplitSequence) {
  // Three Korean characters need 9 UTF-8 bytes; 8 bytes of room hold two and the terminator.
  const std::string ansi = Repeat(HAN_ANSI, 3);
  for (int capacity : {1, 3, 4, 7, 8}) {
    Guarded out(capacity);
    const int n = Codepage_AnsiToUtf8(ansi.c_str(), out.data(), capacity);
    EXPECT_EQ((capacity - 1) / 3 * 3, n) << capacity;
    EXPECT_EQ(Repeat(HAN_UTF8, (capacity - 1) / 3), out.data()) << capacity;
    EXPECT_TRUE(out.GuardsIntact()) << capacity;
  }
}

TEST(Codepage, CharactersWithoutAnAnsiFormBecomeQuestionMarks) {
  const char utf8[] = "a\xF0\x9F\x98\x80" "b";  // a, an emoji, b
  char out[16];
  Codepage_Utf8ToAnsi(utf8, sizeof utf8 - 1, out, sizeof out);
  const std::string s = out;
  ASSERT_GE(s.size(), 3u);
  EXPECT_EQ('a', s.front());
  EXPECT_EQ('b', s.back());
  EXPECT_EQ(std::string::npos, s.substr(1, s.size() - 2).find_first_not_of('?'));

  // A pair the code page leaves unassigned loses nothing after it, and the end of the text ends the
  // conversion (glibc steps over such a pair itself).
  EXPECT_GE(Codepage_AnsiToUtf8("x\xA2\xE8", out, sizeof out), 1);
  EXPECT_EQ('x', out[0]);
  const std::string t(out, static_cast<size_t>(Codepage_AnsiToUtf8("x\xA2\xE8" "AB", out, sizeof out)));
  ASSERT_GE(t.size(), 4u);
  EXPECT_EQ("AB", t.substr(t.size() - 2));
}

// The command object's helpers, with this program's own copy of the browser gateway pointed at
// the host library's table.
class CommandHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(NPERR_NO_ERROR, Plugin_Initialize(&browser.funcs())); }
  void TearDown() override { EXPECT_EQ(0u, browser.OutstandingBlocks()); }

  std::string TakeString(NPVariant* v) {
    EXPECT_EQ(NPVariantType_String, v->type);
    std::string s(v->value.stringValue.UTF8Characters, v->value.stringValue.UTF8Length);
    // Terminated within its block as well.
    EXPECT_EQ('\0', v->value.stringValue.UTF8Characters[v->value.stringValue.UTF8Length]);
    browser.funcs().releasevariantvalue(v);
    return s;
  }

  host::Browser browser;
};

TEST_F(CommandHelpersTest, ArgumentLongerThanTheSlotIsCutToWholeCharacters) {
  // "a" + 1500 Korean characters: 3001 ANSI bytes; the slot holds 2047 and a terminator, and
  // byte 2047 would be the first half of a character.
  const std::string utf8 = std::string("a") + Repeat(GA_UTF8, 1500);
  NPVariant arg = host::Browser::StringArg(utf8.data(), utf8.size());
  Guarded slot(SCRIPT_TEXT_CAPACITY);
  ZAVavodur::ConvertArgument(arg, slot.data());
  EXPECT_EQ(std::string("a") + Repeat(GA_ANSI, 1023), slot.data());
  EXPECT_TRUE(slot.GuardsIntact());
}

TEST_F(CommandHelpersTest, ArgumentThatIsNoStringReadsAsEmpty) {
  Guarded slot(SCRIPT_TEXT_CAPACITY);
  NPVariant arg;
  INT32_TO_NPVARIANT(12345, arg);
  ZAVavodur::ConvertArgument(arg, slot.data());
  EXPECT_STREQ("", slot.data());
  VOID_TO_NPVARIANT(arg);
  ZAVavodur::ConvertArgument(arg, slot.data());
  EXPECT_STREQ("", slot.data());
  EXPECT_TRUE(slot.GuardsIntact());
}

TEST_F(CommandHelpersTest, StringResultIsUtf8InABrowserBlock) {
  NPVariant v;
  ZAVavodur::SetStringResult((std::string("ok ") + HAN_ANSI).c_str(), &v);
  EXPECT_EQ(1u, browser.OutstandingBlocks());
  EXPECT_EQ(std::string("ok ") + HAN_UTF8, TakeString(&v));
}

TEST_F(CommandHelpersTest, EmptyTextGivesAnEmptyStringNotVoid) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  ZAVavodur::SetStringResult("", &v);
  EXPECT_EQ("", TakeString(&v));
}

TEST_F(CommandHelpersTest, ResultLongerThanTheBufferIsCutToWholeCharacters) {
  const std::string ansi = std::string("a") + Repeat(GA_ANSI, 3000);
  NPVariant v;
  ZAVavodur::SetStringResult(ansi.c_str(), &v);
  EXPECT_EQ(std::string("a") + Repeat(GA_UTF8, 1023), TakeString(&v));
}

}  // namespace
