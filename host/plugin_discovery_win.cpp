#include "host/plugin_discovery.h"

#include <windows.h>
#include <stdio.h>

#include <vector>

namespace host {

namespace {

// A file's version resource; empty when it has none.
std::vector<char> VersionInfo(const std::string& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  std::vector<char> info(size);
  if (size != 0 && !GetFileVersionInfoA(path.c_str(), 0, size, info.data())) info.clear();
  return info;
}

// One string of a file's version resource, in the language of its first translation.
std::string VersionString(const std::string& path, const char* name) {
  std::vector<char> info = VersionInfo(path);
  if (info.empty()) return "";
  WORD* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 4)
    return "";
  char query[96];
  snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
  char* value = nullptr;
  if (!VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&value), &length) || length == 0) return "";
  return std::string(value, strnlen(value, length));
}

std::string RegistryString(HKEY key, const char* name) {
  char value[MAX_PATH * 2];
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return "";
  value[size] = '\0';
  return value;
}

// The "Path" of the first plug-in registered under root whose version resource declares mime.
std::string FindUnder(HKEY root, const std::string& mime) {
  HKEY plugins = nullptr;
  if (RegOpenKeyExA(root, "Software\\MozillaPlugins", 0, KEY_READ, &plugins) != ERROR_SUCCESS) return "";
  std::string found;
  char name[256];
  for (DWORD i = 0; found.empty(); ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(plugins, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY plugin = nullptr;
    if (RegOpenKeyExA(plugins, name, 0, KEY_READ, &plugin) != ERROR_SUCCESS) continue;
    const std::string path = RegistryString(plugin, "Path");
    RegCloseKey(plugin);
    if (!path.empty() && MimeListDeclares(VersionString(path, "MIMEType"), '|', mime)) found = path;
  }
  RegCloseKey(plugins);
  return found;
}

}  // namespace

std::string FileVersion(const std::string& path) {
  std::vector<char> info = VersionInfo(path);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (info.empty() || !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
      length < sizeof *fixed)
    return "";
  char text[48];
  snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
           static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)), static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
           static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));
  return text;
}

std::string FindPluginForMime(const std::string& mime) {
  const std::string path = FindUnder(HKEY_CURRENT_USER, mime);
  return path.empty() ? FindUnder(HKEY_LOCAL_MACHINE, mime) : path;
}

}  // namespace host
