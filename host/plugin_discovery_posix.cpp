#include "host/plugin_discovery.h"

#include <dirent.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <vector>

namespace host {

namespace {

typedef const char* (*GetMimeDescriptionFn)();

bool LibraryDeclares(const std::string& path, const std::string& mime) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;
  auto describe = reinterpret_cast<GetMimeDescriptionFn>(dlsym(handle, "NP_GetMIMEDescription"));
  const char* description = describe ? describe() : nullptr;
  const bool declares = description != nullptr && MimeListDeclares(description, ';', mime);
  dlclose(handle);
  return declares;
}

std::string FindIn(const std::string& folder, const std::string& mime) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return "";
  std::string found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= 3 || name.compare(name.size() - 3, 3, ".so") != 0) continue;
    if (LibraryDeclares(folder + "/" + name, mime)) {
      found = folder + "/" + name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::string FileVersion(const std::string&) { return ""; }

std::string FindPluginForMime(const std::string& mime) {
  std::vector<std::string> folders;
  const char* list = getenv("MOZ_PLUGIN_PATH");
  for (std::string rest = list ? list : ""; !rest.empty();) {
    const size_t colon = rest.find(':');
    folders.push_back(rest.substr(0, colon));
    rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
  }
  if (const char* home = getenv("HOME")) folders.push_back(std::string(home) + "/.mozilla/plugins");
  for (const std::string& folder : folders) {
    const std::string path = FindIn(folder, mime);
    if (!path.empty()) return path;
  }
  return "";
}

}  // namespace host
