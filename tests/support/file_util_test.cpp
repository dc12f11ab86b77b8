#include "support/file_util.h"

#include <gtest/gtest.h>

#include <string>

#include "common/scratch_dir.h"
#include "support/status.h"

namespace {

class FileUtilTest : public ScratchDirTest {};

TEST_F(FileUtilTest, ReadLineCutsOverLongLinesWithOrWithoutSkipping) {
  const std::string longLine(100, 'L');
  WriteBytes(Path("lines.txt"), longLine + "\nnext\r\n\nlast");
  char buf[64];
  FILE* f = fopen(Path("lines.txt").c_str(), "r");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(63, File_ReadLine(f, buf, sizeof buf, READLINE_SKIP_REST));
  EXPECT_EQ(longLine.substr(0, 63), buf);
  EXPECT_EQ(4, File_ReadLine(f, buf, sizeof buf, READLINE_SKIP_REST));
  EXPECT_STREQ("next", buf) << "CR and LF at the end are dropped";
  EXPECT_EQ(0, File_ReadLine(f, buf, sizeof buf, 0)) << "an empty line gives 0, not -1";
  EXPECT_EQ(4, File_ReadLine(f, buf, sizeof buf, 0));
  EXPECT_STREQ("last", buf);
  EXPECT_EQ(-1, File_ReadLine(f, buf, sizeof buf, 0));
  fclose(f);

  f = fopen(Path("lines.txt").c_str(), "r");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(63, File_ReadLine(f, buf, sizeof buf, 0));
  EXPECT_EQ(37, File_ReadLine(f, buf, sizeof buf, 0)) << "without skipping the rest comes next";
  EXPECT_EQ(longLine.substr(0, 37), buf);
  fclose(f);
}

TEST_F(FileUtilTest, ReadLineRefusesUnusableBuffers) {
  char buf[4] = "xyz";
  EXPECT_EQ(-1, File_ReadLine(nullptr, buf, sizeof buf, 0));
  EXPECT_EQ('\0', buf[0]);
  EXPECT_EQ(-1, File_ReadLine(stdin, buf, 1, 0));
  EXPECT_EQ(-1, File_ReadLine(stdin, nullptr, 10, 0));
}

TEST_F(FileUtilTest, ReadAllTakesExactlyTheCapacity) {
  WriteBytes(Path("eight"), "12345678");
  char buf[8];
  EXPECT_EQ(8, File_ReadAll(Path("eight").c_str(), buf, 8));
  EXPECT_EQ(0, memcmp(buf, "12345678", 8));
  WriteBytes(Path("nine"), "123456789");
  EXPECT_EQ(ERR_FILE_TOO_BIG, File_ReadAll(Path("nine").c_str(), buf, 8));
  EXPECT_EQ(ERR_NO_FILE, File_ReadAll(Path("missing").c_str(), buf, 8));
  EXPECT_EQ(ERR_NO_FILE, File_ReadAll(nullptr, buf, 8));
  WriteBytes(Path("empty"), "");
  EXPECT_EQ(0, File_ReadAll(Path("empty").c_str(), buf, 8));
}

TEST_F(FileUtilTest, MakeDirsCreatesEveryLevelAndToleratesExisting) {
  const std::string path = Path("a/b/c");
  EXPECT_EQ(0, File_MakeDirs(path.c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(Path("a/b/c")));
  EXPECT_EQ(0, File_MakeDirs(path.c_str())) << "existing directories are no error";
  EXPECT_EQ(0, File_MakeDirs((Path("x/y") + "/").c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(Path("x/y")));
}

TEST_F(FileUtilTest, MakeDirsFailsUnderAFileAndRefusesOverlongPrefixes) {
  WriteBytes(Path("file"), "x");
  EXPECT_EQ(ERR_MKDIR, File_MakeDirs(Path("file/sub").c_str()));
  EXPECT_EQ(ERR_MKDIR, File_MakeDirs(nullptr));
  EXPECT_EQ(ERR_MKDIR, File_MakeDirs(""));

  // A level whose prefix does not fit 255 characters is refused before anything is created.
  const std::string deep = Path("first/") + std::string(260 - Path("first/").size(), 'n') + "/leaf";
  EXPECT_EQ(ERR_MKDIR, File_MakeDirs(deep.c_str()));
  EXPECT_FALSE(Exists(Path("first")));
}

TEST_F(FileUtilTest, WriteAllUsesTextModeAndReportsFailures) {
  const char data[] = "one\ntwo\n";
  EXPECT_EQ(8, File_WriteAll(Path("t.txt").c_str(), data, 8));
#if defined(_WIN32)
  EXPECT_EQ("one\r\ntwo\r\n", ReadBytes(Path("t.txt"))) << "text mode stores LF as CR LF";
#else
  EXPECT_EQ("one\ntwo\n", ReadBytes(Path("t.txt")));
#endif
  EXPECT_EQ(-1, File_WriteAll(nullptr, data, 8));
  EXPECT_EQ(-1, File_WriteAll(Path("no/such/dir/t.txt").c_str(), data, 8));
  EXPECT_EQ(ERR_NO_FILE, File_Write(nullptr, data, 8));
}

TEST_F(FileUtilTest, RemoveReportsMissingPathAndFile) {
  WriteBytes(Path("gone"), "x");
  EXPECT_EQ(0, File_Remove(Path("gone").c_str()));
  EXPECT_FALSE(Exists(Path("gone")));
  EXPECT_EQ(ERR_REMOVE, File_Remove(Path("gone").c_str()));
  EXPECT_EQ(ERR_NO_FILE, File_Remove(nullptr));
}

TEST(TimeFormat, FormatsLocalTimeIntoSharedOrOwnBuffer) {
  char* first = Time_Format(nullptr, "%Y", -1, 0);
  char* second = Time_Format(nullptr, "%m", -1, 0);
  EXPECT_EQ(first, second) << "the shared buffer is the same every time";
  char own[128];
  EXPECT_EQ(own, Time_Format(own, "%Y/%m/%d %H:%M:%S", -1, sizeof own));
  EXPECT_EQ(19u, strlen(own));
  EXPECT_EQ('/', own[4]);
  EXPECT_EQ(':', own[13]);
  // Noon UTC on 2026-12-08 is that date in every zone from UTC-11 to UTC+11.
  EXPECT_STREQ("2026/12/08", Time_Format(own, "%Y/%m/%d", 1796731200, sizeof own));
  char tiny[4];
  EXPECT_STREQ("", Time_Format(tiny, "%Y/%m/%d", 0, sizeof tiny)) << "output that does not fit is empty";
}

}  // namespace
