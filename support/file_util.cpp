#include "support/file_util.h"

#include <errno.h>
#include <string.h>
#include <time.h>

#include <atomic>

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

bool File_PrivateName(char* out, int capacity, const char* path, const char* suffix) {
  static std::atomic<uint32_t> counter{0};
  if (out == nullptr || capacity < 1) return false;
  const unsigned long n = ++counter;
  const int length = snprintf(out, static_cast<size_t>(capacity), "%s.%lu-%lu%s", path != nullptr ? path : "",
                              Process_Id(), n, suffix != nullptr ? suffix : "");
  if (path == nullptr || length < 0 || length >= capacity) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool File_PrivateNameOwner(const char* fileName, unsigned long* pid) {
  static const char* const kSuffixes[] = {".gz", ".new", ".old", ".tmp", ".tmp.sig"};
  if (fileName == nullptr) return false;
  // ".<digits>-<digits>" followed by exactly one of the suffixes, at the end of the name.
  for (const char* dot = strchr(fileName, '.'); dot != nullptr; dot = strchr(dot + 1, '.')) {
    const size_t owner = strspn(dot + 1, "0123456789");
    if (owner == 0 || owner > 10 || dot[1 + owner] != '-') continue;
    const char* count = dot + 2 + owner;
    const size_t countLength = strspn(count, "0123456789");
    if (countLength == 0) continue;
    for (const char* suffix : kSuffixes) {
      if (strcmp(count + countLength, suffix) == 0) {
        *pid = strtoul(dot + 1, nullptr, 10);
        return true;
      }
    }
  }
  return false;
}

int File_ReplaceInUse(const char* source, const char* destination, const char* asidePath) {
  const int result = File_Replace(source, destination);
  if (result == STATUS_OK || asidePath == nullptr || !File_RefusedAsInUse(destination, result)) return result;
  if (File_Replace(destination, asidePath) != STATUS_OK) return result;
  const int moved = File_Replace(source, destination);
  if (moved != STATUS_OK) File_Replace(asidePath, destination);
  return moved;
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
