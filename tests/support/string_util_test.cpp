#include "support/string_util.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Destination guarded by canary bytes, to see that a copy stays within its bound.
struct Guarded {
  char bytes[32];
  Guarded() { memset(bytes, '#', sizeof bytes); }
  char* dest() { return bytes + 8; }
  bool GuardsIntact(int used) const {
    for (int i = 0; i < 8; ++i)
      if (bytes[i] != '#') return false;
    for (int i = 8 + used; i < 32; ++i)
      if (bytes[i] != '#') return false;
    return true;
  }
};

TEST(StringCopy, ModesTrimAndCount) {
  char out[16];
  EXPECT_EQ(3, String_Copy(out, "abc  ", 10, COPY_TRIM));
  EXPECT_STREQ("abc", out);
  EXPECT_EQ(5, String_Copy(out, "abc  ", 10, 0));
  EXPECT_STREQ("abc  ", out);
  EXPECT_EQ(2, String_Copy(out, "abc  ", 2, COPY_TRIM));
  EXPECT_STREQ("ab", out);
  EXPECT_EQ(5, String_Copy(out, "a\t\r\n\x1F", 10, COPY_TRIM)) << "0x1F is not white space here";
}

TEST(StringCopy, ZeroCountAndNullSource) {
  Guarded g;
  EXPECT_EQ(0, String_Copy(g.dest(), "abc", 0, COPY_NO_NUL));
  EXPECT_TRUE(g.GuardsIntact(0)) << "mode 1 with n = 0 writes nothing";
  EXPECT_EQ(0, String_Copy(g.dest(), "abc", 0, COPY_TRIM));
  EXPECT_EQ('\0', g.dest()[0]);
  EXPECT_EQ(0, String_Copy(g.dest(), nullptr, 5, 0));
  EXPECT_EQ('\0', g.dest()[0]);
}

TEST(StringCopy, NoNulModeWritesExactlyTheCharacters) {
  Guarded g;
  EXPECT_EQ(4, String_Copy(g.dest(), "ab  cd", 4, COPY_NO_NUL));
  EXPECT_EQ(0, memcmp(g.dest(), "ab  ", 4)) << "mode 1 trims nothing";
  EXPECT_TRUE(g.GuardsIntact(4));
}

// "한글" in code page 949: two double-byte characters.
const char kHangul[] = "\xC7\xD1\xB1\xDB";

TEST(StringCopyDbcs, NeverEndsInsideADoubleByteCharacter) {
  char out[16];
  EXPECT_EQ(4, String_CopyDbcs(out, kHangul, 4, 0));
  EXPECT_STREQ(kHangul, out);
  EXPECT_EQ(2, String_CopyDbcs(out, kHangul, 3, 0));
  EXPECT_STREQ("\xC7\xD1", out);
  EXPECT_EQ(3, String_CopyDbcs(out, "a\xC7\xD1" "b", 3, 0));
  EXPECT_STREQ("a\xC7\xD1", out);
  EXPECT_EQ(1, String_CopyDbcs(out, "a\xC7", 10, 0)) << "a lead byte before the end is left out";
  EXPECT_STREQ("a", out);
  EXPECT_EQ(2, String_CopyDbcs(out, "\xB0 ", 3, COPY_TRIM)) << "trimming keeps a pair whole";
  EXPECT_STREQ("\xB0 ", out);
  EXPECT_EQ(3, String_CopyCut(out, "a\xB0  ", 5, COPY_TRIM)) << "also when the text fits";
  EXPECT_STREQ("a\xB0 ", out);
}

TEST(StringCopyDbcs, CountsBelowTwoStayWithinBounds) {
  Guarded g;
  EXPECT_EQ(0, String_CopyDbcs(g.dest(), kHangul, 1, 0));
  EXPECT_TRUE(g.GuardsIntact(1));
  EXPECT_EQ(1, String_CopyDbcs(g.dest(), "xy", 1, 0));
  EXPECT_STREQ("x", g.dest());
  EXPECT_TRUE(g.GuardsIntact(2));
  EXPECT_EQ(0, String_CopyDbcs(g.dest(), "xy", 0, COPY_NO_NUL));
  EXPECT_EQ(0, String_CopyDbcs(g.dest(), "xy", -5, 0));
  EXPECT_STREQ("", g.dest());
}

