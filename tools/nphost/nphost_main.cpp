// nphost: a command-line browser for plug-in pages. Loads the plug-in, makes one instance with a
// real window for every <embed type="application/mirovanplugin"> of an HTML page, and runs the
// page's scripts on an embedded JavaScript engine (see script_host.h for what script sees).
//
//   nphost [--plugin PATH | --registered] [--url URL] [--stats] PAGE.html
//
// Exit status: the page's verdict, the boolean it leaves in window.pageVerdict: 0 when true;
// 1 when false or never set; 2 when a script threw (reported as file:line: error); 3 when the page
// or the plug-in could not be loaded or an instance could not be made.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "host/browser.h"
#include "host/host_window.h"
#include "host/plugin_discovery.h"
#include "tools/nphost/page.h"
#include "tools/nphost/script_host.h"

namespace {

const char kPluginMime[] = "application/mirovanplugin";
const char kUsage[] =
    "usage: nphost [--plugin PATH | --registered] [--url URL] [--stats] PAGE.html\n"
    "  Runs the scripts of PAGE.html with the plug-in loaded for its\n"
    "  <embed type=\"application/mirovanplugin\" id=...> elements.\n"
    "  --plugin PATH  the plug-in library (default: the one of this build)\n"
    "  --registered   the plug-in installed for the MIME type, found as a browser finds it\n"
    "                 (Windows: Software\\MozillaPlugins; Unix: MOZ_PLUGIN_PATH, ~/.mozilla/plugins)\n"
    "  --url URL      the page's address (window.location.href), as if it had been loaded\n"
    "                 from there; default: its file: URL\n"
    "  --stats        after the page, print what the plug-in left: objects, memory blocks\n"
    "  Exit status: 0 the page set window.pageVerdict = true; 1 false or not set;\n"
    "  2 a script error; 3 the page or the plug-in did not load.\n";

ScriptHost* g_scriptHost = nullptr;

// NPN_Evaluate runs the text in the page's engine.
bool EvaluateInPage(NPP, NPObject*, NPString* script, NPVariant* result) {
  if (g_scriptHost == nullptr || script == nullptr) return false;
  return g_scriptHost->Evaluate(script->UTF8Characters, script->UTF8Length, result);
}

// The file: URL a browser shows for a page opened from a file ("file:///C:/..." on Windows).
std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  if (path.empty() || (path[0] != '/' && path[0] != '\\')) url += "/";
  for (char c : path) url += c == '\\' ? '/' : c;
  return url;
}

int Dimension(const PageElement& e, const char* name, int fallback) {
  const int value = atoi(e.Attribute(name).c_str());
  return value > 0 && value < 4096 ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);  // page and plug-in lines in the order they happen
  std::string pluginPath = VEXO_PLUGIN_PATH;
  std::string pagePath;
  bool stats = false;
  bool registered = false;
  std::string url;
  bool urlGiven = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
      pluginPath = argv[++i];
    } else if (strcmp(argv[i], "--registered") == 0) {
      registered = true;
    } else if (strcmp(argv[i], "--url") == 0 && i + 1 < argc) {
      url = argv[++i];
      urlGiven = true;
    } else if (strcmp(argv[i], "--stats") == 0) {
      stats = true;
    } else if (argv[i][0] != '-' && pagePath.empty()) {
      pagePath = argv[i];
    } else {
      fputs(kUsage, stderr);
      return 3;
    }
  }
  if (pagePath.empty()) {
    fputs(kUsage, stderr);
    return 3;
  }

  if (registered) {
    pluginPath = host::FindPluginForMime(kPluginMime);
    if (pluginPath.empty()) {
      fprintf(stderr, "nphost: no installed plug-in declares %s\n", kPluginMime);
      return 3;
    }
    printf("nphost: plug-in %s\n", pluginPath.c_str());
  }

  Page page;
  std::string error;
  if (!Page_Load(pagePath, &page, &error)) {
    fprintf(stderr, "nphost: %s\n", error.c_str());
    return 3;
  }

  page.url = urlGiven ? url : FileUrl(pagePath);
  host::Browser browser;
  ScriptHost host(browser);
  if (!host.ready()) {
    fprintf(stderr, "nphost: no script engine\n");
    return 3;
  }
  host.SetUpPage(page);
  NPObject* window = host.NewWindowObject();
  browser.UseWindowObject(window);
  browser.funcs().releaseobject(window);
  g_scriptHost = &host;
  browser.funcs().evaluate = EvaluateInPage;

  if (!browser.Start(pluginPath)) {
    fprintf(stderr, "nphost: cannot load the plug-in %s (error %d)\n", pluginPath.c_str(), browser.lastError());
    return 3;
  }
  host.ListPlugin(kPluginMime, browser.library().Version());

  int status = 0;
  std::vector<NPP> instances;
  std::vector<std::unique_ptr<host::HostWindow>> windows;
  for (const PageElement& e : page.elements) {
    if (!e.IsPlugin(kPluginMime)) continue;
    NPError err = NPERR_NO_ERROR;
    NPP instance = browser.NewInstance(&err);
    if (instance == nullptr) {
      fprintf(stderr, "nphost: %s line %d: the plug-in made no instance (error %d)\n", pagePath.c_str(), e.line, err);
      status = 3;
      break;
    }
    instances.push_back(instance);
    const int width = Dimension(e, "width", 300), height = Dimension(e, "height", 150);
    windows.emplace_back(new host::HostWindow(width, height));
    err = browser.SetWindow(instance, windows.back()->handle(), static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    if (err != NPERR_NO_ERROR) {
      fprintf(stderr, "nphost: %s line %d: the plug-in refused its window (error %d)\n", pagePath.c_str(), e.line, err);
      status = 3;
      break;
    }
    host.AddPluginElement(e.Attribute("id"), browser.ScriptableObject(instance));
  }

  if (status == 0) {
    for (const PageScript& script : page.scripts) host.Run(script);
    const int verdict = host.Verdict();
    if (host.errorCount() > 0) {
      status = 2;
    } else if (verdict != 1) {
      status = 1;
      if (verdict < 0) fprintf(stderr, "nphost: the page set no verdict (window.pageVerdict)\n");
    }
    printf("nphost: page verdict: %s\n", status == 0 ? "pass" : "fail");
  }

  // Unload as a browser does: instances first, then the page and what its script held.
  for (NPP instance : instances) browser.DestroyInstance(instance);
  windows.clear();
  browser.ClosePage();
  host.Shutdown();
  g_scriptHost = nullptr;
  if (stats) {
    printf("nphost: left after the page: %zu script objects, %zu memory blocks, %zu bad frees, %zu releases of freed objects\n",
           browser.LiveObjects(), browser.OutstandingBlocks(), browser.BadFrees(), browser.ReleasesOfDeadObjects());
  }
  browser.Stop();
  return status;
}
