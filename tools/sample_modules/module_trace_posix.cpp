#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "tools/sample_modules/payment_view.h"

void SampleModule_Sleep(int milliseconds) {
  const timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  nanosleep(&wait, nullptr);
}

void ModuleTrace_Add(const char* variable) {
  const char* now = getenv(variable);
  char text[16];
  snprintf(text, sizeof text, "%d", (now != nullptr ? atoi(now) : 0) + 1);
  setenv(variable, text, 1);
}
