// The data commands as page script uses them through the real plug-in: what MV_setdata stores,
// what MV_getdata reads, and what MV_init and MV_clean leave behind.
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "command/zavavodur.h"
#include "common/plugin_fixture.h"

namespace {

using host::Browser;
using host::PageValue;
namespace fs = std::filesystem;

// "결제모듈 UPDATE 실패" in UTF-8, as the page reads the update failure message.
const char UPDATE_FAILED_UTF8[] =
    "\xEA\xB2\xB0\xEC\xA0\x9C\xEB\xAA\xA8\xEB\x93\x88 UPDATE \xEC\x8B\xA4\xED\x8C\xA8";

class DataCommandsTest : public PluginObjectTest {
 protected:
  // A page on an origin the build lists, so that MV_start goes past the page check.
  void SetUp() override {
    PluginObjectTest::SetUp();
    browser.SetPageUrl("http://127.0.0.1:18080/checkout.html");
  }

  // The object behind the page's handle (this file is built without the sanitizer's dynamic type
  // check: the class comes from the plug-in library).
  ZAVavodur* Object() {
    return static_cast<ZAVavodur*>(static_cast<ScriptObjectBase*>(object));
  }

  PageValue Call(const char* method, const char* a = nullptr, const char* b = nullptr, const char* c = nullptr) {
    std::vector<NPVariant> args;
    for (const char* arg : {a, b, c})
      if (arg != nullptr) args.push_back(Browser::StringArg(arg));
    PageValue result;
    EXPECT_TRUE(browser.Invoke(object, method, args, &result)) << method;
    return result;
  }

  std::string Records(const char* section) {
    const FieldStore& store = Object()->m_store;
    for (int i = 0; i < store.count; ++i)
      if (strcmp(store.sections[i].name, section) == 0)
        return store.sections[i].records != nullptr ? store.sections[i].records : "<null>";
    return "<no section>";
  }

