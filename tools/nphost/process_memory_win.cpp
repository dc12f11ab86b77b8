#include <windows.h>
#include <psapi.h>

#include "tools/nphost/process_memory.h"

long ProcessMemory_ResidentKb() {
  PROCESS_MEMORY_COUNTERS counters;
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}
