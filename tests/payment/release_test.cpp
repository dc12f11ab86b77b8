// Releases as a gateway operator publishes them: the sample modules packed with "vexo-gateway pack"
// and served by nginx (the fixture), paid through the real plug-in. Signed releases go through the
// plug-in linked with the test root key; every attack on them must end in "FAIL" with "P003",
// nothing installed, and no table for MV_clean to install.
#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include "payment/gateway_control.h"
#include "payment/payment_page.h"

namespace {

namespace fs = std::filesystem;

// The fixture's state below the program's working folder (made absolute before MV_init changes the
// current directory).
const fs::path kState = fs::absolute("gateway");
const fs::path kServed = kState / "www" / "plugin" / "file";
const char kTable[] = "MirovanVer.tbl";
const char kKeys1[] = "MirovanKeys.1.lst";
const char kKeptKeys[] = "MirovanKeys.lst";
const char kKeptRoot[] = "MirovanRoot.rec";

// Loads of the two sample modules so far in this process.
int ModuleLoads() { return ModuleTrace_Read("VEXO_TRACE_CONTROL_LOADS") + ModuleTrace_Read("VEXO_TRACE_MAIN_LOADS"); }

fs::path ReleasedFolder(const char* release) { return kState / "releases" / release / "plugin" / "file"; }
fs::path Released(const char* release, const char* name) { return ReleasedFolder(release) / name; }

// Where the table of a file folder (served, or a release's) lists the module name ("URL=").
fs::path Listed(const fs::path& folder, const char* name) {
  const std::string text = ReadFile(folder / kTable);
  const size_t url = text.find("URL=plugin/file/", text.find(std::string("[") + name + "]")) + 16;
  return folder / text.substr(url, text.find('\r', url) - url);
}

// Serves another release's module name where the served table lists it (MinGW's copy_file cannot
// overwrite).
void ServeFileOf(const char* release, const char* name) {
  fs::remove(Listed(kServed, name));
  fs::copy_file(Listed(ReleasedFolder(release), name), Listed(kServed, name));
}

class ReleaseTest : public PaymentPage {
 protected:
  void SetUp() override {
    Serve("unsigned");
    PaymentPage::SetUp();
    Requested();
  }

  // Serves exactly the files of one packed release.
  static void Serve(const char* release) {
    fs::remove_all(kServed);
    fs::create_directories(kServed);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(ReleasedFolder(release))) {
      const fs::path to = kServed / fs::relative(e.path(), ReleasedFolder(release));
      if (e.is_directory()) fs::create_directories(to);
      else fs::copy_file(e.path(), to);
    }
  }

  struct Request {
    std::string name;
    long long bytesSent;
  };
  // nginx's log lines ("URI STATUS BYTES") since the last look; nginx writes a line once it has
  // finished the answer, so the log is read until it stops growing.
  std::vector<Request> Log() {
    const fs::path log = kState / "nginx" / "access.log";
    std::string text = ReadFile(log).substr(logRead_);
    for (int i = 0; i < 40; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const std::string again = ReadFile(log).substr(logRead_);
      if (again == text) break;
      text = again;
    }
    logRead_ += text.size();
    std::vector<Request> requests;
    std::istringstream lines(text);
    for (std::string uri, status; lines >> uri >> status;) {
      Request r;
      lines >> r.bytesSent;
      r.name = uri.substr(uri.rfind('/') + 1);
      requests.push_back(r);
    }
    return requests;
  }
  Names Requested() {
    Names names;
    for (const Request& r : Log()) names.push_back(r.name);
    return names;
  }

  size_t logRead_ = 0;
};

class KeyedReleaseTest : public ReleaseTest {
 protected:
  const char* PluginPath() const override { return VEXO_KEYED_PLUGIN_PATH; }
};

TEST_F(ReleaseTest, APackedFolderServedByNginxPaysThenOnlyTheTableIsFetched) {
  EXPECT_EQ("SUCC", Pay(true, "localhost", kProductionAddr)) << "over HTTPS, the test CA";
  EXPECT_EQ(kAll, Requested());
  EXPECT_EQ(Sample(kControl), ReadFile(Installed(kControl)));
  EXPECT_EQ(Sample(kMain), ReadFile(Installed(kMain)));
  EXPECT_EQ("SUCC", Pay()) << "over HTTP";
  EXPECT_EQ(kTableOnly, Requested());

  // A plug-in without a key ignores the signature and the keys a signed table adds.
  Serve("signed");
  fs::remove(Installed(kMain));
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable, kMain}), Requested());
}

