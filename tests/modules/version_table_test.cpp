// Reading version tables and pairing the gateway's list with the local one.
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "modules/install_location.h"
#include "modules/version_table.h"
#include "support/status.h"

namespace {

constexpr char kGateway[] = "http://127.0.0.1:8080/gw";

bool AllZero(const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// A list of exactly FILE_TABLE_MAX_ENTRIES records on the heap, so that the sanitizers see any
// write past it, followed (natively and on Windows alike) by a guard record that must stay intact.
struct EntryList {
  EntryList() : records(FILE_TABLE_MAX_ENTRIES + 1) { memset(&records[FILE_TABLE_MAX_ENTRIES], 0xAB, sizeof(FileEntry)); }
  FileEntry* data() { return records.data(); }
  FileEntry& operator[](int i) { return records[static_cast<size_t>(i)]; }
  bool GuardIntact() const {
    const unsigned char* guard = reinterpret_cast<const unsigned char*>(&records[FILE_TABLE_MAX_ENTRIES]);
    for (size_t i = 0; i < sizeof(FileEntry); ++i) {
      if (guard[i] != 0xAB) return false;
    }
    return true;
  }
  std::vector<FileEntry> records;
};

class VersionTableTest : public ScratchDirTest {
 protected:
  std::string Table(const std::string& text) {
    const std::string path = Path("MirovanVer.tbl");
    WriteBytes(path, text);
    return path;
  }
  EntryList list_;
};

TEST_F(VersionTableTest, ReadsEveryListedFile) {
  const std::string path = Table(
      "[FILE_LIST]\nListCount=3\n1=MVcontrol70.dll\n2=MVmainUI70.dll\n3=MVcard.dll\n"
      "[MVcontrol70.dll]\nURL=files/MVcontrol70.dll.gz\nVersion=1.0.3\nTarget=ctl\nDescription=0\n"
      "[MVmainUI70.dll]\nURL=files/MVmainUI70.dll.gz\nVersion=2.1\n"
      "[MVcard.dll]\nVersion=7\nDescription=2\n");
  ASSERT_EQ(3, ReadVersionTable(path.c_str(), list_.data()));
  EXPECT_STREQ("MVcontrol70.dll", list_[0].file_name);
  EXPECT_STREQ("files/MVcontrol70.dll.gz", list_[0].url);
  EXPECT_STREQ("1.0.3", list_[0].version);
  EXPECT_STREQ("ctl", list_[0].target);
  EXPECT_STREQ("MVmainUI70.dll", list_[1].file_name);
  EXPECT_STREQ("2.1", list_[1].version);
  EXPECT_STREQ("", list_[1].target);  // a missing key leaves an empty text
  EXPECT_STREQ("MVcard.dll", list_[2].file_name);
  EXPECT_STREQ("", list_[2].url);
  EXPECT_EQ(2, list_[2].description_number);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, list_[i].needs_update);
  EXPECT_TRUE(AllZero(&list_[3], sizeof(FileEntry) * (FILE_TABLE_MAX_ENTRIES - 3)));
}

TEST_F(VersionTableTest, ZeroNegativeOrNonNumericCountReadsNothing) {
  for (const char* count : {"0", "-2", "many", ""}) {
    SCOPED_TRACE(count);
    const std::string path = Table(std::string("[FILE_LIST]\nListCount=") + count +
                                   "\n1=MVcontrol70.dll\n[MVcontrol70.dll]\nVersion=1\n");
    EXPECT_EQ(0, ReadVersionTable(path.c_str(), list_.data()));
    EXPECT_TRUE(AllZero(list_.data(), sizeof(FileEntry) * FILE_TABLE_MAX_ENTRIES));
  }
}

TEST_F(VersionTableTest, MissingFileSectionOrCountGiveTheReaderCode) {
  EXPECT_EQ(ERR_PROFILE_OPEN, ReadVersionTable(Path("absent.tbl").c_str(), list_.data()));
  EXPECT_EQ(ERR_PROFILE_SECTION, ReadVersionTable(Table("[OTHER]\nListCount=1\n").c_str(), list_.data()));
  EXPECT_EQ(ERR_PROFILE_KEY, ReadVersionTable(Table("[FILE_LIST]\n1=a.dll\n").c_str(), list_.data()));
  EXPECT_TRUE(AllZero(list_.data(), sizeof(FileEntry) * FILE_TABLE_MAX_ENTRIES));
}

TEST_F(VersionTableTest, MissingNumberLeavesAnEmptyRecordAndCounts) {
  const std::string path = Table(
      "[FILE_LIST]\nListCount=3\n1=a.dll\n3=c.dll\n[a.dll]\nVersion=1\n[c.dll]\nVersion=3\n");
  ASSERT_EQ(3, ReadVersionTable(path.c_str(), list_.data()));
  EXPECT_STREQ("a.dll", list_[0].file_name);
  EXPECT_TRUE(AllZero(&list_[1], sizeof(FileEntry)));
  EXPECT_STREQ("c.dll", list_[2].file_name);
  EXPECT_STREQ("3", list_[2].version);
}

TEST_F(VersionTableTest, DescriptionReadsAsALeadingNumber) {
  const std::string path = Table(
      "[FILE_LIST]\nListCount=4\n1=a\n2=b\n3=c\n4=d\n"
      "[a]\nDescription=installed successfully\n[b]\nDescription=2\n[c]\nDescription= 2 more words\n[d]\n");
  ASSERT_EQ(4, ReadVersionTable(path.c_str(), list_.data()));
  EXPECT_EQ(0, list_[0].description_number);
  EXPECT_EQ(2, list_[1].description_number);
  EXPECT_EQ(2, list_[2].description_number);
  EXPECT_EQ(0, list_[3].description_number);
}

TEST_F(VersionTableTest, ValuesLongerThanTheirFieldsAreCut) {
  const std::string url(200, 'u'), version(80, 'v'), target(300, 't');
  const std::string path = Table("[FILE_LIST]\nListCount=1\n1=m.dll\n[m.dll]\nURL=" + url + "\nVersion=" +
                                 version + "\nTarget=" + target + "\n");
  ASSERT_EQ(1, ReadVersionTable(path.c_str(), list_.data()));
  EXPECT_EQ(url.substr(0, 127), list_[0].url);
  EXPECT_EQ(version.substr(0, 64), list_[0].version);
  EXPECT_EQ(target.substr(0, 255), list_[0].target);
  EXPECT_EQ(0, list_[0].reserved[0] | list_[0].reserved[1] | list_[0].reserved[2]);
}

TEST_F(VersionTableTest, NameLongerThanItsHeadLineIsListedWithoutItsSection) {
  const std::string name(130, 'n');
  const std::string path =
      Table("[FILE_LIST]\nListCount=1\n1=" + name + "\n[" + name + "]\nVersion=1\nDescription=5\n");
  ASSERT_EQ(1, ReadVersionTable(path.c_str(), list_.data()));
  EXPECT_EQ(name.substr(0, 126), list_[0].file_name);
  EXPECT_STREQ("", list_[0].version);
  EXPECT_EQ(0, list_[0].description_number);
}

TEST_F(VersionTableTest, MoreThanFortyEntriesAreReadToTheFortieth) {
  std::string text = "[FILE_LIST]\nListCount=45\n";
  for (int n = 1; n <= 45; ++n) text += std::to_string(n) + "=f" + std::to_string(n) + ".dll\n";
  for (int n = 1; n <= 45; ++n) text += "[f" + std::to_string(n) + ".dll]\nVersion=" + std::to_string(n) + "\n";
  ASSERT_EQ(FILE_TABLE_MAX_ENTRIES, ReadVersionTable(Table(text).c_str(), list_.data()));
  EXPECT_STREQ("f1.dll", list_[0].file_name);
  EXPECT_STREQ("f40.dll", list_[39].file_name);
  EXPECT_STREQ("40", list_[39].version);
  EXPECT_TRUE(list_.GuardIntact());
}

// Pairing by position against a module directory in the scratch folder.
class CompareFileListsTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    moduleDir_ = std::filesystem::absolute(dir_).string();
  }
  static void Set(FileEntry* e, const char* name, const char* version, const char* url = "x.gz") {
    memset(e, 0, sizeof *e);
    strcpy(e->file_name, name);
    strcpy(e->version, version);
    strcpy(e->url, url);
  }
  void Install(const char* name) { WriteBytes(moduleDir_ + PATH_SEPARATOR + name, "MZ"); }
  int Compare(int remoteCount, int localCount) {
    return CompareFileLists(remote_.data(), remoteCount, local_.data(), localCount, out_.data(),
                            moduleDir_.c_str(), kGateway);
  }
  std::string moduleDir_;
  EntryList remote_, local_, out_;
};

