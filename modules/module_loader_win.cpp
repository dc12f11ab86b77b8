#include "modules/module_loader.h"

#include <windows.h>

ModuleHandle Module_Load(const char* path) { return reinterpret_cast<ModuleHandle>(LoadLibraryA(path)); }

void* Module_Find(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void Module_Unload(ModuleHandle module) {
  if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}