TEST_F(KeyedReleaseTest, ASignedReleaseIsInstalledAndNeverRolledBack) {
  Serve("signed");
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable, kKeys1, kControl, kMain}), Requested());
  EXPECT_EQ(Sample(kMain), ReadFile(Installed(kMain)));
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable}), Requested()) << "no key changed: the table alone";

  Serve("old");  // properly signed, serial 1 after serial 2
  EXPECT_EQ("FAIL", Pay(false));
  EXPECT_EQ("P003", Call("MV_getdata", "res_cd"));
  EXPECT_EQ((Names{kTable}), Requested()) << "no module of the older release is fetched";
  Call("MV_clean");
  EXPECT_EQ(Sample(kControl), ReadFile(Installed(kControl)));
  EXPECT_NE(std::string::npos, ReadFile(Installed(kTable)).find("Serial=2")) << "the installed table stays";
}

TEST_F(KeyedReleaseTest, AModuleChangedOnDiskIsRefusedBeforeLoadingAndFetchedAgain) {
  Serve("signed");
  ASSERT_EQ("SUCC", Pay());
  Requested();
  EXPECT_EQ(ReadFile(Released("signed", kKeys1)), ReadFile(Installed(kKeptKeys)))
      << "the key list is kept beside the table";
  struct Change {
    const char* what;
    const char* module;
    std::function<void(std::string*)> apply;
  };
  const Change changes[] = {
      {"one byte of the control module", kControl, [](std::string* b) { (*b)[b->size() / 2] ^= 1; }},
      {"one byte of the main module", kMain, [](std::string* b) { (*b)[100] ^= 0x40; }},
      {"the main module one byte longer", kMain, [](std::string* b) { b->push_back('\0'); }},
  };
  for (const Change& change : changes) {
    std::string bytes = ReadFile(Installed(change.module));
    change.apply(&bytes);
    WriteFile(Installed(change.module), bytes);
    const int loads = ModuleLoads();
    EXPECT_EQ("FAIL", Pay()) << change.what;
    EXPECT_EQ(loads, ModuleLoads()) << change.what << ": nothing is loaded";
    EXPECT_EQ((Names{kTable}), Requested()) << change.what;
    EXPECT_FALSE(fs::exists(Installed(change.module))) << change.what;
    Call("MV_init", product_.c_str());
    SetPayment();
    EXPECT_EQ("SUCC", Call("MV_start")) << change.what << ": the next payment fetches it again";
    EXPECT_EQ((Names{kTable, change.module}), Requested()) << change.what;
    EXPECT_EQ(Sample(change.module), ReadFile(Installed(change.module))) << change.what;
    Call("MV_clean");
  }
  // A kept key list damaged on disk is fetched again.
  std::string keys = ReadFile(Installed(kKeptKeys));
  keys[keys.size() - 10] ^= 1;
  WriteFile(Installed(kKeptKeys), keys);
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable, kKeys1}), Requested());
  // The refusal itself, as the page reads it.
  WriteFile(Installed(kControl), "not the control module");
  Call("MV_init", product_.c_str());
  SetPayment();
  EXPECT_EQ("FAIL", Call("MV_start"));
  EXPECT_EQ("P002", Call("MV_getdata", "res_cd"));
}

TEST_F(KeyedReleaseTest, EveryAttackEndsInP003WithNothingInstalled) {
  const long long kEndless = 16 << 20;
  struct Attack {
    const char* what;
    std::function<void()> apply;
  };
  const Attack attacks[] = {
      {"no signature", [] { Serve("unsigned"); }},
      {"signed the old way (the signature beside the table)",
       [] {
         Serve("signed");
         const std::string table = ReadFile(kServed / kTable);
         const size_t trailer = table.find("[SIGNATURE]");
         WriteFile(kServed / kTable, table.substr(0, trailer));
         WriteFile(kServed / (std::string(kTable) + ".sig"), table.substr(trailer));
       }},
      {"a line added after the signature",
       [] {
         Serve("signed");
         std::ofstream(kServed / kTable, std::ios::binary | std::ios::app) << "Target=system\r\n";
       }},
      {"a table signed by a release key not on the key list", [] { Serve("otherkey"); }},
      {"an expired table", [] { Serve("expired"); }},
      {"an expired key list", [] { Serve("keysexpired"); }},
      {"a key list not signed by the root", [] { Serve("badroot"); }},
      {"a root record signed only by the new root", [] { Serve("newrootonly"); }},
      {"the table changed by one byte",
       [] {
         Serve("signed");
         std::string table = ReadFile(kServed / kTable);
         const size_t version = table.find("Version=") + 8;  // a change that would still pay
         table[version] = table[version] == '0' ? '1' : '0';
         WriteFile(kServed / kTable, table);
       }},
      {"a module changed by one byte", [] {
         Serve("signed");
         ServeFileOf("byte", kControl);
       }},
      {"the table of one release with a module of another", [] {
         Serve("signed");
         ServeFileOf("old", kControl);
       }},
      {"a module longer than its listed size", [kEndless] {
         Serve("signed");
         std::ofstream(Listed(kServed, kControl), std::ios::binary | std::ios::app) << std::string(kEndless, '\0');
       }},
  };
  for (const Attack& attack : attacks) {
    attack.apply();
    EmptyModuleDir();
    EXPECT_EQ("FAIL", Pay(false)) << attack.what;
    EXPECT_EQ("P003", Call("MV_getdata", "res_cd")) << attack.what;
    // Wine's WinINet reads the rest of a body when the request handle closes (and drops it): there
    // only the natively built client shows the server that the download stopped.
    for (const Request& r : Log()) {
      if (VEXO_CLIENT_STOPS_READING) {
        EXPECT_LT(r.bytesSent, kEndless / 2) << attack.what << ": the download stops at the listed size";
      }
    }
    Call("MV_clean");
    EXPECT_EQ(Names{}, DirNames()) << attack.what;
    EXPECT_TRUE(fs::is_empty(ModuleDir() / "temp")) << attack.what;
  }
}

}  // namespace