  std::string ModuleDir() { return Object()->m_moduleDir; }

  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_F(DataCommandsTest, SetdataTrimsTrailingSpaceAndKeepsRepeatsInOrder) {
  Call("MV_init", "DataTest");
  EXPECT_EQ(NPVariantType_Void, Call("MV_setdata", "Order", "amount", "1000  ").type);
  Call("MV_setdata", "Order", "name", "  lead");
  Call("MV_setdata", "Order", "amount", "2000");
  EXPECT_EQ("amount=1000\x1F" "name=  lead\x1F" "amount=2000\x1F", Records("Order"));
  Call("MV_setdata", "Order", "empty", " \t ");
  EXPECT_EQ("amount=1000\x1F" "name=  lead\x1F" "amount=2000\x1F", Records("Order"))
      << "a value trimmed to nothing adds no record";
  Call("MV_setdata", "Blank", "k", "");
  EXPECT_EQ("<null>", Records("Blank")) << "the section is added, the record is not";
}

TEST_F(DataCommandsTest, EscrowSectionsEndTheirRecordsWithTheGroupSeparator) {
  Call("MV_init", "DataTest");
  Call("MV_setdata", "Escrow", "item", "book");
  Call("MV_setdata", "EscrowInfo", "to", "kim");
  Call("MV_setdata", "ESCROW", "late", "1");
  Call("MV_setdata", "Escrow", "nested", "a=b\x1F" "c=d");
  EXPECT_EQ("item=book\x1D" "late=1\x1F" "nested=a=b\x1F" "c=d\x1D", Records("Escrow"))
      << "ESCROW lands in the existing section, with the separator of its own spelling; the other "
         "separator inside a value is a nested record";
  EXPECT_EQ("to=kim\x1D", Records("EscrowInfo"));
  EXPECT_EQ(2, Object()->m_store.count);

  Call("MV_clean");
  Call("MV_init", "DataTest");
  Call("MV_setdata", "escrow", "a", "b");
  Call("MV_setdata", "Escro", "c", "d");
  EXPECT_EQ("a=b\x1F", Records("escrow"));
  EXPECT_EQ("c=d\x1F", Records("Escro"));
}

TEST_F(DataCommandsTest, KoreanFieldsAreStoredInTheAnsiCodePage) {
  Call("MV_init", "DataTest");
  Call("MV_setdata", "Order", "\xEC\x83\x81\xED\x92\x88", "\xEC\xB1\x85");  // 상품 = 책
  EXPECT_EQ("\xBB\xF3\xC7\xB0=\xC3\xA5\x1F", Records("Order"));
}

TEST_F(DataCommandsTest, GetdataReadsOnlyTheResultArea) {
  Call("MV_init", "DataTest");
  Call("MV_setdata", "Order", "amount", "1000");
  EXPECT_EQ("", Call("MV_getdata", "amount").text);
  strcpy(Object()->m_result, "res_cd=0000\x1Fres_msg=ok\x1F");
  EXPECT_EQ("0000", Call("MV_getdata", "res_cd").text);
  EXPECT_EQ("0000", Call("MV_getdata", "res_cd ").text) << "trailing white space of the key is dropped";
  EXPECT_EQ("0000", Call("MV_getdata", "res_cd").text) << "reading changes nothing";
  EXPECT_EQ("", Call("MV_getdata", "RES_CD").text);
}

TEST_F(DataCommandsTest, StartWithoutGatewayConfigReportsTheUpdateFailure) {
  Call("MV_init", "DataTest");
  Call("MV_setdata", "Order", "amount", "1000");
  EXPECT_EQ("FAIL", Call("MV_start").text);
  EXPECT_EQ("P003", Call("MV_getdata", "res_cd").text);
  EXPECT_EQ(UPDATE_FAILED_UTF8, Call("MV_getdata", "res_msg").text);
}

TEST_F(DataCommandsTest, InitAndCleanEmptyEveryArea) {
  Call("MV_init", "DataTest");
  strcpy(Object()->m_result, "res_cd=0000\x1F");
  Object()->m_fileTable[3].needs_update = 1;
  Call("MV_setdata", "Order", "amount", "1000");
  Call("MV_init", "DataTest");
  EXPECT_EQ("", Call("MV_getdata", "res_cd").text);
  EXPECT_EQ(0, Object()->m_fileTable[3].needs_update);
  EXPECT_EQ(0, Object()->m_store.count);

  strcpy(Object()->m_result, "res_cd=0000\x1F");
  Call("MV_setdata", "Order", "amount", "1000");
  const std::string dir = ModuleDir();
  EXPECT_EQ(NPVariantType_Void, Call("MV_clean").type);
  EXPECT_EQ("", Call("MV_getdata", "res_cd").text);
  EXPECT_EQ(0, Object()->m_store.count);
  EXPECT_EQ(nullptr, Object()->m_store.sections[0].name);
  EXPECT_EQ(dir, ModuleDir()) << "the module directory survives MV_clean";
  Call("MV_setdata", "Order", "amount", "5");
  EXPECT_EQ("amount=5\x1F", Records("Order")) << "a cleaned object takes new fields at once";
}

TEST_F(DataCommandsTest, InitPreparesTheModuleDirectoryChainOnce) {
  Call("MV_init", "ChainTest");
  const std::string dir = ModuleDir();
  const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
  const std::string tail = sep + "Vexo" + sep + "ChainTest" + sep + "ActiveX";
  ASSERT_GT(dir.size(), tail.size());
  EXPECT_EQ(tail, dir.substr(dir.size() - tail.size()));
  EXPECT_TRUE(fs::is_directory(dir + sep + "temp"));
  EXPECT_TRUE(fs::equivalent(fs::current_path(), dir)) << "the module directory is the current directory";
  Call("MV_init", "ChainTest");
  EXPECT_EQ(dir, ModuleDir()) << "a second MV_init changes nothing";
  Call("MV_init", "");
  EXPECT_NE(std::string::npos, ModuleDir().find(sep + "Vexo" + sep + sep + "ActiveX"))
      << "the empty name leaves an empty level";
  Call("MV_init", "Other");
  Call("MV_init");
  EXPECT_NE(std::string::npos, ModuleDir().find(sep + "Vexo" + sep + sep + "ActiveX"))
      << "a missing argument reads as the empty text, not as no name";
}

TEST_F(DataCommandsTest, NamesThatLeaveTheMakerDirectoryAreRefusedFromPageScript) {
  Call("MV_init", "Safe");
  const fs::path maker = fs::path(ModuleDir()).parent_path().parent_path();
  for (const char* name : {"..", "..\\Escape", "../Escape", "a/b", "a\\b", "C:Escape", "Escape\\..\\.."}) {
    Call("MV_init", name);
    EXPECT_EQ("", ModuleDir()) << name;
  }
  EXPECT_FALSE(fs::exists(maker.parent_path() / "Escape"));
  EXPECT_FALSE(fs::exists(maker / "a"));
  // A later payment fails at the update, before any network use.
  Call("MV_setdata", "Config", "gw_url", "test");
  Call("MV_setdata", "Config", "update_addr", "http://127.0.0.1:18080/plugin/file");
  EXPECT_EQ("FAIL", Call("MV_start").text);
  EXPECT_EQ("P003", Call("MV_getdata", "res_cd").text);
}

// A table in temp that no update run of this object fetched (left by a killed browser or another
// session, under the fixed name of earlier versions or another process's own) is never recorded as
// installed.
TEST_F(DataCommandsTest, CleanInstallsNoTableThisObjectDidNotFetch) {
  Call("MV_init", "RecordTest");
  const fs::path dir = ModuleDir();
  const fs::path local = dir / "MirovanVer.tbl";
  fs::remove(local);
  const std::string table(100, 't');
  for (const char* name : {"MirovanVer.tbl.tmp", "MirovanVer.tbl.4194999-1.tmp"})
    std::ofstream(dir / "temp" / name, std::ios::binary) << table;
  Call("MV_clean");
  EXPECT_FALSE(fs::exists(local));
}

}  // namespace