TEST_F(CompareFileListsTest, VersionsDifferingOnlyInCaseAreTheSame) {
  Set(&remote_[0], "MVcontrol70.dll", "1.0a");
  Set(&local_[0], "mvcontrol70.DLL", "1.0A");
  Install("MVcontrol70.dll");
  EXPECT_EQ(0, Compare(1, 1));
  EXPECT_EQ(0, out_[0].needs_update);
  EXPECT_STREQ("MVcontrol70.dll", out_[0].file_name);  // the remote spelling is kept
  EXPECT_STREQ("1.0a", out_[0].version);
}

TEST_F(CompareFileListsTest, MissingFileOrOtherVersionNeedsAnUpdate) {
  Set(&remote_[0], "MVcontrol70.dll", "1.0");
  Set(&local_[0], "MVcontrol70.dll", "1.0");
  Set(&remote_[1], "MVmainUI70.dll", "1.9");  // older than the local one: still different
  Set(&local_[1], "MVmainUI70.dll", "2.0");
  Install("MVmainUI70.dll");
  Compare(2, 2);
  EXPECT_EQ(1, out_[0].needs_update);
  EXPECT_EQ(1, out_[1].needs_update);
}

TEST_F(CompareFileListsTest, ListsArePairedByPosition) {
  const char* names[] = {"a.dll", "b.dll", "c.dll"};
  for (int i = 0; i < 3; ++i) {
    Set(&remote_[i], names[i], "1");
    Set(&local_[2 - i], names[i], "1");
    Install(names[i]);
  }
  Compare(3, 3);
  EXPECT_EQ(1, out_[0].needs_update);
  EXPECT_EQ(0, out_[1].needs_update);  // b.dll stands in the middle of both
  EXPECT_EQ(1, out_[2].needs_update);
}

