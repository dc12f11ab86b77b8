// File-to-file gzip conversions. Both consume their source: it is removed once the conversion has
// ended, whatever the outcome, and a failed conversion leaves no file under the destination name.
#pragma once

constexpr int GZIP_CHUNK = 16384;

// 0, ERR_NO_FILE, ERR_FILE_TOO_BIG (short write) or a negative zlib error number. A stream that
// ends in the middle fails with Z_BUF_ERROR; input that is not gzip data is copied unchanged.
int GzipDecompressFile(const char* source, const char* destination);
// 0, ERR_NO_FILE, ERR_FILE_TOO_BIG (read error) or a negative zlib error number.
int GzipCompressFile(const char* source, const char* destination);
