// File-to-file gzip conversions. Both consume their source: it is removed once the conversion has
// ended, whatever the outcome, and a failed conversion leaves no file under the destination name.
#pragma once

#include <stdint.h>

constexpr int GZIP_CHUNK = 16384;

// Largest file an unpacking may produce (a build constant): real payment modules are tens of
// megabytes, a decompression bomb is stopped here before it fills the disk.
constexpr int64_t GZIP_MAX_UNPACKED_BYTES = int64_t{128} * 1024 * 1024;

// The unpacked data would be larger than the limit: nothing is left under the destination name.
constexpr int ERR_UNPACKED_TOO_BIG = -219;

// 0, ERR_NO_FILE, ERR_FILE_TOO_BIG (short write), ERR_UNPACKED_TOO_BIG (more than maxBytes of
// unpacked data) or a negative zlib error number. A stream that ends in the middle fails with
// Z_BUF_ERROR; input that is not gzip data is copied unchanged.
int GzipDecompressFile(const char* source, const char* destination, int64_t maxBytes = GZIP_MAX_UNPACKED_BYTES);
// 0, ERR_NO_FILE, ERR_FILE_TOO_BIG (read error) or a negative zlib error number.
int GzipCompressFile(const char* source, const char* destination);
