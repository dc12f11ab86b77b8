// The local gateway's catalog: the version table it builds must read back through the plug-in's own
// profile reader, and what it serves must unpack to the module files (native build only).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "support/gzip_file.h"
#include "support/profile.h"
#include "tools/gateway/module_catalog.h"
#include "tools/gateway/release_keys.h"
#include "tools/gateway/release_pack.h"

namespace {

class Catalog : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    options_.dir = Path("modules");
    std::filesystem::create_directories(options_.dir);
    WriteBytes(options_.dir + "/MVcontrol70.dll", "control module bytes");
    WriteBytes(options_.dir + "/MVmainUI70.dll", std::string(100000, 'm'));
  }
  // Loads the catalog and writes its table where the profile reader can read it.
  void Load() {
    std::string error;
    ASSERT_TRUE(catalog_.Load(options_, &error)) << error;
    WriteBytes(Path("table.tbl"), catalog_.Table());
  }
  std::string Value(const std::string& section, const std::string& key) {
    char out[322];
    const std::string table = Path("table.tbl");
    if (Profile_GetString(section.c_str(), key.c_str(), nullptr, out, sizeof out, table.c_str()) != 0) return "<none>";
    return out;
  }
  // Unpacks what the gateway serves with the plug-in's own unpacking.
  std::string Unpacked(const std::string& gz) {
    WriteBytes(Path("served.gz"), gz);
    const int code = GzipDecompressFile(Path("served.gz").c_str(), Path("served").c_str());
    return code == 0 ? ReadBytes(Path("served")) : "<code " + std::to_string(code) + ">";
  }

  GatewayOptions options_;
  ModuleCatalog catalog_;
};

TEST_F(Catalog, TableListsTheFolderInNameOrder) {
  WriteBytes(options_.dir + "/MirovanVer.tbl", "a table lying in the folder is not a module");
  Load();
  EXPECT_EQ(Value("FILE_LIST", "ListCount"), "2");
  EXPECT_EQ(Value("FILE_LIST", "1"), "MVcontrol70.dll");
  EXPECT_EQ(Value("FILE_LIST", "2"), "MVmainUI70.dll");
  EXPECT_EQ(Value("MVmainUI70.dll", "URL"), "plugin/file/MVmainUI70.dll");
  EXPECT_EQ(Value("MVmainUI70.dll", "Description"), "0");
  EXPECT_EQ(Value("MVmainUI70.dll", "Target"), "");
  EXPECT_EQ(catalog_.Table().find("\n") - 1, catalog_.Table().find("\r\n")) << "CR LF line ends";
}

TEST_F(Catalog, ServedFilesUnpackToTheModules) {
  Load();
  const ServedFile* main = catalog_.Find("MVmainUI70.dll");
  ASSERT_NE(main, nullptr);
  EXPECT_LT(main->gz.size(), main->raw.size());
  EXPECT_EQ(Unpacked(main->gz), std::string(100000, 'm'));
  EXPECT_EQ(Unpacked(DamageGzip(main->gz)), "<code -3>");
  EXPECT_EQ(catalog_.Find("MirovanVer.tbl"), nullptr);
  EXPECT_EQ(catalog_.Find("../MVmainUI70.dll"), nullptr);
}

TEST_F(Catalog, VersionFollowsTheContentUnlessGiven) {
  Load();
  const std::string before = Value("MVcontrol70.dll", "Version");
  WriteBytes(options_.dir + "/MVcontrol70.dll", "control module bytes, rebuilt");
  catalog_ = ModuleCatalog();
  Load();
  EXPECT_NE(Value("MVcontrol70.dll", "Version"), before);
  EXPECT_EQ(Value("MVcontrol70.dll", "Version").size(), 8u);

  options_.versions["MVcontrol70.dll"] = "7.0.0.1";
  options_.targets["MVcontrol70.dll"] = "system";
  options_.descriptions["MVmainUI70.dll"] = "2 optional";
  catalog_ = ModuleCatalog();
  Load();
  EXPECT_EQ(Value("MVcontrol70.dll", "Version"), "7.0.0.1");
  EXPECT_EQ(Value("MVcontrol70.dll", "Target"), "system");
  EXPECT_EQ(Value("MVmainUI70.dll", "Description"), "2 optional");
}

