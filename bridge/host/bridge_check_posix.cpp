#include "bridge/host/bridge_check.h"

#include <stdlib.h>
#include <sys/stat.h>

namespace {

struct KnownBrowser {
  const char* name;
  const char* folder;      // its configuration folder, under the configuration home or HOME
  const char* hostFolder;  // where it reads host manifests, inside that folder
  bool gecko;
};

// The folders vexo-bridge-register.sh writes into.
const KnownBrowser CHROMIUM_FAMILY[] = {
    {"Chromium", "chromium", "NativeMessagingHosts", false},
    {"Chrome", "google-chrome", "NativeMessagingHosts", false},
    {"Edge", "microsoft-edge", "NativeMessagingHosts", false},
    {"Brave", "BraveSoftware/Brave-Browser", "NativeMessagingHosts", false},
    {"Vivaldi", "vivaldi", "NativeMessagingHosts", false},
};
const KnownBrowser FIREFOX = {"Firefox", ".mozilla", "native-messaging-hosts", true};

bool IsFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Environment(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? value : "";
}

// A browser is there when its configuration folder is (the browser makes it on its first start).
BrowserRegistration Registration(const KnownBrowser& browser, const std::string& home, const std::string& hostName) {
  BrowserRegistration registration;
  registration.browser = browser.name;
  registration.gecko = browser.gecko;
  const std::string folder = home + "/" + browser.folder;
  registration.installed = IsFolder(folder);
  registration.place = folder + "/" + browser.hostFolder + "/" + hostName + ".json";
  if (IsFile(registration.place)) registration.manifest = registration.place;
  return registration;
}

}  // namespace

std::vector<BrowserRegistration> Check_Registrations(const std::string& hostName) {
  const std::string home = Environment("HOME");
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::vector<BrowserRegistration> registrations;
  for (const KnownBrowser& browser : CHROMIUM_FAMILY) registrations.push_back(Registration(browser, config, hostName));
  registrations.push_back(Registration(FIREFOX, home, hostName));
  return registrations;
}

std::string Check_ProgramPath(const std::string&, const std::string& path) {
  return !path.empty() && path[0] == '/' ? path : "";  // the browsers take absolute paths only
}

std::string Check_Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
