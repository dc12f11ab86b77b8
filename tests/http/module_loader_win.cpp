#include <windows.h>

#include "http/module_loader.h"

void* TestModule_Load(const std::string& path) { return LoadLibraryA(path.c_str()); }
void* TestModule_Find(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
void TestModule_Unload(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }
