#include <windows.h>

#include "support/file_util.h"
#include "support/status.h"

int File_Replace(const char* source, const char* destination) {
  if (source == nullptr || destination == nullptr) return ERR_NO_FILE;
  if (MoveFileExA(source, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return STATUS_OK;
  return static_cast<int>(GetLastError());
}
