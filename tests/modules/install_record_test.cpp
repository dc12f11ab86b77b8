// Installing the fetched version table as the local one, byte for byte.
#include <gtest/gtest.h>
#include <time.h>

#include <filesystem>
#include <regex>
#include <string>

#include "common/scratch_dir.h"
#include "modules/install_location.h"
#include "modules/install_record.h"
#include "modules/version_table.h"
#include "support/status.h"
#include "test_env.h"

namespace {

std::string LocalNow() {
  char text[64] = {};
  const time_t now = time(nullptr);
  strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", localtime(&now));
  return text;
}

// What a text-mode write of text leaves on disk.
std::string OnDisk(const std::string& text) {
  if (!kTextModeAddsCr) return text;
  std::string stored;
  for (char c : text) {
    if (c == '\n') stored += '\r';
    stored += c;
  }
  return stored;
}

class InstallRecordTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    moduleDir_ = std::filesystem::absolute(dir_).string();
    std::filesystem::create_directory(moduleDir_ + PATH_SEPARATOR + "temp");
    fetched_ = moduleDir_ + PATH_SEPARATOR + "temp" + PATH_SEPARATOR + "MirovanVer.tbl.tmp";
    local_ = moduleDir_ + PATH_SEPARATOR + "MirovanVer.tbl";
  }

  // Installs table and checks the local table: the table, CR LF, a stamp of the call's time, CR LF,
  // the description line, CR LF, as a text-mode write stores them.
  void ExpectInstalled(const std::string& table) {
    WriteBytes(fetched_, table);
    const std::string before = LocalNow();
    const int written = WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str());
    const std::string after = LocalNow();

    const std::string record = table + "\r\n" + "0000/00/00 00:00:00\r\n" + "Description=installed successfully\r\n";
    EXPECT_EQ(static_cast<int>(record.size()), written);
    EXPECT_FALSE(Exists(fetched_));
    const std::string stored = ReadBytes(local_);
    const std::string head = OnDisk(table + "\r\n");
    const std::string tail = OnDisk("\r\nDescription=installed successfully\r\n");
    ASSERT_EQ(OnDisk(record).size(), stored.size());
    EXPECT_EQ(head, stored.substr(0, head.size()));
    EXPECT_EQ(tail, stored.substr(stored.size() - tail.size()));
    const std::string stamp = stored.substr(head.size(), 19);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"))) << stamp;
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
  }

  std::string moduleDir_, fetched_, local_;
};

TEST_F(InstallRecordTest, HundredByteTableGetsTheStampAndTheDescription) {
  std::string table = "[FILE_LIST]\nListCount=1\n1=MVcontrol70.dll\n[MVcontrol70.dll]\nURL=f.gz\nVersion=1\n";
  table += std::string(100 - table.size() - 1, ';') + "\n";
  ASSERT_EQ(100u, table.size());
  ExpectInstalled(table);
}

TEST_F(InstallRecordTest, EmptyTableBecomesALineBreakStampAndDescription) { ExpectInstalled(""); }

TEST_F(InstallRecordTest, TableOfExactlyTheLimitIsInstalledWhole) {
  ExpectInstalled(std::string(INSTALL_RECORD_MAX_TABLE - 1, 'x') + "\n");
}

TEST_F(InstallRecordTest, StoredLineEndsAreCrCrLfWhereTextModeAddsCr) {
  WriteBytes(fetched_, "[FILE_LIST]\r\n");
  ASSERT_GT(WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()), 0);
  const std::string stored = ReadBytes(local_);
  const char* lineEnd = kTextModeAddsCr ? "[FILE_LIST]\r\r\n\r\r\n" : "[FILE_LIST]\r\n\r\n";
  EXPECT_EQ(0u, stored.find(lineEnd));
  EXPECT_EQ(std::string::npos, stored.find("\r\r\r"));
}

TEST_F(InstallRecordTest, SecondRunFindsNothingAndChangesNothing) {
  WriteBytes(fetched_, "[FILE_LIST]\nListCount=0\n");
  ASSERT_GT(WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()), 0);
  const std::string first = ReadBytes(local_);
  EXPECT_EQ(0, WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()));
  EXPECT_EQ(first, ReadBytes(local_));
}

TEST_F(InstallRecordTest, TableOverTheLimitIsRefusedAndLeftInTemp) {
  const std::string big(INSTALL_RECORD_MAX_TABLE + 1, 'x');
  WriteBytes(fetched_, big);
  WriteBytes(local_, "old local table\n");
  EXPECT_EQ(0, WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()));
  EXPECT_EQ(big, ReadBytes(fetched_));
  EXPECT_EQ("old local table\n", ReadBytes(local_));
  EXPECT_EQ(0, WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()));  // refused again next time
  EXPECT_TRUE(Exists(fetched_));
}

TEST_F(InstallRecordTest, LocalTableThatCannotBeCreatedGivesMinusOne) {
  WriteBytes(fetched_, "[FILE_LIST]\n");
  std::filesystem::create_directory(local_);  // a folder where the table belongs
  EXPECT_EQ(-1, WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()));
  EXPECT_FALSE(Exists(fetched_));
  EXPECT_TRUE(std::filesystem::is_directory(local_));
}

TEST_F(InstallRecordTest, NoModuleDirectoryInstallsNothing) {
  WriteBytes(fetched_, "[FILE_LIST]\n");
  EXPECT_EQ(0, WriteInstallRecord("", fetched_.c_str()));
  EXPECT_EQ(0, WriteInstallRecord(nullptr, fetched_.c_str()));
  char path[256] = "stale";
  EXPECT_EQ(ERR_TOO_SMALL, FetchedTablePath("", path, sizeof path));
  EXPECT_STREQ("", path);
}

// A failed update run drops its fetched table, so the old local table stays as it was.
TEST_F(InstallRecordTest, DiscardedTableIsNotInstalled) {
  WriteBytes(fetched_, "[FILE_LIST]\nListCount=1\n");
  WriteBytes(local_, "old local table\n");
  EXPECT_EQ(0, DiscardFetchedTable(fetched_.c_str()));
  EXPECT_FALSE(Exists(fetched_));
  EXPECT_EQ(0, WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()));
  EXPECT_EQ("old local table\n", ReadBytes(local_));
  EXPECT_EQ(ERR_REMOVE, DiscardFetchedTable(fetched_.c_str()));
}

// The installed table reads like the fetched one: the stamp and description lines fall into the
// last section, where the section's own Description comes first.
TEST_F(InstallRecordTest, InstalledTableReadsLikeTheFetchedOne) {
  WriteBytes(fetched_,
             "[FILE_LIST]\r\nListCount=2\r\n1=a.dll\r\n2=b.dll\r\n[a.dll]\r\nURL=a.gz\r\nVersion=1.0\r\n"
             "[b.dll]\r\nURL=b.gz\r\nVersion=2.0\r\nDescription=4");
  ASSERT_GT(WriteInstallRecord(moduleDir_.c_str(), fetched_.c_str()), 0);
  FileEntry list[FILE_TABLE_MAX_ENTRIES] = {};
  ASSERT_EQ(2, ReadVersionTable(local_.c_str(), list));
  EXPECT_STREQ("a.dll", list[0].file_name);
  EXPECT_STREQ("1.0", list[0].version);
  EXPECT_STREQ("b.gz", list[1].url);
  EXPECT_STREQ("2.0", list[1].version);
  EXPECT_EQ(4, list[1].description_number);
}

}  // namespace
