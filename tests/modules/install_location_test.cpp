// The directory chain below the install root: levels, module directory, current directory, and the
// names that are refused.
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <set>
#include <string>

#include "common/scratch_dir.h"
#include "modules/install_location.h"
#include "support/status.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

// Every file and folder below dir, relative to it.
std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  if (!fs::exists(dir)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    names.insert(fs::relative(entry.path(), dir).generic_string());
  }
  return names;
}

class InstallLocationTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    home_ = fs::absolute(dir_).string();
    root_ = TestEnv_RedirectInstallRoot(env_, home_);
    fs::create_directories(root_);  // the install root is the system's, expected to exist
    memset(moduleDir_, 'x', sizeof moduleDir_ - 1);  // stale text that every outcome replaces
    moduleDir_[sizeof moduleDir_ - 1] = '\0';
  }
  void TearDown() override {
    cwd_.Restore();  // the scratch folder cannot be removed while it is the current directory
    env_.Restore();
    ScratchDirTest::TearDown();
  }

  std::string Join(std::initializer_list<std::string> levels) const {
    std::string path = root_;
    for (const std::string& level : levels) path += PATH_SEPARATOR + level;
    return path;
  }

  CurrentDirGuard cwd_;
  EnvOverride env_;
  std::string home_;
  std::string root_;
  char moduleDir_[MODULE_DIR_CAPACITY];
};

TEST_F(InstallLocationTest, CreatesTheChainAndEntersTheModuleDirectory) {
  ASSERT_EQ(0, PrepareModuleDir("Mirovan70", moduleDir_, sizeof moduleDir_));
  const std::string expected = Join({"Vexo", "Mirovan70", "ActiveX"});
  EXPECT_EQ(expected, moduleDir_);
  EXPECT_TRUE(fs::is_directory(Join({"Vexo"})));
  EXPECT_TRUE(fs::is_directory(Join({"Vexo", "Mirovan70"})));
  EXPECT_TRUE(fs::is_directory(expected));
  EXPECT_TRUE(fs::is_directory(Join({"Vexo", "Mirovan70", "ActiveX", "temp"})));
  EXPECT_TRUE(fs::equivalent(fs::current_path(), expected));
}

TEST_F(InstallLocationTest, NullNameStandsForMirovan70) {
  ASSERT_EQ(0, PrepareModuleDir(nullptr, moduleDir_, sizeof moduleDir_));
  EXPECT_EQ(Join({"Vexo", "Mirovan70", "ActiveX"}), moduleDir_);
  EXPECT_TRUE(fs::is_directory(Join({"Vexo", "Mirovan70", "ActiveX", "temp"})));
}

TEST_F(InstallLocationTest, EmptyNameLeavesAnEmptyLevel) {
  ASSERT_EQ(0, PrepareModuleDir("", moduleDir_, sizeof moduleDir_));
  const std::string doubled = root_ + PATH_SEPARATOR + "Vexo" + PATH_SEPARATOR + PATH_SEPARATOR + "ActiveX";
  EXPECT_EQ(doubled, moduleDir_);
  EXPECT_TRUE(fs::is_directory(Join({"Vexo", "ActiveX", "temp"})));
  EXPECT_TRUE(fs::equivalent(fs::current_path(), Join({"Vexo", "ActiveX"})));
}

TEST_F(InstallLocationTest, SecondRunChangesNothing) {
  ASSERT_EQ(0, PrepareModuleDir("Mirovan70", moduleDir_, sizeof moduleDir_));
  const std::string first = moduleDir_;
  const std::string kept = Join({"Vexo", "Mirovan70", "ActiveX", "temp", "MirovanVer.tbl.tmp"});
  WriteBytes(kept, "[FILE_LIST]\n");
  const std::set<std::string> before = Listing(root_);

  ASSERT_EQ(0, PrepareModuleDir("Mirovan70", moduleDir_, sizeof moduleDir_));
  EXPECT_EQ(first, moduleDir_);
  EXPECT_EQ(before, Listing(root_));
  EXPECT_EQ("[FILE_LIST]\n", ReadBytes(kept));
}

