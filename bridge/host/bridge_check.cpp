#include "bridge/host/bridge_check.h"

#include <vector>

#include "bridge/host/json.h"
#include "host/browser.h"
#include "host/plugin_discovery.h"
#include "support/crt.h"
#include "support/file_util.h"

namespace {

const int MAX_MANIFEST = 64 * 1024;  // host manifests are a few hundred bytes
const char CHROMIUM_ORIGIN_PREFIX[] = "chrome-extension://";

bool Exists(const std::string& path) { return !path.empty() && _access(path.c_str(), 0) == 0; }

std::string WithVersion(const std::string& path) {
  const std::string version = host::FileVersion(path);
  return version.empty() ? path : path + " " + version;
}

// The extension ids a manifest allows: Chromium's origins "chrome-extension://ID/" as ID, Firefox's
// ids as they are.
std::vector<std::string> AllowedIds(const JsonValue& manifest, bool gecko) {
  std::vector<std::string> ids;
  const JsonValue* list = manifest.Member(gecko ? "allowed_extensions" : "allowed_origins");
  if (list == nullptr || list->type != JsonValue::Array) return ids;
  const size_t prefix = sizeof CHROMIUM_ORIGIN_PREFIX - 1;
  for (const JsonValue& item : list->items) {
    if (item.type != JsonValue::String) continue;
    std::string id = item.text;
    if (!gecko) {
      if (id.compare(0, prefix, CHROMIUM_ORIGIN_PREFIX) != 0 || id.size() < prefix + 2 || id.back() != '/') continue;
      id = id.substr(prefix, id.size() - prefix - 1);
    }
    if (!id.empty()) ids.push_back(id);
  }
  return ids;
}

// Loads the plug-in as the host does; "" when it loads, else why not.
std::string LoadProblem(const std::string& path) {
  host::Browser browser;
  if (browser.Start(path)) {
    browser.Stop();
    return "";
  }
  return "does not load (error " + std::to_string(browser.lastError()) + ")";
}

// Collects what a registration has: the first problem found is the verdict, facts follow it.
class Report {
 public:
  void Problem(const std::string& verdict) {
    if (verdict_.empty()) verdict_ = verdict;
  }
  void Fact(const std::string& fact) { facts_ += "; " + fact; }
  BrowserCheck Done(const std::string& browser) const {
    BrowserCheck check;
    check.ready = verdict_.empty();
    check.line = browser + ": " + (check.ready ? "ready" : verdict_) + facts_;
    return check;
  }

 private:
  std::string verdict_;
  std::string facts_;
};

// The program the manifest names and the plug-in beside it.
void CheckProgram(const JsonValue& manifest, const std::string& manifestPath, const std::string& pluginFile,
                  Report* report) {
  const JsonValue* path = manifest.Member("path");
  const std::string program =
      path != nullptr && path->type == JsonValue::String ? Check_ProgramPath(manifestPath, path->text) : "";
  if (program.empty()) {
    report->Problem("the manifest names no usable host program");
    report->Fact(path != nullptr && path->type == JsonValue::String ? "host \"" + path->text + "\"" : "no \"path\"");
    return;
  }
  if (!Exists(program)) {
    report->Problem("host program missing");
    report->Fact("host " + program + " missing");
    return;
  }
  report->Fact("host " + WithVersion(program));
  const std::string plugin = Check_Folder(program) + pluginFile;
  if (!Exists(plugin)) {
    report->Problem("plug-in missing");
    report->Fact("plug-in " + plugin + " missing");
    return;
  }
  const std::string loadProblem = LoadProblem(plugin);
  if (!loadProblem.empty()) report->Problem("plug-in " + loadProblem);
  report->Fact("plug-in " + WithVersion(plugin) + (loadProblem.empty() ? " loads" : " " + loadProblem));
}

}  // namespace

BrowserCheck Check_Browser(const BrowserRegistration& registration, const std::string& hostName,
                           const std::string& pluginFile) {
  Report report;
  if (!registration.installed) report.Problem("browser not found");
  if (registration.manifest.empty()) {
    report.Problem("not registered");
    report.Fact("nothing at " + registration.place);
    return report.Done(registration.browser);
  }
  report.Fact("registered at " + registration.place +
              (registration.manifest != registration.place ? " -> " + registration.manifest : ""));
  std::vector<char> text(MAX_MANIFEST);
  const int length = File_ReadAll(registration.manifest.c_str(), text.data(), MAX_MANIFEST);
  JsonValue manifest;
  if (length < 0 || !Json_Parse(text.data(), static_cast<size_t>(length), &manifest) ||
      manifest.type != JsonValue::Object) {
    report.Problem(length < 0 ? "manifest unreadable" : "manifest is not a JSON object");
    return report.Done(registration.browser);
  }
  const JsonValue* name = manifest.Member("name");
  if (name == nullptr || name->type != JsonValue::String || name->text != hostName) {
    report.Problem("the manifest is not the host " + hostName + "'s");
  }
  CheckProgram(manifest, registration.manifest, pluginFile, &report);
  const std::vector<std::string> ids = AllowedIds(manifest, registration.gecko);
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ",") + id;
  if (ids.empty()) report.Problem("no extension allowed");
  report.Fact("extensions " + (list.empty() ? std::string("none") : list));
  return report.Done(registration.browser);
}

int Check_Run(FILE* out, const std::string& hostName, const std::string& pluginFile) {
  bool anyReady = false;
  for (const BrowserRegistration& registration : Check_Registrations(hostName)) {
    const BrowserCheck check = Check_Browser(registration, hostName, pluginFile);
    fprintf(out, "%s\n", check.line.c_str());
    anyReady = anyReady || check.ready;
  }
  fflush(out);
  return anyReady ? 0 : 1;
}
