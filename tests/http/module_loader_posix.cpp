#include <dlfcn.h>

#include "http/module_loader.h"

void* TestModule_Load(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* TestModule_Find(void* module, const char* name) { return dlsym(module, name); }
void TestModule_Unload(void* module) { dlclose(module); }
