// Run-time library calls of the Microsoft C library that the system relies on.
// On Windows they come from the C library itself; POSIX lacks them, so crt_posix.cpp supplies
// stand-ins with the same behaviour.
#pragma once

#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#else
extern "C" {
int _stricmp(const char* a, const char* b);  // ASCII letters without regard to case
int _mkdir(const char* path);                // 0, or -1 with errno (EEXIST for an existing one)
int _access(const char* path, int mode);     // 0 when the path exists (mode 0)
int _unlink(const char* path);               // 0, or -1 with errno
char* _strdup(const char* text);             // malloc'ed copy, or null
}
#endif
