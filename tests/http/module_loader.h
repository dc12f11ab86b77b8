// Loading the sample payment modules in tests the way the plug-in does (LoadLibraryA / dlopen).
#pragma once

#include <string>

void* TestModule_Load(const std::string& path);  // null when it cannot be loaded
void* TestModule_Find(void* module, const char* name);
void TestModule_Unload(void* module);
