#include "support/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "common/scratch_dir.h"
#include "support/status.h"

namespace {

class ProfileTest : public ScratchDirTest {
 protected:
  std::string Get(const char* section, const char* key, int* code, const std::string& text,
                  const char* def = "DEF", int capacity = 400) {
    WriteBytes(Path("p.ini"), text);
    std::string out(static_cast<size_t>(capacity), '#');
    *code = Profile_GetString(section, key, def, &out[0], capacity, Path("p.ini").c_str());
    return out.c_str();
  }
};

TEST_F(ProfileTest, HeadsAreFoundWithSpacesAndWithoutCase) {
  int code;
  EXPECT_EQ("3", Get("FILE_LIST", "n", &code, "[  FILE_LIST  ]\nn=3\n"));
  EXPECT_EQ(0, code);
  EXPECT_EQ("4", Get("FILE_LIST", "N", &code, "[file_list] trailing\nn = 4\n"));
  EXPECT_EQ("5", Get("S", "k", &code, "[S\x1F]\nk=5\n")) << "control bytes before ']' are dropped";
  EXPECT_EQ("DEF", Get("S", "k", &code, "[S\nk=6\n"));
  EXPECT_EQ(ERR_PROFILE_SECTION, code) << "no ']' means no head";
}

TEST_F(ProfileTest, ValuesStopAtCommentsAndLoseSurroundingSpace) {
  int code;
  EXPECT_EQ("Profiles/x", Get("Profile0", "Path", &code, "[Profile0]\nPath = Profiles/x ; note\n"));
  EXPECT_EQ("", Get("S", "k", &code, "[S]\nk=\n"));
  EXPECT_EQ(0, code) << "an empty value is a value; the default is not used";
  EXPECT_EQ("", Get("S", "bare", &code, "[S]\nbare\n"));
  EXPECT_EQ(0, code) << "a line without '=' is a key with an empty value";
  EXPECT_EQ("9", Get("S", "Version", &code, "[S]\n;Version=8\n# Version=7\nVersion=9\n"));
}

TEST_F(ProfileTest, FirstSectionAndFirstKeyWin) {
  int code;
  EXPECT_EQ("1", Get("S", "k", &code, "[S]\nk=1\nk=2\n[S]\nk=3\n"));
  EXPECT_EQ("DEF", Get("S", "only2", &code, "[S]\nk=1\n[S]\nonly2=3\n"));
  EXPECT_EQ(ERR_PROFILE_KEY, code) << "keys of a repeated head are never read";
}

TEST_F(ProfileTest, KeysOutsideTheSectionAreNotFound) {
  int code;
  EXPECT_EQ("DEF", Get("S", "k", &code, "k=0\n[T]\nk=1\n[S]\nj=2\n"));
  EXPECT_EQ(ERR_PROFILE_KEY, code);
  EXPECT_EQ("DEF", Get("Missing", "k", &code, "k=0\n[T]\nk=1\n"));
  EXPECT_EQ(ERR_PROFILE_SECTION, code);
  EXPECT_EQ("DEF", Get("S", "k", &code, "[S]\n[x\nk=1\n")) << "any '[' line ends the section";
  EXPECT_EQ(ERR_PROFILE_KEY, code);
}

TEST_F(ProfileTest, LineLimitsCutHeadsAndValues) {
  int code;
  const std::string longName(70, 'H');
  EXPECT_EQ("DEF", Get(longName.c_str(), "k", &code, "[" + longName + "]\nk=1\n"));
  EXPECT_EQ(ERR_PROFILE_SECTION, code) << "']' beyond the 63rd character is not seen";
  const std::string name62(61, 'h');  // "[" + 61 + "]" = 63 characters
  EXPECT_EQ("1", Get(name62.c_str(), "k", &code, "[" + name62 + "]\nk=1\n"));

  // A 400-character key line yields its first 321 characters less "key=".
  const std::string value(396, 'v');
  EXPECT_EQ(std::string(317, 'v'), Get("S", "key", &code, "[S]\nkey=" + value + "\nnext=1\n"));
  EXPECT_EQ("1", Get("S", "next", &code, "[S]\nkey=" + value + ";x\nnext=1\n")) << "the rest is skipped";

  // A NUL inside a line does not make it look unfinished: the next line is still read.
  using namespace std::string_literals;
  EXPECT_EQ("found", Get("A", "key", &code, "[A]\nx=1\0junk\nkey=found\n"s));
  EXPECT_EQ("2", Get("B", "k", &code, "[A]\0x\n[B]\nk=2\n"s)) << "a NUL cannot hide a head";
}

TEST_F(ProfileTest, CrLfAndLfFilesReadAlike) {
  int code;
  EXPECT_EQ("crlf", Get("S", "k", &code, "[S]\r\nk=crlf\r\n"));
  EXPECT_EQ(0, code);
  EXPECT_EQ("lf", Get("S", "k", &code, "[S]\nk=lf\n"));
  EXPECT_EQ("end", Get("S", "k", &code, "[S]\r\nk=end"));
}

TEST_F(ProfileTest, MissingFileGivesDefaultCutToCapacity) {
  char out[4];
  EXPECT_EQ(ERR_PROFILE_OPEN, Profile_GetString("S", "k", "default", out, sizeof out, Path("none").c_str()));
  EXPECT_STREQ("def", out);
  EXPECT_EQ(ERR_PROFILE_OPEN, Profile_GetString("S", "k", nullptr, out, sizeof out, nullptr));
  EXPECT_STREQ("", out);
  WriteBytes(Path("p.ini"), "[S]\nk=long value\n");
  EXPECT_EQ(0, Profile_GetString("S", "k", nullptr, out, sizeof out, Path("p.ini").c_str()));
  EXPECT_STREQ("lon", out) << "over-long values are cut without error";
}

TEST_F(ProfileTest, GetIntConvertsLikeAtoi) {
  WriteBytes(Path("n.ini"), "[N]\na=12abc\nb=  -7\nc=x\nd=99999999999\n");
  const std::string p = Path("n.ini");
  int32_t v = 0;
  EXPECT_EQ(0, Profile_GetInt("N", "a", 5, &v, p.c_str()));
  EXPECT_EQ(12, v);
  EXPECT_EQ(0, Profile_GetInt("N", "b", 5, &v, p.c_str()));
  EXPECT_EQ(-7, v);
  EXPECT_EQ(0, Profile_GetInt("N", "c", 5, &v, p.c_str()));
  EXPECT_EQ(0, v) << "no digits give 0 with status 0";
  EXPECT_EQ(0, Profile_GetInt("N", "d", 5, &v, p.c_str()));
  EXPECT_EQ(INT32_MAX, v) << "overflow is held at the limit";
  EXPECT_EQ(ERR_PROFILE_KEY, Profile_GetInt("N", "zz", 5, &v, p.c_str()));
  EXPECT_EQ(5, v);
}

TEST_F(ProfileTest, LineNumbersOfHeadAndKey) {
  WriteBytes(Path("l.ini"), "# top\n[A]\nx=1\n\n[B]\n;c\ny=2\n");
  FILE* f = fopen(Path("l.ini").c_str(), "r");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(5, Profile_FindSection(f, "B"));
  char out[8];
  EXPECT_EQ(7, Profile_FindKey(f, "y", out, sizeof out, 5));
  EXPECT_STREQ("2", out);
  fclose(f);
}

}  // namespace
