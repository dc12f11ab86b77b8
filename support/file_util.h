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

// Formats a local time (seconds since 1970; negative means now) with strftime into out, or into one
// shared 256-byte buffer when out is null. Returns the text.
char* Time_Format(char* out, const char* format, int32_t seconds, int capacity);
