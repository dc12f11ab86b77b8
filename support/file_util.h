// Small file operations that answer with status codes, and the time-stamp formatter.
#pragma once

#include <stdint.h>
#include <stdio.h>

enum : int { READLINE_SKIP_REST = 1 };  // File_ReadLine: discard the rest of an over-long line

// Length of the line without its line end (counted in bytes read, so a NUL inside it counts), or -1
// at end of file or on a read error.
int File_ReadLine(FILE* file, char* buf, int size, int options);
// Bytes read; ERR_NO_FILE without path or file; ERR_FILE_TOO_BIG when longer than capacity.
int File_ReadAll(const char* path, char* buf, int capacity);
// Creates every "/"-separated level of path; 0 or ERR_MKDIR. Existing directories are no error.
// A path with a level prefix of 256 characters or more is refused before anything is created.
int File_MakeDirs(const char* path);
// Bytes written by fwrite, or ERR_NO_FILE without a file.
int File_Write(FILE* file, const void* data, int length);
// Writes data in text mode ("w"); bytes written, or -1 without path or when it cannot be opened.
int File_WriteAll(const char* path, const void* data, int length);
// 0; ERR_REMOVE when remove fails; ERR_NO_FILE without a path.
int File_Remove(const char* path);
// Renames source over destination in one step (an earlier destination is replaced, never left
// half-written). 0, ERR_NO_FILE without a path, or the platform's error code (positive).
// file_util_win.cpp: MoveFileExA; file_util_posix.cpp: rename.
int File_Replace(const char* source, const char* destination);

// --- Files that several processes share ---

// Id of the calling process.
unsigned long Process_Id();
// False once no process with that id runs any longer (one that cannot be looked at counts as
// running).
bool Process_IsRunning(unsigned long pid);

// Writes path, ".<process id>-<n>" and suffix into out: a name no other process, and no other call
// in this process, uses (n counts up per call, a 32-bit count). False, with out emptied, when it
// does not fit capacity - 1 characters.
bool File_PrivateName(char* out, int capacity, const char* path, const char* suffix);
// The widest ".<process id>-<n>" File_PrivateName writes: both 32-bit numbers, 10 digits at most.
constexpr int FILE_PRIVATE_PART_MAX = 1 + 10 + 1 + 10;
// The process id in a file name that File_PrivateName made with one of the suffixes the plug-in
// uses (".gz", ".new", ".old", ".tmp", ".tmp.sig"): true with *pid set, false for any other name.
bool File_PrivateNameOwner(const char* fileName, unsigned long* pid);

// Calls visit with the name of every entry of dir except "." and "..": 0, or ERR_NO_FILE when the
// directory cannot be read.
int File_ListDir(const char* dir, void (*visit)(const char* name, void* context), void* context);

// True when File_Replace failed with code only because destination, a plain file, is in use (a
// loaded module on Windows; never natively, where a rename replaces a file in use).
bool File_RefusedAsInUse(const char* destination, int code);
// File_Replace that also replaces a destination in use: where the platform refuses to replace it
// (on Windows, a module some process has loaded), the destination is first moved to asidePath
// (renaming a loaded module is allowed) and source then moved in; should that fail, the old file is
// moved back. 0, or the code of File_Replace.
int File_ReplaceInUse(const char* source, const char* destination, const char* asidePath);

// An exclusive lock on a directory, shared by all processes: a named mutex on Windows (held by a
// thread), flock on the directory natively (held by an open directory). The system releases it
// when its holder dies. Holders on different threads of one process exclude each other too.
struct DirLock {
  intptr_t handle;  // 0 while not held
};
enum : int { ERR_LOCK_BUSY = -224 };  // another holder kept the lock for the whole wait
// Takes the lock of dir, waiting at most waitMs for another holder: 0, ERR_LOCK_BUSY, ERR_NO_FILE
// without a directory, or a platform code. *waited tells whether another holder had it at first.
int DirLock_Take(DirLock* lock, const char* dir, int waitMs, bool* waited);
// Releases a lock taken by DirLock_Take; nothing when it is not held.
void DirLock_Release(DirLock* lock);

// Formats a local time (seconds since 1970; negative means now) with strftime into out, or into one
// shared 256-byte buffer when out is null. Returns the text.
char* Time_Format(char* out, const char* format, int32_t seconds, int capacity);
