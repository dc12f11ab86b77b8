// The sample payment modules' own view of what the plug-in hands to "LoadMainDLL". A payment
// module is built apart from the plug-in, so it declares the layouts itself instead of including
// the plug-in's headers; on the 32-bit product they are fixed byte for byte.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define MODULE_EXPORT extern "C" __declspec(dllexport)
#define MODULE_CALL __cdecl
#else
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#define MODULE_CALL
#endif

constexpr int VIEW_FILE_ENTRIES = 40;
constexpr int VIEW_SECTIONS = 20;
constexpr int VIEW_RESULT_CAPACITY = 8192;
constexpr char VIEW_RECORD_END = 0x1F;

struct ViewFileEntry {  // 588 bytes
  char file_name[128];
  char url[128];
  char version[65];
  char target[256];
  char reserved[3];
  int32_t description_number;
  int32_t needs_update;
};

struct ViewSection {
  const char* name;
  const char* records;  // key=value records, each ended by 0x1F (0x1D in "Escrow" sections)
};

struct ViewStoreBlock {
  int32_t count;
  ViewSection sections[VIEW_SECTIONS];
  char result[VIEW_RESULT_CAPACITY];  // directly behind the store
};

static_assert(sizeof(ViewFileEntry) == 588, "file entry is 588 bytes");
static_assert(offsetof(ViewFileEntry, description_number) == 580, "description_number at 580");
#if defined(_WIN32) && !defined(_WIN64)  // the 32-bit modules (not the 64-bit check build)
static_assert(sizeof(void*) == 4, "the payment modules are 32-bit DLLs");
static_assert(offsetof(ViewStoreBlock, sections) == 4, "sections follow the count");
static_assert(offsetof(ViewStoreBlock, result) == 164, "the result area starts at byte 164");
#endif

// The control module's one export: how many times it was attached since it was loaded.
using ControlAttachFn = int(MODULE_CALL*)();
constexpr char CONTROL_MODULE_NAME[] = "MVcontrol70.dll";
constexpr char CONTROL_ATTACH_EXPORT[] = "MVcontrol_Attach";

// Calls the control module's attach export when that module is loaded in the process; -1 when not.
int ControlModule_Attach();

// Counts one event in the process environment variable (a decimal number, absent reads as 0), so a
// test host can tell how often the plug-in loaded and unloaded a sample module.
void ModuleTrace_Add(const char* variable);
// Waits that many milliseconds (the main module's "sample_busy_ms").
void SampleModule_Sleep(int milliseconds);

// Counts the loads and unloads of the module that holds it (one static object per module).
struct ModuleLoadTrace {
  const char* loads;
  const char* unloads;
  ModuleLoadTrace(const char* loadVariable, const char* unloadVariable) : loads(loadVariable), unloads(unloadVariable) {
    ModuleTrace_Add(loads);
  }
  ~ModuleLoadTrace() { ModuleTrace_Add(unloads); }
};
