#include "support/gzip_file.h"

#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include "support/crt.h"
#include "support/status.h"

namespace {

unsigned char g_unpackBuffer[GZIP_CHUNK];
unsigned char g_packBuffer[GZIP_CHUNK];

int StreamError(gzFile stream) {
  int errnum = Z_OK;
  gzerror(stream, &errnum);
  return errnum;
}

// Removes what a conversion leaves behind: the destination when it failed, and always the source.
void Consume(const char* source, const char* destination, int result) {
  if (result != STATUS_OK && destination != nullptr) _unlink(destination);
  if (source != nullptr) _unlink(source);
}

}  // namespace

int GzipDecompressFile(const char* source, const char* destination, int64_t maxBytes) {
  memset(g_unpackBuffer, 0, sizeof g_unpackBuffer);
  int result = STATUS_OK;
  int64_t unpacked = 0;
  gzFile in = nullptr;
  FILE* out = nullptr;
  if (source == nullptr || (in = gzopen(source, "rb")) == nullptr) {
    result = ERR_NO_FILE;
  } else if (destination == nullptr || (out = fopen(destination, "wb")) == nullptr) {
    result = ERR_NO_FILE;
  }
  while (result == STATUS_OK) {
    const int count = gzread(in, g_unpackBuffer, sizeof g_unpackBuffer);
    if (count < 0) {
      result = StreamError(in);
    } else if (count == 0) {
      // The end of the data; a stream cut off in the middle is reported as Z_BUF_ERROR.
      if (StreamError(in) == Z_BUF_ERROR) result = Z_BUF_ERROR;
      break;
    } else if ((unpacked += count) > maxBytes) {
      result = ERR_UNPACKED_TOO_BIG;
    } else if (fwrite(g_unpackBuffer, 1, static_cast<size_t>(count), out) != static_cast<size_t>(count)) {
      result = ERR_FILE_TOO_BIG;
    }
  }
  if (in != nullptr && gzclose(in) == Z_BUF_ERROR && result == STATUS_OK) result = Z_BUF_ERROR;
  if (out != nullptr && fclose(out) != 0 && result == STATUS_OK) result = ERR_FILE_TOO_BIG;
  Consume(source, destination, result);
  return result;
}

int GzipCompressFile(const char* source, const char* destination) {
  memset(g_packBuffer, 0, sizeof g_packBuffer);
  int result = STATUS_OK;
  FILE* in = nullptr;
  gzFile out = nullptr;
  if (source == nullptr || (in = fopen(source, "rb")) == nullptr) {
    result = ERR_NO_FILE;
  } else if (destination == nullptr || (out = gzopen(destination, "wb")) == nullptr) {
    result = ERR_NO_FILE;
  }
  while (result == STATUS_OK) {
    const size_t count = fread(g_packBuffer, 1, sizeof g_packBuffer, in);
    if (ferror(in)) {
      result = ERR_FILE_TOO_BIG;
    } else if (count == 0) {
      break;
    } else if (gzwrite(out, g_packBuffer, static_cast<unsigned>(count)) != static_cast<int>(count)) {
      result = StreamError(out);
      if (result == Z_OK) result = Z_ERRNO;
    }
  }
  if (in != nullptr) fclose(in);
  if (out != nullptr && gzclose(out) != Z_OK && result == STATUS_OK) result = Z_ERRNO;
  Consume(source, destination, result);
  return result;
}
