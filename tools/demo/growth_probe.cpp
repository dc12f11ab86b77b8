// growth-probe: which part of a payment makes a long-lived process grow (tools/bench/soak.sh
// --probe). Runs each step of a payment that reaches outside the plug-in's own code many times
// on its own and prints the resident size and handles before and after:
//   fetch  the version table through the plug-in's HTTP client (WinINet / libcurl), as MV_start does
//   load   the two sample modules loaded and unloaded by path (the system's loader; the modules
//          count their loads in environment variables as they load and unload)
//   env    only the modules' counting: the four counters a load and unload of both raise
//   growth-probe MODULE_DIR URL [COUNT]
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "host/plugin_library.h"
#include "modules/http_client.h"
#include "tools/demo/open_handles.h"
#include "tools/nphost/process_memory.h"
#include "tools/sample_modules/payment_view.h"

namespace {

template <typename Step>
bool Measure(const char* name, int count, Step step) {
  step();  // the first run loads what every later one shares
  const long rss = ProcessMemory_ResidentKb(), handles = OpenHandles_Count();
  for (int i = 0; i < count; ++i) {
    if (!step()) {
      printf("probe %s: failed at run %d\n", name, i + 1);
      return false;
    }
  }
  const long rssAfter = ProcessMemory_ResidentKb(), handlesAfter = OpenHandles_Count();
  printf("probe %-5s %d runs: resident %ld -> %ld kB (%.2f kB a run), handles %ld -> %ld\n", name, count, rss,
         rssAfter, static_cast<double>(rssAfter - rss) / count, handles, handlesAfter);
  fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: growth-probe MODULE_DIR URL [COUNT]\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const char* url = argv[2];
  const int count = argc > 3 ? atoi(argv[3]) : 1000;
  const bool fetched = Measure("fetch", count, [&] { return HttpFetchBody(url, "growth-probe.body") == 0; });
  const bool loaded = Measure("load", count, [&] {
    host::PluginLibrary control, main;
    return control.Load(dir + "MVcontrol70.dll") && main.Load(dir + "MVmainUI70.dll");
  });
  const bool counted = Measure("env", count, [] {
    for (const char* counter : {"VEXO_PROBE_LOADS", "VEXO_PROBE_UNLOADS", "VEXO_PROBE_LOADS2", "VEXO_PROBE_UNLOADS2"}) {
      ModuleTrace_Add(counter);
    }
    return true;
  });
  remove("growth-probe.body");
  return fetched && loaded && counted ? 0 : 1;
}
