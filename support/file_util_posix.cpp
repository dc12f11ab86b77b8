#include <errno.h>
#include <stdio.h>

#include "support/file_util.h"
#include "support/status.h"

int File_Replace(const char* source, const char* destination) {
  if (source == nullptr || destination == nullptr) return ERR_NO_FILE;
  return rename(source, destination) == 0 ? STATUS_OK : (errno != 0 ? errno : ERR_REMOVE);
}
