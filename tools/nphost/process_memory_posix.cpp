#include <stdio.h>
#include <string.h>

#include "tools/nphost/process_memory.h"

long ProcessMemory_ResidentKb() {
  FILE* f = fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kb = -1;
  while (fgets(line, sizeof line, f) != nullptr) {
    if (strncmp(line, "VmRSS:", 6) == 0) {
      sscanf(line + 6, "%ld", &kb);
      break;
    }
  }
  fclose(f);
  return kb;
}
