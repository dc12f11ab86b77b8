#include "modules/module_loader.h"

#include <dlfcn.h>

ModuleHandle Module_Load(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }

void* Module_Find(ModuleHandle module, const char* name) { return dlsym(module, name); }

void Module_Unload(ModuleHandle module) {
  if (module != nullptr) dlclose(module);
}
