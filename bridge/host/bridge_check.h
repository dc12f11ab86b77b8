// vexo-bridge --check: what this machine has of the bridge, for a support desk. For each browser
// the bridge serves: whether the browser is installed, whether the host is registered with it and
// which manifest the registration names, whether that manifest is this host's, whether the program
// it names and the plug-in beside that program exist, whether the plug-in loads as the host loads
// it (entry points and initialisation), the extension ids the manifest allows and the versions.
// One line a browser; a browser is ready when every one of these holds.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

// Where one browser looks for the host, as the platform part finds it.
struct BrowserRegistration {
  std::string browser;     // the browser's name in the report ("Chrome", "Firefox"...)
  bool installed = false;  // the browser is on this machine
  bool gecko = false;      // its manifests list "allowed_extensions" instead of "allowed_origins"
  std::string place;       // where it looks: a registry key, or a manifest file
  std::string manifest;    // the manifest registered there; "" when the host is not registered
};

// --- The platform part (bridge_check_win.cpp: registry; bridge_check_posix.cpp: folders) ---

// Every browser the bridge serves on this platform, with its registration of hostName.
std::vector<BrowserRegistration> Check_Registrations(const std::string& hostName);
// The program a manifest's "path" (UTF-8) names, as the browser resolves it; "" when the browser
// would not start it (a relative path where only absolute ones count).
std::string Check_ProgramPath(const std::string& manifest, const std::string& path);
// The folder of a file, with its trailing separator ("" when the path has none).
std::string Check_Folder(const std::string& path);

// --- Portable ---

struct BrowserCheck {
  bool ready = false;
  std::string line;  // "Chrome: ready; ..." without a line end
};

// Follows one registration to the plug-in beside the host program (its file name pluginFile).
BrowserCheck Check_Browser(const BrowserRegistration& registration, const std::string& hostName,
                           const std::string& pluginFile);
// Prints one line a browser on out: 0 when at least one browser is ready, 1 otherwise.
int Check_Run(FILE* out, const std::string& hostName, const std::string& pluginFile);