TEST_F(CompareFileListsTest, NoLocalListOrPositionsBeyondItNeedUpdates) {
  Set(&remote_[0], "a.dll", "1");
  Set(&remote_[1], "b.dll", "1");
  Set(&local_[0], "a.dll", "1");  // the local table lists only a.dll
  Install("a.dll");
  Install("b.dll");
  Compare(2, 1);
  EXPECT_EQ(0, out_[0].needs_update);
  EXPECT_EQ(1, out_[1].needs_update);
  for (int failedRead : {0, static_cast<int>(ERR_PROFILE_OPEN)}) {
    Compare(2, failedRead);
    EXPECT_EQ(1, out_[0].needs_update);
  }
}

TEST_F(CompareFileListsTest, DownloadUrlIsTheGatewayASlashAndTheListedPath) {
  Set(&remote_[0], "a.dll", "1", "plugin/file/a.dll.gz");
  Set(&remote_[1], "b.dll", "1", "");
  Compare(2, 0);
  EXPECT_EQ(std::string(kGateway) + "/plugin/file/a.dll.gz", out_[0].url);
  EXPECT_EQ(std::string(kGateway) + "/", out_[1].url);
}

TEST_F(CompareFileListsTest, WritesOnlyTheRecordsOfTheRemoteCount) {
  Set(&remote_[0], "a.dll", "1");
  strcpy(remote_[0].target, "main");
  remote_[0].description_number = 3;
  memset(&out_[1], 0x5A, sizeof(FileEntry));
  EXPECT_EQ(0, Compare(1, 0));
  EXPECT_STREQ("main", out_[0].target);
  EXPECT_EQ(3, out_[0].description_number);
  EXPECT_EQ(0x5A5A5A5A, out_[1].needs_update);
  memset(&out_[0], 0x5A, sizeof(FileEntry));
  Compare(0, 0);
  Compare(ERR_PROFILE_SECTION, 0);
  EXPECT_EQ(0x5A5A5A5A, out_[0].needs_update);
}

TEST_F(CompareFileListsTest, FullUrlLongerThanItsFieldIsCut) {
  const std::string listed(127, 'p');
  Set(&remote_[0], "a.dll", "1", listed.c_str());
  Compare(1, 0);
  EXPECT_EQ((std::string(kGateway) + "/" + listed).substr(0, 127), out_[0].url);
}

TEST_F(CompareFileListsTest, CountAboveFortyStopsAtTheFortieth) {
  for (int i = 0; i < FILE_TABLE_MAX_ENTRIES; ++i) Set(&remote_[i], "f.dll", "1");
  EXPECT_EQ(0, Compare(45, 0));
  EXPECT_EQ(1, out_[39].needs_update);
  EXPECT_TRUE(out_.GuardIntact());
}

}  // namespace