TEST_F(InstallLocationTest, DotsInsideANameAreAccepted) {
  for (const char* name : {"COM10", "COM0", "Console", "LPT", "xNUL", "AUX_", "CON_1.dll"}) {
    EXPECT_TRUE(IsPlainDirName(name)) << name << " is no device";
  }
  ASSERT_EQ(0, PrepareModuleDir("Mirovan7.0 beta", moduleDir_, sizeof moduleDir_));
  EXPECT_EQ(Join({"Vexo", "Mirovan7.0 beta", "ActiveX"}), moduleDir_);
  EXPECT_TRUE(fs::is_directory(Join({"Vexo", "Mirovan7.0 beta", "ActiveX", "temp"})));
}

// Names that would put the chain outside the maker directory: nothing is created, the module
// directory is cleared and the current directory stays.
TEST_F(InstallLocationTest, NamesLeavingTheMakerDirectoryAreRefused) {
  const char* const refused[] = {"..",     "../x",     "..\\x",   "a/b",  "a\\b", "C:x",
                                 "C:",     "x/../../y", "..\\..\\Windows", ".", ". .", ".. ",
                                 "a..b",
                                 // names Windows maps to devices, in any dress
                                 "CON", "prn", "Aux.dll", "NUL.tar.gz", "com1", "COM9.", "lpt5 .x",
                                 "Lpt1. .", "CONOUT$", "conin$.txt",
                                 // names Windows would change or cannot hold
                                 "Shop.", "Shop ", "Sh*p", "Sh?p", "Sh\"p", "<Shop>", "Sh|p", "Sh\tp"};
  for (const char* name : refused) {
    SCOPED_TRACE(name);
    memset(moduleDir_, 'x', sizeof moduleDir_ - 1);
    EXPECT_EQ(ERR_BAD_DIR_NAME, PrepareModuleDir(name, moduleDir_, sizeof moduleDir_));
    EXPECT_STREQ("", moduleDir_);
    EXPECT_TRUE(Listing(root_).empty());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), cwd_.saved()));
  }
}

// The longest path built in a module directory (the current table while it is written, with the
// widest process id and counter) must fit 255 characters; a name that leaves less room, down to one
// whose temporary directory alone would not fit the buffer, is refused as a whole rather than
// created for a run that could not finish.
TEST_F(InstallLocationTest, ChainLongerThanTheBufferIsRefused) {
  const std::string longest = std::string(1, PATH_SEPARATOR) + "temp" + PATH_SEPARATOR +
                              "MirovanVer.tbl.current.4294967295-4294967295.tmp";
  const size_t fixed = Join({"Vexo", "", "ActiveX"}).size() + longest.size();
  const size_t tempFixed = Join({"Vexo", "", "ActiveX", "temp"}).size();
  ASSERT_LT(fixed, 255u);
  const std::string fits(255 - fixed, 'n');
  for (const size_t length : {256 - tempFixed, 255 - tempFixed, 256 - fixed}) {
    const std::string tooLong(length, 'n');
    EXPECT_EQ(ERR_NO_INSTALL_ROOT, PrepareModuleDir(tooLong.c_str(), moduleDir_, sizeof moduleDir_)) << length;
    EXPECT_STREQ("", moduleDir_);
    EXPECT_TRUE(Listing(root_).empty());
  }
  ASSERT_EQ(0, PrepareModuleDir(fits.c_str(), moduleDir_, sizeof moduleDir_));
  EXPECT_EQ(Join({"Vexo", fits, "ActiveX"}), moduleDir_);
  EXPECT_EQ(255, ModuleDir_LongestPath(static_cast<int>(strlen(moduleDir_))));
  EXPECT_TRUE(fs::is_directory(Join({"Vexo", fits, "ActiveX", "temp"})));
}

}  // namespace
