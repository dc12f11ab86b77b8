// payment-demo: drives payments through the real plug-in the way a checkout page's script does,
// on the host library, and prints every call with what the page gets back.
//   payment-demo PLUGIN_PATH [--product NAME] [--gw-url VALUE] [--update-addr URL] [--page-url URL]
//                [--payments N] [--order-number N] [--no-clean] [--quiet] [--stats-every N]
//                [--pause-every N]
// The page's address (window.location.href) is PAGE_URL, by default a page of the local test
// gateway's origin, which the default build lists.
// One payment: MV_init(product), MV_setdata of Config "gw_url" and "update_addr" and of some Order
// fields, MV_start, MV_getdata of "res_cd" and "res_msg", MV_clean (unless --no-clean). Each
// MV_start's time is printed; --quiet prints only that. Exit status 0 when every MV_start answered
// "SUCC".
// For soak runs: --stats-every N prints "stats payments=K rss_kb=.. handles=.. blocks=.. objects=.."
// before the first payment and after every Nth (resident size, open files or handles, memalloc
// blocks and script objects the plug-in holds); --pause-every N prints "pause K" before every Nth
// payment K and waits for a line on standard input, so that a script can change the gateway's
// modules in between (and then waits after each stats line too, so that the script can look at
// the process while it is idle).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/browser.h"
#include "tools/demo/open_handles.h"
#include "tools/nphost/process_memory.h"

namespace {

using host::Browser;

struct Settings {
  std::string plugin;
  std::string product = "VexoDemo";
  std::string gwUrl = "testgw";  // any value but the production host name selects the test gateway
  std::string updateAddr = "http://127.0.0.1:18080/plugin/file";
  std::string pageUrl = "http://127.0.0.1:18080/checkout.html";
  int payments = 1;
  int firstOrder = 1;  // order ids DEMO-<n> count from here
  bool clean = true;
  bool quiet = false;
  int statsEvery = 0;
  int pauseEvery = 0;
};

bool ParseArguments(int argc, char** argv, Settings* s) {
  if (argc < 2) return false;
  s->plugin = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--no-clean") s->clean = false;
    else if (flag == "--quiet") s->quiet = true;
    else if (i + 1 >= argc) return false;
    else if (flag == "--product") s->product = argv[++i];
    else if (flag == "--gw-url") s->gwUrl = argv[++i];
    else if (flag == "--update-addr") s->updateAddr = argv[++i];
    else if (flag == "--page-url") s->pageUrl = argv[++i];
    else if (flag == "--payments") s->payments = atoi(argv[++i]);
    else if (flag == "--order-number") s->firstOrder = atoi(argv[++i]);
    else if (flag == "--stats-every") s->statsEvery = atoi(argv[++i]);
    else if (flag == "--pause-every") s->pauseEvery = atoi(argv[++i]);
    else return false;
  }
  return s->payments > 0;
}

class Page {
 public:
  Page(Browser* browser, NPObject* plugin, bool quiet) : browser_(browser), plugin_(plugin), quiet_(quiet) {}

  // Calls plugin.method(args...) and prints the call with the answer as page script sees it.
  std::string Call(const char* method, std::vector<const char*> args = {}) {
    std::vector<NPVariant> variants;
    std::string shown;
    for (const char* a : args) {
      variants.push_back(Browser::StringArg(a));
      shown += (shown.empty() ? "\"" : ", \"") + std::string(a) + "\"";
    }
    host::PageValue result;
    const bool ok = browser_->Invoke(plugin_, method, variants, &result);
    if (!quiet_) {
      if (!ok) printf("  page: plugin.%s(%s) -> call failed\n", method, shown.c_str());
      else if (result.type == NPVariantType_String) printf("  page: plugin.%s(%s) -> \"%s\"\n", method, shown.c_str(), result.text.c_str());
      else printf("  page: plugin.%s(%s) -> undefined\n", method, shown.c_str());
      fflush(stdout);
    }
    return result.text;
  }

 private:
  Browser* browser_;
  NPObject* plugin_;
  bool quiet_;
};

// One payment; true when MV_start answered "SUCC".
bool Pay(Page& page, const Settings& s, int number) {
  const std::string orderId = "DEMO-" + std::to_string(number);
  page.Call("MV_init", {s.product.c_str()});
  page.Call("MV_setdata", {"Config", "gw_url", s.gwUrl.c_str()});
  page.Call("MV_setdata", {"Config", "update_addr", s.updateAddr.c_str()});
  page.Call("MV_setdata", {"Order", "order_id", orderId.c_str()});
  page.Call("MV_setdata", {"Order", "amount", "15000"});
  page.Call("MV_setdata", {"Order", "goods", "Vexo demo ticket"});
  const auto start = std::chrono::steady_clock::now();
  const long long began =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  const std::string answer = page.Call("MV_start");
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  page.Call("MV_getdata", {"res_cd"});
  page.Call("MV_getdata", {"res_msg"});
  if (s.clean) page.Call("MV_clean");
  // The wall-clock start lets a script that runs several payment processes at once order them.
  printf("  MV_start took %.1f ms, began at %lld ms\n", ms, began);
  fflush(stdout);
  return answer == "SUCC";
}

// Waits for the driving script's go-ahead line.
void WaitForGo() {
  char line[64];
  if (fgets(line, sizeof line, stdin) == nullptr) exit(1);
}

// With wait, the script may look at the process before the next payment starts.
void PrintStats(const Browser& browser, int payments, bool wait) {
  printf("stats payments=%d rss_kb=%ld handles=%ld blocks=%lu objects=%lu\n", payments,
         ProcessMemory_ResidentKb(), OpenHandles_Count(), static_cast<unsigned long>(browser.OutstandingBlocks()),
         static_cast<unsigned long>(browser.LiveObjects()));
  fflush(stdout);
  if (wait) WaitForGo();
}

void Pause(int number) {
  printf("pause %d\n", number);
  fflush(stdout);
  WaitForGo();
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  if (!ParseArguments(argc, argv, &s)) {
    fprintf(stderr,
            "usage: payment-demo PLUGIN_PATH [--product NAME] [--gw-url VALUE] [--update-addr URL]\n"
            "                    [--page-url URL] [--payments N] [--order-number N] [--no-clean] [--quiet]\n"
            "                    [--stats-every N] [--pause-every N]\n");
    return 2;
  }
  Browser browser;
  browser.SetPageUrl(s.pageUrl);
  if (!browser.Start(s.plugin)) {
    fprintf(stderr, "payment-demo: cannot load the plug-in %s (error %d)\n", s.plugin.c_str(), browser.lastError());
    return 1;
  }
  NPP instance = browser.NewInstance();
  NPObject* plugin = instance != nullptr ? browser.ScriptableObject(instance) : nullptr;
  if (plugin == nullptr) {
    fprintf(stderr, "payment-demo: the plug-in gave no scriptable object\n");
    return 1;
  }
  Page page(&browser, plugin, s.quiet);
  bool allPaid = true;
  const bool paced = s.pauseEvery > 0;
  if (s.statsEvery > 0) PrintStats(browser, 0, paced);
  for (int n = 1; n <= s.payments; ++n) {
    if (paced && n % s.pauseEvery == 0) Pause(n);
    allPaid = Pay(page, s, s.firstOrder + n - 1) && allPaid;
    if (s.statsEvery > 0 && n % s.statsEvery == 0) PrintStats(browser, n, paced);
  }
  browser.funcs().releaseobject(plugin);
  browser.Stop();
  return allPaid ? 0 : 1;
}
