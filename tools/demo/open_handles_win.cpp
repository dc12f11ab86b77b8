#include <windows.h>

#include "tools/demo/open_handles.h"

long OpenHandles_Count() {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return -1;
  return static_cast<long>(count);
}
