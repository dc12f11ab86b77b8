// Keeps a library loaded, as a running browser keeps the plug-in it uses, until a file appears.
//   hold_library LIBRARY STOP_FILE
// Prints "loaded" once the library is in memory (exit status 1 when it could not be loaded).
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: hold_library LIBRARY STOP_FILE\n");
    return 2;
  }
  HMODULE library = LoadLibraryA(argv[1]);
  if (library == nullptr) {
    fprintf(stderr, "hold_library: cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  printf("loaded\n");
  fflush(stdout);
  // Bounded: gives up after five minutes should the test never ask it to stop.
  for (int i = 0; i < 3000 && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  FreeLibrary(library);
  return 0;
}
