#include "host/plugin_library.h"

#include <dlfcn.h>
#include <string.h>

namespace host {

namespace {
typedef NPError (*InitializeFn)(NPNetscapeFuncs*, NPPluginFuncs*);
typedef NPError (*ShutdownFn)();
}  // namespace

bool PluginLibrary::Load(const std::string& path) {
  Unload();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void PluginLibrary::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

std::string PluginLibrary::Version() const { return handle_ ? VEXO_PLUGIN_VERSION : ""; }

void* PluginLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

NPError PluginLibrary::GetEntryPoints(NPPluginFuncs* table, NPNetscapeFuncs* browserTable) {
  auto fn = reinterpret_cast<InitializeFn>(Symbol("NP_Initialize"));
  return fn ? fn(browserTable, table) : NPERR_INVALID_PLUGIN_ERROR;
}

NPError PluginLibrary::Initialize(NPNetscapeFuncs* funcs) {
  auto fn = reinterpret_cast<InitializeFn>(Symbol("NP_Initialize"));
  NPPluginFuncs table;
  memset(&table, 0, sizeof table);
  table.size = sizeof table;
  return fn ? fn(funcs, &table) : NPERR_INVALID_PLUGIN_ERROR;
}

NPError PluginLibrary::Shutdown() {
  auto fn = reinterpret_cast<ShutdownFn>(Symbol("NP_Shutdown"));
  return fn ? fn() : NPERR_INVALID_PLUGIN_ERROR;
}

}  // namespace host
