// The Firefox preference check: the scan of prefs.js and the answers for the profile found.
#include <gtest/gtest.h>
#include <stdio.h>

#include <filesystem>
#include <string>

#include "common/scratch_dir.h"
#include "modules/browser_prefs.h"
#include "modules/install_location.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

const std::string kPref = PLUGIN_PREF_NAME;

class ScanPrefsFileTest : public ScratchDirTest {
 protected:
  int Scan(const std::string& text) {
    WriteBytes(Path("prefs.js"), text);
    FILE* file = fopen(Path("prefs.js").c_str(), "r");
    if (file == nullptr) return 99;
    const int found = ScanPrefsFile(file, PLUGIN_PREF_NAME);
    fclose(file);
    return found;
  }
};

TEST_F(ScanPrefsFileTest, PreferenceSetToFalseIsFound) {
  EXPECT_EQ(0, Scan("# Mozilla User Preferences\nuser_pref(\"" + kPref + "\", false);\n"));
  EXPECT_EQ(0, Scan("user_pref(\"" + kPref + "\", false);"));  // no line end at the end of the file
}

TEST_F(ScanPrefsFileTest, TrueOrSeparateLinesOrOtherCaseAreNotFound) {
  EXPECT_EQ(-1, Scan("user_pref(\"" + kPref + "\", true);\n"));
  EXPECT_EQ(-1, Scan("user_pref(\"" + kPref + "\",\nfalse);\n"));
  EXPECT_EQ(-1, Scan("user_pref(\"" + kPref + "\", FALSE);\n"));
  EXPECT_EQ(-1, Scan(""));
}

TEST_F(ScanPrefsFileTest, BothTextsAnywhereOnTheLineMatchWhateverItMeans) {
  EXPECT_EQ(0, Scan("// false " + kPref + "\n"));
}

// Only the first 63 characters of a line are examined.
TEST_F(ScanPrefsFileTest, FalseEndingAtTheSixtyThirdCharacterIsTheLastThatCounts) {
  const std::string lead = kPref + std::string(63 - kPref.size() - 5, ' ');
  ASSERT_EQ(58u, lead.size());
  EXPECT_EQ(0, Scan(lead + "false\n"));
  EXPECT_EQ(-1, Scan(lead + " false\n"));
}

TEST_F(ScanPrefsFileTest, RestOfALongLineIsNotReadAsANewLine) {
  const std::string rest = kPref + ", false";
  EXPECT_EQ(-1, Scan(std::string(70, '/') + rest + "\nnext line\n"));
  EXPECT_EQ(0, Scan(std::string(70, '/') + "\n" + rest + "\n"));
}

// The preference check over a Firefox folder of the test's own (natively below a home folder in
// the scratch folder; on Windows the user's roaming folder, with any existing Firefox folder moved
// aside and put back).
class CheckFirefoxPrefsTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    firefox_ = TestEnv_FirefoxDir(env_, fs::absolute(dir_).string());
    saved_ = firefox_ + ".saved-by-modules-tests";
    parentExisted_ = fs::exists(fs::path(firefox_).parent_path());
    if (fs::exists(firefox_)) fs::rename(firefox_, saved_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(firefox_, ignored);
    if (fs::exists(saved_)) fs::rename(saved_, firefox_, ignored);
    if (!parentExisted_) fs::remove(fs::path(firefox_).parent_path(), ignored);
    env_.Restore();
    ScratchDirTest::TearDown();
  }

  void Put(const std::string& relative, const std::string& text) {
    const fs::path path = fs::path(firefox_) / fs::path(relative).make_preferred();
    fs::create_directories(path.parent_path());
    WriteBytes(path.string(), text);
  }
  std::string Check() {
    char out[2048];
    memset(out, 'z', sizeof out);
    EXPECT_EQ(0, CheckFirefoxPrefs(out, sizeof out));
    return out;
  }

  static std::string Prefs(const char* value) { return "user_pref(\"" + kPref + "\", " + value + ");\n"; }

  EnvOverride env_;
  std::string firefox_, saved_;
  bool parentExisted_ = false;
};

TEST_F(CheckFirefoxPrefsTest, NoFirefoxAnswersSucc) { EXPECT_EQ("SUCC", Check()); }

TEST_F(CheckFirefoxPrefsTest, FirstProfileDecides) {
  Put("profiles.ini", "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\nIsRelative=1\n"
                      "Path=Profiles/abc.default\n");
  Put("Profiles/abc.default/prefs.js", "user_pref(\"other\", 1);\n" + Prefs("false"));
  EXPECT_EQ("SUCC", Check());
  Put("Profiles/abc.default/prefs.js", Prefs("true"));
  EXPECT_EQ("FAIL", Check());
  Put("Profiles/abc.default/prefs.js", "user_pref(\"other\", false);\n");
  EXPECT_EQ("FAIL", Check());
}

TEST_F(CheckFirefoxPrefsTest, WithoutProfileListOrPathTheDefaultProfileIsRead) {
  Put("Profiles/ll7i14wu.default/prefs.js", Prefs("true"));
  EXPECT_EQ("FAIL", Check());
  Put("profiles.ini", "[Profile0]\nName=default\n");
  EXPECT_EQ("FAIL", Check());
  Put("Profiles/ll7i14wu.default/prefs.js", Prefs("false"));
  EXPECT_EQ("SUCC", Check());
}

TEST_F(CheckFirefoxPrefsTest, LaterProfilesAreNeverRead) {
  Put("profiles.ini", "[Profile1]\nPath=second\n[Profile0]\nPath=first\n[Profile2]\nPath=third\n");
  Put("second/prefs.js", Prefs("true"));
  Put("third/prefs.js", Prefs("true"));
  EXPECT_EQ("SUCC", Check());  // first has no prefs.js
  Put("first/prefs.js", Prefs("true"));
  Put("second/prefs.js", Prefs("false"));
  EXPECT_EQ("FAIL", Check());
}

TEST_F(CheckFirefoxPrefsTest, AbsoluteProfilePathCannotBeOpened) {
  const std::string elsewhere = fs::absolute(Path("elsewhere")).string();
  Put("profiles.ini", "[Profile0]\nIsRelative=0\nPath=" + elsewhere + "\n");
  fs::create_directories(elsewhere);
  WriteBytes(elsewhere + PATH_SEPARATOR + "prefs.js", Prefs("true"));
  EXPECT_EQ("SUCC", Check());
}

// A prefs.js path over 255 characters is not opened, not even when its first 255 characters name
// a file.
TEST_F(CheckFirefoxPrefsTest, PathTooLongForItsBufferCountsAsUnopenable) {
  const std::string lead(255 - firefox_.size() - 1 - sizeof "/prefs.js" + 1, 'p');
  Put(lead + "/prefs.js", Prefs("true"));
  Put("profiles.ini", "[Profile0]\nPath=" + lead + "/prefs.js/deeper\n");
  EXPECT_EQ("SUCC", Check());
}

}  // namespace
