#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "support/file_util.h"
#include "support/status.h"

int File_Replace(const char* source, const char* destination) {
  if (source == nullptr || destination == nullptr) return ERR_NO_FILE;
  if (MoveFileExA(source, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return STATUS_OK;
  return static_cast<int>(GetLastError());
}

bool File_RefusedAsInUse(const char* destination, int code) {
  if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) return false;
  const DWORD attributes = GetFileAttributesA(destination);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

unsigned long Process_Id() { return GetCurrentProcessId(); }

bool Process_IsRunning(unsigned long pid) {
  if (pid == 0) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

int File_ListDir(const char* dir, void (*visit)(const char* name, void* context), void* context) {
  char pattern[MAX_PATH + 4] = {0};
  if (dir == nullptr || snprintf(pattern, sizeof pattern, "%s\\*", dir) >= static_cast<int>(sizeof pattern)) {
    return ERR_NO_FILE;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return ERR_NO_FILE;
  do {
    if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) visit(found.cFileName, context);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return STATUS_OK;
}

// A named mutex per directory: its name is a hash of the path, letter case folded as Windows folds
// paths. A mutex whose holder died is handed on abandoned, which is as good as released here.
int DirLock_Take(DirLock* lock, const char* dir, int waitMs, bool* waited) {
  lock->handle = 0;
  *waited = false;
  if (dir == nullptr || dir[0] == '\0') return ERR_NO_FILE;
  unsigned long long hash = 14695981039346656037ULL;  // FNV-1a
  for (const char* p = dir; *p != '\0'; ++p) {
    char c = *p == '/' ? '\\' : *p;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  }
  char name[64];
  snprintf(name, sizeof name, "Local\\VexoModuleDir-%016llx", hash);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
  if (mutex == nullptr) return static_cast<int>(GetLastError());
  DWORD waitResult = WaitForSingleObject(mutex, 0);
  if (waitResult == WAIT_TIMEOUT) {
    *waited = true;
    waitResult = WaitForSingleObject(mutex, static_cast<DWORD>(waitMs));
  }
  if (waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED) {
    lock->handle = reinterpret_cast<intptr_t>(mutex);
    return STATUS_OK;
  }
  const int error = waitResult == WAIT_TIMEOUT ? ERR_LOCK_BUSY : static_cast<int>(GetLastError());
  CloseHandle(mutex);
  return error;
}

void DirLock_Release(DirLock* lock) {
  if (lock == nullptr || lock->handle == 0) return;
  HANDLE mutex = reinterpret_cast<HANDLE>(lock->handle);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  lock->handle = 0;
}
