#include "command/result_string.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

TEST(FormatResult, WritesBothRecordsAndLeavesTheRestAlone) {
  char area[64];
  memset(area, 'x', sizeof area);
  const int n = FormatResult(RESULT_CODE_UPDATE_FAILED, RESULT_MSG_UPDATE_FAILED, area, sizeof area);
  const std::string expected = std::string("res_cd=P003\x1Fres_msg=") + RESULT_MSG_UPDATE_FAILED;
  EXPECT_EQ(static_cast<int>(expected.size()), n);
  EXPECT_EQ(expected, area);
  EXPECT_EQ('x', area[n + 1]) << "nothing beyond the terminator is cleared";
  EXPECT_STREQ("\xB0\xE1\xC1\xA6\xB8\xF0\xB5\xE2 LOAD \xBD\xC7\xC6\xD0", RESULT_MSG_LOAD_FAILED);
}

TEST(FormatResult, AStringThatDoesNotFitIsCutAtACharacterBoundary) {
  // "res_cd=P002" 0x1F "res_msg=" is 20 characters; the message starts with double-byte characters.
  char area[24];
  memset(area, 'x', sizeof area);
  EXPECT_EQ(22, FormatResult(RESULT_CODE_LOAD_FAILED, RESULT_MSG_LOAD_FAILED, area, 23));
  EXPECT_EQ(std::string("res_cd=P002\x1Fres_msg=\xB0\xE1"), area);
  EXPECT_EQ(20, FormatResult(RESULT_CODE_LOAD_FAILED, RESULT_MSG_LOAD_FAILED, area, 22))
      << "no half character at the end";
  EXPECT_EQ('\0', area[20]);
  EXPECT_EQ(0, FormatResult("P002", "m", area, 1));
  EXPECT_STREQ("", area);
}

}  // namespace
