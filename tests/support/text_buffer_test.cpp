#include "support/text_buffer.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "support/status.h"

namespace {

// Allocation functions that record block sizes and can be told to fail.
std::vector<size_t> g_allocs;
bool g_failNext = false;
void* CountingAlloc(size_t n) {
  if (g_failNext) return nullptr;
  g_allocs.push_back(n);
  return malloc(n);
}

class TextBufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_allocs.clear();
    g_failNext = false;
    ASSERT_EQ(0, TextBuffer_Init(&buf_, 0, CountingAlloc, free));
  }
  void TearDown() override { TextBuffer_Release(&buf_); }
  TextBuffer buf_{};
};

TEST_F(TextBufferTest, GrowsOnlyWhenRoomIsNotStrictlyLarger) {
  EXPECT_EQ(128, buf_.capacity);
  ASSERT_EQ(0, TextBuffer_Append(&buf_, std::string(126, 'x').c_str()));
  EXPECT_EQ(1u, g_allocs.size()) << "126 characters fit the first block";

  TextBuffer_Clear(&buf_);
  ASSERT_EQ(0, TextBuffer_Append(&buf_, std::string(127, 'x').c_str()));
  ASSERT_EQ(2u, g_allocs.size()) << "127 characters replace the block";
  EXPECT_EQ(128u, g_allocs[1]);
  EXPECT_EQ(128, buf_.capacity);

  TextBuffer_Clear(&buf_);
  ASSERT_EQ(0, TextBuffer_Append(&buf_, std::string(128, 'y').c_str()));
  EXPECT_EQ(256, buf_.capacity);
  EXPECT_EQ(128, buf_.length);
  EXPECT_EQ(std::string(128, 'y'), buf_.data);
}

TEST_F(TextBufferTest, AppendsFormattedTextAndIntegers) {
  ASSERT_EQ(0, TextBuffer_AppendFormat(&buf_, "%s\\%s", "Vexo", "Pay"));
  ASSERT_EQ(0, TextBuffer_AppendInt(&buf_, -42));
  EXPECT_STREQ("Vexo\\Pay-42", buf_.data);
  EXPECT_EQ(11, buf_.length);
  ASSERT_EQ(0, TextBuffer_Assign(&buf_, "new"));
  EXPECT_STREQ("new", buf_.data);
  EXPECT_EQ(3, buf_.length);
}

TEST_F(TextBufferTest, FormattedOutputBeyondTheWorkAreaIsRefusedWhole) {
  ASSERT_EQ(0, TextBuffer_Append(&buf_, "keep"));
  const std::string fits(TEXT_BUFFER_FORMAT_AREA - 1, 'f');
  const std::string tooLong(TEXT_BUFFER_FORMAT_AREA, 'g');
  EXPECT_EQ(ERR_TOO_SMALL, TextBuffer_AppendFormat(&buf_, "%s", tooLong.c_str()));
  EXPECT_STREQ("keep", buf_.data) << "nothing of a refused text is appended";
  EXPECT_EQ(0, TextBuffer_AppendFormat(&buf_, "%s", fits.c_str()));
  EXPECT_EQ(4 + TEXT_BUFFER_FORMAT_AREA - 1, buf_.length);
  EXPECT_EQ(0, buf_.failed);
}

TEST_F(TextBufferTest, AllocationFailureKeepsTextAndBlocksFurtherUse) {
  ASSERT_EQ(0, TextBuffer_Append(&buf_, "kept"));
  g_failNext = true;
  EXPECT_EQ(ERR_NO_MEMORY, TextBuffer_Append(&buf_, std::string(300, 'z').c_str()));
  EXPECT_EQ(1, buf_.failed);
  EXPECT_STREQ("kept", buf_.data) << "the old block and text stay";
  g_failNext = false;
  EXPECT_EQ(ERR_NO_MEMORY, TextBuffer_Append(&buf_, "x"));
  EXPECT_EQ(ERR_NO_MEMORY, TextBuffer_Clear(&buf_));
  EXPECT_EQ(ERR_NO_MEMORY, TextBuffer_AppendFormat(&buf_, "%d", 1));
}

TEST(TextBuffer, InitFailureLeavesNoBlock) {
  g_failNext = true;
  TextBuffer buf;
  EXPECT_EQ(ERR_NO_MEMORY, TextBuffer_Init(&buf, 8196, CountingAlloc, free));
  g_failNext = false;
  EXPECT_EQ(nullptr, buf.data);
  EXPECT_EQ(-1, buf.capacity);
  EXPECT_EQ(1, buf.failed);
  EXPECT_EQ(ERR_NO_MEMORY, TextBuffer_Append(&buf, "x"));
  TextBuffer_Release(&buf);
}

TEST(TextBuffer, AssignFromItsOwnTextIsSafe) {
  TextBuffer buf;
  ASSERT_EQ(0, TextBuffer_Init(&buf, 0, nullptr, nullptr));
  ASSERT_EQ(0, TextBuffer_Append(&buf, "prefix-tail"));
  ASSERT_EQ(0, TextBuffer_Assign(&buf, buf.data + 7));
  EXPECT_STREQ("tail", buf.data);
  TextBuffer_Release(&buf);
  EXPECT_EQ(-1, buf.capacity);
  EXPECT_EQ(nullptr, buf.data);
}

}  // namespace
