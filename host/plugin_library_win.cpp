#include "host/plugin_library.h"

#include <windows.h>
#include <stdio.h>

#include <vector>

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
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return "";
  std::vector<char> info(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!GetFileVersionInfoA(path, 0, size, info.data()) ||
      !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixedSize < sizeof *fixed)
    return "";
  char text[48];
  snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
           static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
           static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)),
           static_cast<unsigned long>(LOWORD(fixed->dwFileVersionLS)));
  return text;
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
