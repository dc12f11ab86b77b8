#include "modules/module_loader.h"

#include <windows.h>

// The DLLs a module imports are looked up in the module's own folder first (not in the current
// directory, the browser's folder or PATH first, where a planted DLL of the same name would win).
ModuleHandle Module_Load(const char* path) {
  return reinterpret_cast<ModuleHandle>(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

void* Module_Find(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void Module_Unload(ModuleHandle module) {
  if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}
