// Loading the payment modules by full path: LoadLibraryExA (a module's own imports are found in its
// folder first) / GetProcAddress / FreeLibrary on Windows, dlopen / dlsym / dlclose elsewhere.
#pragma once

using ModuleHandle = void*;

// Handle of the loaded module, or null.
ModuleHandle Module_Load(const char* path);
// Address of an exported function, or null.
void* Module_Find(ModuleHandle module, const char* name);
void Module_Unload(ModuleHandle module);
