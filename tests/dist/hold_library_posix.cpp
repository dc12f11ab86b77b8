// Keeps a library loaded, as a running browser keeps a module it uses, until a file appears.
//   hold_library LIBRARY STOP_FILE
// Prints "loaded" once the library is in memory (exit status 1 when it could not be loaded).
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: hold_library LIBRARY STOP_FILE\n");
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    fprintf(stderr, "hold_library: cannot load %s (%s)\n", argv[1], dlerror());
    return 1;
  }
  printf("loaded\n");
  fflush(stdout);
  // Bounded: gives up after five minutes should the test never ask it to stop.
  const timespec pause = {0, 100 * 1000 * 1000};
  for (int i = 0; i < 3000 && access(argv[2], F_OK) != 0; ++i) nanosleep(&pause, nullptr);
  dlclose(library);
  return 0;
}
