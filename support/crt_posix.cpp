// POSIX stand-ins for the Microsoft run-time calls declared in crt.h.
#include "support/crt.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {

int _stricmp(const char* a, const char* b) {
  // Compares bytes, folding only the ASCII letters, as the Microsoft run-time does in the C locale.
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    int cx = (*x >= 'A' && *x <= 'Z') ? *x + 32 : *x;
    int cy = (*y >= 'A' && *y <= 'Z') ? *y + 32 : *y;
    if (cx != cy || cx == 0) return cx - cy;
  }
}

int _mkdir(const char* path) { return mkdir(path, 0777); }

int _access(const char* path, int mode) {
  int how = F_OK;
  if (mode & 2) how |= W_OK;
  if (mode & 4) how |= R_OK;
  return access(path, how);
}

int _unlink(const char* path) { return unlink(path); }

char* _strdup(const char* text) { return strdup(text); }

}  // extern "C"
