#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "tools/sample_modules/payment_view.h"

// The process environment block, which the host reads with GetEnvironmentVariableA (the C run-time
// library's copy would not see the change).
void SampleModule_Sleep(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

void ModuleTrace_Add(const char* variable) {
  char text[16] = {0};
  const DWORD n = GetEnvironmentVariableA(variable, text, sizeof text);
  char next[16];
  snprintf(next, sizeof next, "%d", (n > 0 && n < sizeof text ? atoi(text) : 0) + 1);
  SetEnvironmentVariableA(variable, next);
}