namespace {

// A leaked release key signs the highest serial; one new key list (without that key) recovers, and
// a new root takes over, both at the next payment and without a reinstall.
TEST_F(KeyedReleaseTest, KeysAreRevokedAndTheRootReplacedAtTheNextPayment) {
  Serve("signed");
  ASSERT_EQ("SUCC", Pay());
  Requested();
  Serve("fastforward");  // serial 2147483647 by the leaked key
  EXPECT_EQ("SUCC", Pay());
  Serve("signed");
  EXPECT_EQ("FAIL", Pay(false)) << "the real operator's next release is below the fast-forwarded serial";
  EXPECT_EQ("P003", Call("MV_getdata", "res_cd"));
  Call("MV_clean");
  Requested();

  Serve("recovered");  // key list 2: another release key, the serial count starts again
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable, "MirovanKeys.2.lst"}), Requested());
  EXPECT_NE(std::string::npos, ReadFile(Installed(kKeptKeys)).find("Version=2"));
  Serve("fastforward");
  EXPECT_EQ("FAIL", Pay(false)) << "key list 1, lower than the kept one: the leaked key signs nothing any more";
  EXPECT_EQ("P003", Call("MV_getdata", "res_cd"));
  Call("MV_clean");
  EXPECT_EQ((Names{kTable}), Requested());

  Serve("rotated");  // root 2, and key list 3 signed by it
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable, "MirovanKeys.3.lst", "MirovanRoot.2.rec"}), Requested());
  EXPECT_TRUE(fs::exists(Installed(kKeptRoot)));
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable}), Requested()) << "the root and the key list are kept";
}

// A new release published while an old one is out: whatever mixture of the two releases' files a
// server or CDN edge has, the customer gets one whole release, never "P003".
TEST_F(KeyedReleaseTest, TwoReleasesFilesInAnyMixturePayWithOneWholeRelease) {
  // "next" holds both releases' files (pack keeps the previous one's) and the new table, whose
  // control module is the old one with a byte appended.
  struct Mixture {
    const char* what;
    const char* table;
    std::string control;  // what is then installed
  };
  const Mixture mixtures[] = {
      {"the old table with the new modules beside the old ones", "signed", Sample(kControl)},
      {"the new table with the old modules beside the new ones", "next", Sample(kControl) + "y"},
  };
  for (const Mixture& m : mixtures) {
    Serve("next");
    fs::remove(kServed / kTable);
    fs::copy_file(Released(m.table, kTable), kServed / kTable);
    EmptyModuleDir();
    EXPECT_EQ("SUCC", Pay()) << m.what;
    EXPECT_EQ(m.control, ReadFile(Installed(kControl))) << m.what;
  }

  // One customer through the roll-out: old release, both releases' files under the old table, then
  // the new table.
  EmptyModuleDir();
  Serve("signed");
  ASSERT_EQ("SUCC", Pay());
  Serve("next");
  fs::remove(kServed / kTable);
  fs::copy_file(Released("signed", kTable), kServed / kTable);
  Requested();
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable}), Requested());
  Serve("next");
  EXPECT_EQ("SUCC", Pay());
  EXPECT_EQ((Names{kTable, kControl}), Requested());
}

}  // namespace
