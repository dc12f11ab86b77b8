#include "support/file_util.h"

#include <errno.h>
#include <string.h>
#include <time.h>

#include "support/crt.h"
#include "support/status.h"
#include "support/string_util.h"

namespace {

constexpr int kPrefixCapacity = 256;  // File_MakeDirs' buffer for one level's prefix

// getc that retries a read interrupted by a signal.
int ReadByte(FILE* file) {
  for (;;) {
    errno = 0;
    const int c = getc(file);
    if (c != EOF || !ferror(file) || errno != EINTR) return c;
    clearerr(file);
  }
}

// Reads and discards the rest of a line that did not fit. Bytes are read one at a time so that a
// NUL inside the line cannot hide its line end.
void SkipRestOfLine(FILE* file) {
  int c;
  do {
    c = ReadByte(file);
  } while (c != EOF && c != '\n');
}

int MakeOneDir(const char* path) {
  if (_mkdir(path) != 0 && errno != EEXIST) return ERR_MKDIR;
  return STATUS_OK;
}

}  // namespace

int File_ReadLine(FILE* file, char* buf, int size, int options) {
  if (buf == nullptr || size < 1) return -1;
  buf[0] = '\0';
  if (file == nullptr || size < 2) return -1;
  // The line is measured by the bytes read, not by strlen: a NUL inside it must not make a
  // complete line look unfinished (the rest-of-line skip would then eat the next line).
  int len = 0;
  int c = EOF;
  while (len < size - 1 && (c = ReadByte(file)) != EOF) {
    buf[len++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buf[len] = '\0';
  if (len == 0) return -1;
  if (buf[len - 1] != '\n' && c != EOF && (options & READLINE_SKIP_REST)) SkipRestOfLine(file);
  while (len > 0 && (buf[len - 1] == '\r' || buf[len - 1] == '\n')) --len;
  buf[len] = '\0';
  return len;
}

int File_ReadAll(const char* path, char* buf, int capacity) {
  if (path == nullptr) return ERR_NO_FILE;
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return ERR_NO_FILE;
  long size = -1;
  if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
  if (size < 0 || fseek(file, 0, SEEK_SET) != 0) {
    fclose(file);
    return ERR_FILE_TOO_BIG;  // the size could not be taken: a failed plain-file read
  }
  if (buf == nullptr) capacity = 0;
  if (size > capacity) {
    fclose(file);
    return ERR_FILE_TOO_BIG;
  }
  const size_t got = size > 0 ? fread(buf, 1, static_cast<size_t>(size), file) : 0;
  fclose(file);
  return static_cast<int>(got);
}

int File_MakeDirs(const char* path) {
  if (path == nullptr || path[0] == '\0') return ERR_MKDIR;
  // Refuse up front a level that the prefix buffer cannot hold, so that no cut name is created.
  for (const char* slash = strchr(path, '/'); slash != nullptr; slash = strchr(slash + 1, '/')) {
    if (slash - path >= kPrefixCapacity) return ERR_MKDIR;
  }
  for (const char* slash = strchr(path, '/'); slash != nullptr; slash = strchr(slash + 1, '/')) {
    const int len = static_cast<int>(slash - path);
    if (len == 0 || (len == 1 && path[0] == '.')) continue;
    char prefix[kPrefixCapacity];
    String_Copy(prefix, path, len, COPY_TRIM);
    if (MakeOneDir(prefix) != STATUS_OK) return ERR_MKDIR;
  }
  const char* last = strrchr(path, '/');
  if (last == nullptr || last[1] != '\0') return MakeOneDir(path);
  return STATUS_OK;
}

int File_Write(FILE* file, const void* data, int length) {
  if (file == nullptr) return ERR_NO_FILE;
  if (data == nullptr || length <= 0) return 0;
  return static_cast<int>(fwrite(data, 1, static_cast<size_t>(length), file));
}

int File_WriteAll(const char* path, const void* data, int length) {
  if (path == nullptr) return -1;
  FILE* file = fopen(path, "w");
  if (file == nullptr) return -1;
  const int written = File_Write(file, data, length);
  fclose(file);
  return written;
}

int File_Remove(const char* path) {
  if (path == nullptr) return ERR_NO_FILE;
  return remove(path) == 0 ? STATUS_OK : ERR_REMOVE;
}

char* Time_Format(char* out, const char* format, int32_t seconds, int capacity) {
  static char shared[256];
  if (out == nullptr) {
    out = shared;
    capacity = static_cast<int>(sizeof shared);
  }
  if (capacity <= 0) return out;
  out[0] = '\0';
  const time_t when = seconds < 0 ? time(nullptr) : static_cast<time_t>(seconds);
  const struct tm* local = localtime(&when);
  if (local == nullptr || format == nullptr) return out;
  // The format is the caller's by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  if (strftime(out, static_cast<size_t>(capacity), format, local) == 0) out[0] = '\0';
#pragma GCC diagnostic pop
  return out;
}
