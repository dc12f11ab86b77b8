#include "bridge/host/bridge_check.h"

#include <windows.h>

#include "command/codepage.h"
#include "modules/install_location_win.h"
#include "support/crt.h"

namespace {

struct KnownBrowser {
  const char* name;
  const char* program;  // its App Paths entry, which its installer writes
  const char* hostKey;  // where it looks for native messaging hosts, under HKCU and HKLM
  bool gecko;
};

const KnownBrowser BROWSERS[] = {
    {"Chrome", "chrome.exe", "Software\\Google\\Chrome\\NativeMessagingHosts\\", false},
    {"Edge", "msedge.exe", "Software\\Microsoft\\Edge\\NativeMessagingHosts\\", false},
    {"Opera", "opera.exe", "Software\\Opera Software\\NativeMessagingHosts\\", false},
    {"Firefox", "firefox.exe", "Software\\Mozilla\\NativeMessagingHosts\\", true},
};

// The default value of a key, "" when there is none.
std::string DefaultValue(HKEY hive, const std::string& key) {
  char value[MAX_PATH * 2];
  return ReadRegistryString(hive, key.c_str(), "", value, sizeof value) == 0 ? value : "";
}

// The browser's program, registered for the current user or the machine, is there.
bool Installed(const KnownBrowser& browser) {
  const std::string key = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + browser.program;
  for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    std::string program = DefaultValue(hive, key);
    if (program.size() > 2 && program.front() == '"' && program.back() == '"') program = program.substr(1, program.size() - 2);
    if (!program.empty() && _access(program.c_str(), 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<BrowserRegistration> Check_Registrations(const std::string& hostName) {
  std::vector<BrowserRegistration> registrations;
  for (const KnownBrowser& browser : BROWSERS) {
    BrowserRegistration registration;
    registration.browser = browser.name;
    registration.installed = Installed(browser);
    registration.gecko = browser.gecko;
    const std::string key = browser.hostKey + hostName;
    // The user's registration first, as the browsers read them.
    registration.place = "HKCU\\" + key;
    registration.manifest = DefaultValue(HKEY_CURRENT_USER, key);
    if (registration.manifest.empty()) {
      const std::string machine = DefaultValue(HKEY_LOCAL_MACHINE, key);
      if (!machine.empty()) registration.place = "HKLM\\" + key;
      registration.manifest = machine;
    }
    registrations.push_back(registration);
  }
  return registrations;
}

std::string Check_ProgramPath(const std::string& manifest, const std::string& path) {
  char ansi[MAX_PATH * 2];
  Codepage_Utf8ToAnsi(path.data(), static_cast<uint32_t>(path.size()), ansi, sizeof ansi);
  const std::string program = ansi;
  if (program.empty()) return "";
  // Absolute ("C:\...", "\\server\...") as it is; otherwise relative to the manifest's folder.
  const bool absolute = (program.size() > 2 && program[1] == ':') || program.compare(0, 2, "\\\\") == 0;
  return absolute ? program : Check_Folder(manifest) + program;
}

std::string Check_Folder(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
