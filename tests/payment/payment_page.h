// A checkout page's side of whole payments through the real plug-in: one command object, the
// methods as page script calls them, the payment fields, and what lands in the module directory.
// Each test gets a product directory of its own, empty at the start.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command/zavavodur.h"
#include "common/plugin_fixture.h"

const char kTestGatewayAddr[] = "http://127.0.0.1:18080/plugin/file";
// The checkout page's address: on the test gateway's origin, which the build lists.
const char kCheckoutPageUrl[] = "http://127.0.0.1:18080/checkout.html";
const char kProductionAddr[] = "https://localhost:18443/plugin/file";
const char kControl[] = "MVcontrol70.dll";
const char kMain[] = "MVmainUI70.dll";

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class PaymentPage : public PluginObjectTest {
 protected:
  using path = std::filesystem::path;

  void SetUp() override {
    PluginObjectTest::SetUp();
    if (HasFatalFailure()) return;
    browser.SetPageUrl(kCheckoutPageUrl);
    product_ = std::string("Pay_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Call("MV_init", product_.c_str());
    ASSERT_FALSE(ModuleDir().empty());
    EmptyModuleDir();
  }

  // Removes everything from the module directory and its temp folder. The directory itself stays:
  // it is the process's current directory.
  void EmptyModuleDir() {
    for (const path& dir : {ModuleDir(), ModuleDir() / "temp"}) {
      for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename() != "temp") std::filesystem::remove_all(e.path());
    }
  }

  std::string Call(const char* method, const char* a = nullptr, const char* b = nullptr, const char* c = nullptr) {
    std::vector<NPVariant> args;
    for (const char* arg : {a, b, c})
      if (arg != nullptr) args.push_back(host::Browser::StringArg(arg));
    host::PageValue result;
    EXPECT_TRUE(browser.Invoke(object, method, args, &result)) << method;
    return result.text;
  }

  // One payment's fields as the checkout page sets them.
  void SetPayment(const char* gwUrl = "test", const char* updateAddr = kTestGatewayAddr, bool withAmount = true,
                  const char* orderId = "ORD-77") {
    Call("MV_setdata", "Config", "gw_url", gwUrl);
    Call("MV_setdata", "Config", "update_addr", updateAddr);
    if (withAmount) Call("MV_setdata", "Order", "amount", "15000");
    Call("MV_setdata", "Order", "order_id", orderId);
  }
  // A whole payment on a fresh MV_init: the page's MV_start answer; MV_clean follows when asked.
  std::string Pay(bool clean = true, const char* gwUrl = "test", const char* updateAddr = kTestGatewayAddr) {
    Call("MV_init", product_.c_str());
    SetPayment(gwUrl, updateAddr);
    const std::string answer = Call("MV_start");
    if (clean) Call("MV_clean");
    return answer;
  }

  ZAVavodur* Command() { return static_cast<ZAVavodur*>(static_cast<ScriptObjectBase*>(object)); }
  path ModuleDir() { return Command()->m_moduleDir; }
  path Installed(const char* name) { return ModuleDir() / name; }
  static std::string Sample(const char* name) { return ReadFile(path(VEXO_SAMPLE_MODULE_DIR) / name); }
  // The names in the module directory (the temp folder aside).
  std::vector<std::string> DirNames() {
    std::vector<std::string> names;
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(ModuleDir()))
      if (e.path().filename() != "temp") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  using Names = std::vector<std::string>;
  const Names kTableOnly = {"MirovanVer.tbl"};
  const Names kAll = {"MirovanVer.tbl", kControl, kMain};

  std::string product_;
};
