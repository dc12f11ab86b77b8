#include "modules/release_check.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "modules/install_record.h"
#include "modules/release_key.h"
#include "support/file_util.h"
#include "support/profile.h"
#include "support/status.h"

namespace {

constexpr int kValueCapacity = 128;
constexpr int kFileChunk = 16384;
constexpr int kPathCapacity = 256;  // a table path, terminator included

// A decimal number of digits only (no sign, no blanks), at most max: false for anything else.
bool ReadDecimal(const char* text, int64_t max, int64_t* value) {
  if (text[0] == '\0' || strlen(text) > 18 || strspn(text, "0123456789") != strlen(text)) return false;
  *value = strtoll(text, nullptr, 10);
  return *value <= max;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadSha256(const char* text, uint8_t* out) {
  if (strlen(text) != 2 * SHA256_SIZE) return false;
  for (int i = 0; i < SHA256_SIZE; ++i) {
    const int high = HexDigit(text[2 * i]);
    const int low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

// The [RELEASE] Serial of a table: 0 with the value, ERR_PROFILE_* when absent, ERR_RELEASE_SIGNATURE
// when it is no number.
int ReadSerial(const char* path, int64_t* serial) {
  char text[kValueCapacity] = {};
  const int found = Profile_GetString(RELEASE_SECTION, RELEASE_SERIAL_KEY, nullptr, text, sizeof text, path);
  if (found != STATUS_OK) return found;
  if (!ReadDecimal(text, 2147483647, serial)) return ERR_RELEASE_SIGNATURE;
  return STATUS_OK;
}

// SHA-256 and length of a file, read in chunks.
bool HashFile(const char* path, uint8_t* digest, int64_t* length) {
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return false;
  Sha256* sha = Sha256_Begin();
  bool ok = sha != nullptr;
  static char chunk[kFileChunk];  // the plug-in's calls run one at a time on the browser's thread
  *length = 0;
  while (ok) {
    const size_t got = fread(chunk, 1, sizeof chunk, file);
    if (got == 0) break;
    ok = Sha256_Update(sha, chunk, static_cast<int>(got));
    *length += static_cast<int64_t>(got);
  }
  ok = ok && ferror(file) == 0;
  if (sha != nullptr) ok = Sha256_End(sha, digest) && ok;
  fclose(file);
  return ok;
}

}  // namespace

bool Release_KeyBuiltIn() { return RELEASE_PUBLIC_KEY_PEM[0] != '\0'; }

int Release_VerifyTable(const char* tablePath, const char* signaturePath) {
  static char table[INSTALL_RECORD_MAX_TABLE + 1];
  static char signature[RELEASE_SIGNATURE_MAX + 1];
  const int tableLength = File_ReadAll(tablePath, table, INSTALL_RECORD_MAX_TABLE);
  const int signatureLength = File_ReadAll(signaturePath, signature, RELEASE_SIGNATURE_MAX);
  if (tableLength < 0 || signatureLength <= 0) return ERR_RELEASE_SIGNATURE;
  if (!Crypto_VerifyRsaSha256(RELEASE_PUBLIC_KEY_PEM, table, tableLength, signature, signatureLength)) {
    return ERR_RELEASE_SIGNATURE;
  }
  return STATUS_OK;
}

int Release_VerifyTableFile(const char* tablePath) {
  char signaturePath[kPathCapacity + sizeof RELEASE_SIGNATURE_SUFFIX] = {};
  const int n = snprintf(signaturePath, sizeof signaturePath, "%s%s", tablePath, RELEASE_SIGNATURE_SUFFIX);
  if (n < 0 || n >= static_cast<int>(sizeof signaturePath)) return ERR_RELEASE_SIGNATURE;
  return Release_VerifyTable(tablePath, signaturePath);
}

int Release_CheckSerial(const char* fetchedTablePath, const char* localTablePath) {
  int64_t fetched = 0;
  int64_t installed = 0;
  if (ReadSerial(fetchedTablePath, &fetched) != STATUS_OK) return ERR_RELEASE_SIGNATURE;
  const int local = ReadSerial(localTablePath, &installed);
  if (local == ERR_RELEASE_SIGNATURE) return ERR_RELEASE_ROLLBACK;  // unreadable: never go below it
  if (local == STATUS_OK && fetched < installed) return ERR_RELEASE_ROLLBACK;
  return STATUS_OK;
}

namespace {

int ReadCheck(const char* tablePath, const char* fileName, const char* hashKey, const char* sizeKey,
              ReleaseFileCheck* check) {
  char hash[kValueCapacity] = {};
  char size[kValueCapacity] = {};
  if (Profile_GetString(fileName, hashKey, nullptr, hash, sizeof hash, tablePath) != STATUS_OK ||
      Profile_GetString(fileName, sizeKey, nullptr, size, sizeof size, tablePath) != STATUS_OK ||
      !ReadSha256(hash, check->sha256) || !ReadDecimal(size, INT64_C(0x7fffffff), &check->size)) {
    return ERR_RELEASE_FILE;
  }
  return STATUS_OK;
}

}  // namespace

int Release_ReadFileCheck(const char* tablePath, const char* fileName, ReleaseFileCheck* check) {
  return ReadCheck(tablePath, fileName, RELEASE_SHA256_KEY, RELEASE_SIZE_KEY, check);
}

int Release_ReadInstalledCheck(const char* tablePath, const char* fileName, ReleaseFileCheck* check) {
  return ReadCheck(tablePath, fileName, RELEASE_INSTALLED_SHA256_KEY, RELEASE_INSTALLED_SIZE_KEY, check);
}

int Release_CheckFile(const char* path, const ReleaseFileCheck* check) {
  uint8_t digest[SHA256_SIZE] = {};
  int64_t length = -1;
  if (!HashFile(path, digest, &length) || length != check->size ||
      memcmp(digest, check->sha256, SHA256_SIZE) != 0) {
    return ERR_RELEASE_FILE;
  }
  return STATUS_OK;
}