TEST_F(Catalog, SwitchesForTableFaults) {
  options_.reverse = true;
  options_.extraEntries = 40;
  options_.badNames = {"..\\escape.dll"};
  Load();
  EXPECT_EQ(Value("FILE_LIST", "ListCount"), "43");  // more than a file table holds
  EXPECT_EQ(Value("FILE_LIST", "1"), "MVmainUI70.dll");
  EXPECT_EQ(Value("FILE_LIST", "2"), "MVcontrol70.dll");
  EXPECT_EQ(Value("FILE_LIST", "42"), "extra40.dll");
  EXPECT_EQ(Value("FILE_LIST", "43"), "..\\escape.dll");
  EXPECT_EQ(Value("..\\escape.dll", "URL"), "plugin/file/escape1.bin");
  ASSERT_NE(catalog_.Find("escape1.bin"), nullptr);
  ASSERT_NE(catalog_.Find("extra40.dll"), nullptr);
}

TEST_F(Catalog, MissingFolderIsReported) {
  options_.dir = Path("no-such-folder");
  std::string error;
  EXPECT_FALSE(catalog_.Load(options_, &error));
  EXPECT_NE(error.find("no-such-folder"), std::string::npos);
}

// --- vexo-gateway pack ---

TEST_F(Catalog, PackIsDeterministicAndTakesVersionsFromManifestOrResource) {
  // A Windows file whose version resource says 7.0.0.1 (the fixed file information after the key).
  std::string pe = "MZ" + std::string(64, '\0');
  const char key[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";
  pe += std::string("\x5c\x03\x34\x00\x00\x00", 6) + std::string(key, sizeof key) + std::string(2, '\0');
  pe += std::string("\xbd\x04\xef\xfe\x00\x00\x01\x00\x00\x00\x07\x00\x01\x00\x00\x00", 16);
  WriteBytes(options_.dir + "/MVmainUI70.dll", pe);
  WriteBytes(options_.dir + "/pack.ini", "[MVcontrol70.dll]\r\nVersion=1.2\r\nTarget=system\r\n");
  PackOptions pack;
  pack.source = options_.dir;
  std::vector<PackedFile> files, again;
  std::string table, tableAgain, error;
  ASSERT_TRUE(Pack_Build(pack, &files, &table, &error)) << error;
  ASSERT_TRUE(Pack_Build(pack, &again, &tableAgain, &error)) << error;
  EXPECT_EQ(table, tableAgain);
  ASSERT_EQ(2u, files.size()) << "the manifest is no module";
  EXPECT_EQ(files[0].gz, again[0].gz) << "the same bytes, the same gzip file";
  EXPECT_EQ("1.2", files[0].version);
  EXPECT_EQ("system", files[0].target);
  EXPECT_EQ("7.0.0.1", files[1].version);
  EXPECT_EQ(Unpacked(files[1].gz), pe);
}

TEST_F(Catalog, PackRefusesNamesThePluginWouldRefuse) {
  PackOptions pack;
  pack.source = options_.dir;
  const std::string refused[] = {"C:escape.dll", "a..b.dll", "two words.dll", std::string(62, 'n')};
  for (const std::string& name : refused) {
    WriteBytes(options_.dir + "/" + name, "module");
    std::vector<PackedFile> files;
    std::string table, error;
    EXPECT_FALSE(Pack_Build(pack, &files, &table, &error)) << name;
    EXPECT_NE(std::string::npos, error.find(name)) << error;
    std::filesystem::remove(options_.dir + "/" + name);
  }
}

// --- the operator commands around keys ---

// Every command refuses bad input with a non-zero exit and leaves the release folder as it was.
TEST_F(Catalog, OperatorCommandsRefuseBadInputAndWriteNothing) {
  namespace fs = std::filesystem;
  const std::string k = Path("keys"), out = Path("release");
  fs::create_directories(k);
  // Runs a command of vexo-gateway with its words: the exit status.
  const auto run = [](std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    const std::string command = words[0];
    int (*entry)(int, char**) = command == "keygen"        ? Keygen_Run
                              : command == "keylist"     ? KeyList_Run
                              : command == "rotate-root" ? RotateRoot_Run
                              : command == "pack"        ? Pack_Run
                                                         : Verify_Run;
    return entry(static_cast<int>(argv.size()), argv.data());
  };
  for (const char* name : {"root", "release", "other"}) ASSERT_EQ(0, run({"keygen", "--out", k + "/" + name}));
  ASSERT_EQ(0, run({"keylist", "--root", k + "/root.pem", "--version", "1", "--expires", "30", "--key",
                    k + "/release.pub.pem", out}));
  ASSERT_EQ(0, run({"pack", "--sign", k + "/release.pem", "--serial", "1", "--expires", "30", options_.dir, out}));
  ASSERT_EQ(0, run({"verify", "--root", k + "/root.pub.pem", out}));
  const auto snapshot = [&] {
    std::string all;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(out))
      all += e.path().string() + "=" + (e.is_regular_file() ? ReadBytes(e.path().string()) : "") + "\n";
    return all;
  };
  const std::string before = snapshot();
  const std::vector<std::vector<std::string>> refused = {
      {"keygen", "--out", k + "/release"},  // never overwrites a key
      {"keylist", "--root", k + "/root.pem", "--version", "1", "--expires", "30", "--key", k + "/release.pub.pem", out},
      {"keylist", "--root", k + "/root.pem", "--version", "2", "--expires", "30", "--key", k + "/root.pub.pem", out},
      {"keylist", "--root", k + "/root.pem", "--version", "2", "--expires", "0", "--key", k + "/release.pub.pem", out},
      {"pack", "--sign", k + "/other.pem", "--serial", "2", "--expires", "30", options_.dir, out},
      {"pack", "--sign-command", "false", "--serial", "2", "--expires", "30", options_.dir, out},
      {"pack", "--sign", k + "/release.pem", "--serial", "2", options_.dir, out},
      {"rotate-root", "--old", k + "/root.pem", "--new", k + "/root.pem", out},
      {"verify", "--root", k + "/other.pub.pem", out},
  };
  for (const std::vector<std::string>& words : refused) {
    std::string line;
    for (const std::string& w : words) line += w + " ";
    EXPECT_NE(0, run(words)) << line;
    EXPECT_EQ(before, snapshot()) << line;
  }
  // After a root rotation only the new root signs key lists.
  ASSERT_EQ(0, run({"rotate-root", "--old", k + "/root.pem", "--new", k + "/other.pem", out}));
  EXPECT_NE(0, run({"keylist", "--root", k + "/root.pem", "--version", "2", "--expires", "30", "--key",
                    k + "/release.pub.pem", out}));
  EXPECT_NE(0, run({"rotate-root", "--old", k + "/root.pem", "--new", k + "/release.pem", out}));
  EXPECT_NE(0, run({"verify", "--root", k + "/root.pub.pem", out})) << "key list 1 is under the old root";
  ASSERT_EQ(0, run({"keylist", "--root", k + "/other.pem", "--version", "2", "--expires", "30", "--key",
                    k + "/release.pub.pem", out}));
  ASSERT_EQ(0, run({"pack", "--sign", k + "/release.pem", "--serial", "1", "--expires", "30", options_.dir, out}));
  EXPECT_EQ(0, run({"verify", "--root", k + "/root.pub.pem", out})) << "from root 1 through the record";
  EXPECT_EQ(0, run({"verify", "--root", k + "/other.pub.pem", "--root-version", "2", out})) << "a build with root 2";
  EXPECT_NE(0, run({"verify", "--root", k + "/other.pub.pem", out})) << "root 2 taken for root 1";
}

}  // namespace
