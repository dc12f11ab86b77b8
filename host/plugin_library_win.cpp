#include "host/plugin_library.h"

#include <windows.h>

#include "host/plugin_discovery.h"

namespace host {

namespace {
typedef NPError(WINAPI* GetEntryPointsFn)(NPPluginFuncs*);
typedef NPError(WINAPI* InitializeFn)(NPNetscapeFuncs*);
typedef NPError(WINAPI* ShutdownFn)();
}  // namespace

bool PluginLibrary::Load(const std::string& path) {
  Unload();
  handle_ = LoadLibraryA(path.c_str());
  return handle_ != nullptr;
}

void PluginLibrary::Unload() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

std::string PluginLibrary::Version() const {
  char path[MAX_PATH];
  const DWORD length = handle_ ? GetModuleFileNameA(static_cast<HMODULE>(handle_), path, sizeof path) : 0;
  if (length == 0 || length >= sizeof path) return "";
  return FileVersion(path);
}

void* PluginLibrary::Symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

NPError PluginLibrary::GetEntryPoints(NPPluginFuncs* table, NPNetscapeFuncs*) {
  auto fn = reinterpret_cast<GetEntryPointsFn>(Symbol("NP_GetEntryPoints"));
  return fn ? fn(table) : NPERR_INVALID_PLUGIN_ERROR;
}

NPError PluginLibrary::Initialize(NPNetscapeFuncs* funcs) {
  auto fn = reinterpret_cast<InitializeFn>(Symbol("NP_Initialize"));
  return fn ? fn(funcs) : NPERR_INVALID_PLUGIN_ERROR;
}

NPError PluginLibrary::Shutdown() {
  auto fn = reinterpret_cast<ShutdownFn>(Symbol("NP_Shutdown"));
  return fn ? fn() : NPERR_INVALID_PLUGIN_ERROR;
}

}  // namespace host
