#include "support/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/status.h"

namespace {

constexpr int kAll = TOKEN_SKIP_LEADING | TOKEN_TRIM_TRAILING | TOKEN_NO_COLLAPSE;

std::vector<std::string> Tokens(const char* text, char delimiter, int options) {
  std::string copy(text);
  Tokenizer tok;
  EXPECT_EQ(0, Tokenizer_Init(&tok, &copy[0], 0));
  std::vector<std::string> out;
  while (!tok.exhausted) out.emplace_back(Tokenizer_Next(&tok, delimiter, nullptr, options));
  return out;
}

TEST(Tokenizer, KeyAndValueWithSurroundingSpace) {
  char text[] = "a = b";
  Tokenizer tok;
  Tokenizer_Init(&tok, text, 0);
  int len = -1;
  EXPECT_STREQ("a", Tokenizer_Next(&tok, '=', &len, kAll));
  EXPECT_EQ(1, len);
  EXPECT_EQ(0, tok.exhausted);
  EXPECT_STREQ("b", Tokenizer_Next(&tok, '\x1F', &len, kAll));
  EXPECT_EQ(1, len);
  EXPECT_EQ(1, tok.exhausted) << "the last token comes with exhausted already set";
  EXPECT_STREQ("", Tokenizer_Next(&tok, '=', &len, kAll));
  EXPECT_EQ(0, len);
}

TEST(Tokenizer, RepeatedDelimitersCollapseUnlessAsked) {
  EXPECT_EQ((std::vector<std::string>{"a", "", "b"}), Tokens("a==b", '=', TOKEN_NO_COLLAPSE));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), Tokens("a==b", '=', 0));
}

TEST(Tokenizer, TrimNeverRemovesTheFirstCharacter) {
  EXPECT_EQ((std::vector<std::string>{" ", "x"}), Tokens(" ;x", ';', TOKEN_TRIM_TRAILING | TOKEN_NO_COLLAPSE));
  EXPECT_EQ((std::vector<std::string>{"ab", "c"}), Tokens("ab \t;c", ';', TOKEN_TRIM_TRAILING));
}

TEST(Tokenizer, CutsTheTextInPlaceUnlessAPrivateCopyIsAsked) {
  char text[] = "k=v";
  Tokenizer tok;
  Tokenizer_Init(&tok, text, 0);
  Tokenizer_Next(&tok, '=', nullptr, 0);
  EXPECT_EQ('\0', text[1]);

  char kept[] = "k=v";
  ASSERT_EQ(0, Tokenizer_Init(&tok, kept, TOKENIZER_PRIVATE_COPY));
  EXPECT_STREQ("k", Tokenizer_Next(&tok, '=', nullptr, 0));
  EXPECT_STREQ("v", Tokenizer_Next(&tok, '=', nullptr, 0));
  EXPECT_STREQ("k=v", kept);
  Tokenizer_Free(&tok);
  EXPECT_EQ(nullptr, tok.ownedText);
}

TEST(Tokenizer, NullTextAndNulDelimiterEndCleanly) {
  Tokenizer tok;
  Tokenizer_Init(&tok, nullptr, 0);
  EXPECT_STREQ("", Tokenizer_Next(&tok, '=', nullptr, kAll));
  EXPECT_EQ(1, tok.exhausted);
  EXPECT_EQ((std::vector<std::string>{"abc"}), Tokens("abc", '\0', 0)) << "NUL never matches as a delimiter";
}

TEST(Tokenizer, NextAnyEndsAtAnyDelimiterOfTheSet) {
  char text[] = "a,b;;c";
  Tokenizer tok;
  Tokenizer_Init(&tok, text, 0);
  std::vector<std::string> got;
  while (!tok.exhausted) got.emplace_back(Tokenizer_NextAny(&tok, ",;", nullptr, 0));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), got);
}

}  // namespace
