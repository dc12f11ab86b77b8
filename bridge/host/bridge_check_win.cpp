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

// Where a registration can be, in the order the browsers read them: the user's, then the
// machine's in the 32-bit and in the 64-bit registry (this program is 32-bit: on 64-bit Windows
// the machine's keys of 64-bit browsers are in the other one).
struct RegistryPlace {
  HKEY hive;
  REGSAM view;
  const char* name;
};
const RegistryPlace PLACES[] = {{HKEY_CURRENT_USER, 0, "HKCU\\"},
                                {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "HKLM\\"},
                                {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "HKLM (64-bit)\\"}};

// The default value of a key, "" when there is none.
std::string DefaultValue(const RegistryPlace& place, const std::string& key) {
  char value[MAX_PATH * 2];
  return ReadRegistryString(place.hive, key.c_str(), "", value, sizeof value, place.view) == 0 ? value : "";
}

// The browser's program, registered for the current user or the machine, is there.
bool Installed(const KnownBrowser& browser) {
  const std::string key = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + browser.program;
  for (const RegistryPlace& place : PLACES) {
    std::string program = DefaultValue(place, key);
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
    registration.place = PLACES[0].name + key;
    for (const RegistryPlace& place : PLACES) {
      registration.manifest = DefaultValue(place, key);
      if (registration.manifest.empty()) continue;
      registration.place = place.name + key;
      break;
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