TEST(StringCutDbcs, CutsInPlaceAtCharacterBoundaries) {
  char text[16];
  strcpy(text, kHangul);
  EXPECT_EQ(2, String_CutDbcs(text, 3, 0));
  EXPECT_STREQ("\xC7\xD1", text);
  strcpy(text, "ab\xC7");
  EXPECT_EQ(2, String_CutDbcs(text, 10, 0)) << "a lead byte followed by the end is removed";
  strcpy(text, "ab  ");
  EXPECT_EQ(2, String_CutDbcs(text, 10, COPY_TRIM));
  EXPECT_EQ(2, String_CutDbcs(strcpy(text, "\xB0  "), 10, COPY_TRIM)) << "trimming keeps a pair whole";
  EXPECT_EQ(4, String_CutDbcs(strcpy(text, "ab  "), 10, COPY_NO_NUL)) << "mode 1 has no effect";
  EXPECT_EQ(0, String_CutDbcs(strcpy(text, "abc"), 0, 0));
  EXPECT_STREQ("", text);
  EXPECT_EQ(0, String_CutDbcs(strcpy(text, kHangul), 1, 0));
  EXPECT_EQ(1, String_CutDbcs(strcpy(text, "abc"), 1, 0));
  EXPECT_STREQ("a", text);
}

TEST(StringCopyPrintable, KeepsKoreanAndPrintableAsciiReplacesTheRest) {
  char out[32];
  // Apostrophe, tab and a full-width space become spaces; Hangul pairs stay.
  EXPECT_EQ(9, String_CopyPrintable(out, "a'b\t\xC7\xD1\xA1\xA1" "c", 20, 0));
  EXPECT_STREQ("a b \xC7\xD1  c", out);
  // A pair outside the KS X 1001 range becomes two spaces.
  EXPECT_EQ(4, String_CopyPrintable(out, "\x81\x41" "ok", 20, 0));
  EXPECT_STREQ("  ok", out);
  // Option 4 drops replaced bytes at the very start only.
  EXPECT_EQ(3, String_CopyPrintable(out, " \t\x81\x41" "a b", 20, COPY_DROP_LEADING));
  EXPECT_STREQ("a b", out);
  EXPECT_EQ(2, String_CopyPrintable(out, "ab   ", 20, COPY_TRIM));
  EXPECT_STREQ("ab", out);
}

TEST(StringCopyPrintable, PairThatWouldCrossTheBoundStopsTheCopy) {
  char out[8];
  EXPECT_EQ(1, String_CopyPrintable(out, "a\xC7\xD1", 2, 0));
  EXPECT_STREQ("a", out);
  EXPECT_EQ(1, String_CopyPrintable(out, "a\xC7", 10, 0)) << "lead byte at the end of the text";
  EXPECT_STREQ("a", out);
  // A lead byte that ends the window: the byte after the window is never read.
  const std::unique_ptr<char[]> unterminated(new char[2]{'a', '\xC7'});
  EXPECT_EQ(1, String_CopyPrintable(out, unterminated.get(), 2, 0));
  EXPECT_STREQ("a", out);
}

TEST(StringTrim, TrimRightDropsControlSeparatorsSkipSpaceDoesNot) {
  char text[16];
  strcpy(text, "ab \x1F\x1C\t");
  EXPECT_EQ(2, String_TrimRight(text));
  EXPECT_STREQ("ab", text);
  EXPECT_STREQ("\x1F" "x", String_SkipSpace(nullptr, " \t\x1F" "x"));
  char dest[16];
  EXPECT_STREQ("ab ", String_SkipSpace(dest, "  ab "));
  EXPECT_STREQ("ab ", dest);
  EXPECT_EQ(0, String_TrimRight(strcpy(text, " \r\n")));
}

TEST(StringParseDigits, ReadsLeadingDigitsOnly) {
  int32_t v = -1;
  EXPECT_EQ(3, String_ParseDigits("123abc", &v));
  EXPECT_EQ(123, v);
  EXPECT_EQ(0, String_ParseDigits("-5", &v));
  EXPECT_EQ(0, v);
  EXPECT_EQ(0, String_ParseDigits(" 5", &v));
  // No overflow check: the value wraps at 32 bits (and must not be undefined behaviour).
  EXPECT_EQ(10, String_ParseDigits("4294967297", &v));
  EXPECT_EQ(1, v);
}

}  // namespace
