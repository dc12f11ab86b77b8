// Helpers of the fuzz targets: a failed property aborts with a message (libFuzzer then keeps the
// input as a crash), and scratch files live in the working folder the runner gives each target.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#define FUZZ_CHECK(cond)                                                         \
  do {                                                                           \
    if (!(cond)) {                                                               \
      fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
      abort();                                                                   \
    }                                                                            \
  } while (0)

// Writes bytes to path (binary); aborts when the file cannot be written.
inline void FuzzWriteFile(const char* path, const std::string& bytes) {
  FILE* f = fopen(path, "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  fclose(f);
}

inline bool FuzzFileExists(const char* path) {
  FILE* f = fopen(path, "rb");
  if (f == nullptr) return false;
  fclose(f);
  return true;
}

// True when text, read as pairs of a lead byte and its partner from the start, ends inside a pair.
inline bool FuzzEndsInsidePair(const char* text, int len, bool (*isLead)(char)) {
  int i = 0;
  while (i < len) i += isLead(text[i]) ? 2 : 1;
  return i > len;
}
