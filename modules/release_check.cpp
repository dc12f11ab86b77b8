#include "modules/release_check.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "modules/install_location.h"
#include "modules/release_key.h"
#include "support/file_util.h"
#include "support/profile.h"
#include "support/status.h"

namespace {

constexpr int kValueCapacity = 128;
constexpr int kFileChunk = 16384;
constexpr int kPathCapacity = 256;  // a table path, terminator included

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

// A [RELEASE] number of the installed table: 0 with the value, ERR_PROFILE_* when absent,
// ERR_RELEASE_SIGNATURE when it is no number.
int ReadNumberKey(const char* path, const char* key, int64_t* value) {
  char text[kValueCapacity] = {};
  const int found = Profile_GetString(RELEASE_SECTION, key, nullptr, text, sizeof text, path);
  if (found != STATUS_OK) return found;
  if (!Release_ReadNumber(text, 2147483647, value)) return ERR_RELEASE_SIGNATURE;
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

namespace {

bool ReadTableInfo(const SignedText& text, ReleaseTableInfo* info) {
  char value[kValueCapacity] = {};
  int64_t number = 0;
  if (!SignedText_Value(text, RELEASE_SECTION, RELEASE_SERIAL_KEY, value, sizeof value) ||
      !Release_ReadNumber(value, 2147483647, &info->serial) ||
      !SignedText_Value(text, RELEASE_SECTION, RELEASE_KEY_LIST_KEY, value, sizeof value) ||
      !Release_ReadNumber(value, 2147483647, &number) || number < 1 ||
      !SignedText_Value(text, RELEASE_SECTION, RELEASE_EXPIRES_KEY, value, sizeof value) ||
      !Release_ParseTime(value, &info->expires)) {
    return false;
  }
  info->keyList = static_cast<int>(number);
  return true;
}

}  // namespace

int Release_TableKeyList(const char* tablePath) {
  static SignedText text;  // the plug-in's calls run one at a time on the browser's thread
  ReleaseTableInfo info = {};
  if (SignedText_Read(tablePath, &text) != STATUS_OK || !ReadTableInfo(text, &info)) return 0;
  return info.keyList;
}

int Release_VerifyTable(const char* tablePath, const ReleaseKeyList& list, int64_t now, ReleaseTableInfo* info) {
  static SignedText text;
  if (SignedText_Read(tablePath, &text) != STATUS_OK || !ReadTableInfo(text, info)) return ERR_RELEASE_SIGNATURE;
  if (info->keyList != list.version) return ERR_RELEASE_KEY_LIST;
  if (!SignedText_SignedByAny(text, list.keyPem, list.count)) return ERR_RELEASE_SIGNATURE;
  if (Release_Expired(info->expires, now)) return ERR_RELEASE_EXPIRED;
  return STATUS_OK;
}

bool Release_LoadRoot(const char* moduleDir, ReleaseRoot* root) {
  char rootPath[kPathCapacity] = {};
  if (!Path_Join(rootPath, sizeof rootPath, moduleDir, ROOT_RECORD_NAME)) return false;
  Trust_LoadRoot(RELEASE_PUBLIC_KEY_PEM, RELEASE_ROOT_VERSION, rootPath, root);
  return true;
}

int Release_VerifyTableIn(const char* moduleDir, const char* tablePath) {
  static ReleaseKeyList list;
  char listPath[kPathCapacity] = {};
  ReleaseRoot root = {};
  if (!Release_LoadRoot(moduleDir, &root) || !Path_Join(listPath, sizeof listPath, moduleDir, KEY_LIST_NAME)) {
    return ERR_RELEASE_KEY_LIST;
  }
  const int64_t now = Release_Now();
  int result = Trust_ReadKeyList(listPath, root, now, &list);
  ReleaseTableInfo info = {};
  if (result == STATUS_OK) result = Release_VerifyTable(tablePath, list, now, &info);
  return result;
}

int Release_CheckSerial(const ReleaseTableInfo& fetched, const char* localTablePath) {
  int64_t installed = 0;
  int64_t keyList = 0;
  const int local = ReadNumberKey(localTablePath, RELEASE_SERIAL_KEY, &installed);
  if (local == ERR_RELEASE_SIGNATURE) return ERR_RELEASE_ROLLBACK;  // unreadable: never go below it
  if (local != STATUS_OK) return STATUS_OK;                         // no local table, or unsigned
  // A table of an older key list (or of none) is not compared: a newer key list starts again.
  if (ReadNumberKey(localTablePath, RELEASE_KEY_LIST_KEY, &keyList) != STATUS_OK || keyList != fetched.keyList) {
    return STATUS_OK;
  }
  if (fetched.serial < installed) return ERR_RELEASE_ROLLBACK;
  return STATUS_OK;
}

namespace {

int ReadCheck(const char* tablePath, const char* fileName, const char* hashKey, const char* sizeKey,
              ReleaseFileCheck* check) {
  char hash[kValueCapacity] = {};
  char size[kValueCapacity] = {};
  if (Profile_GetString(fileName, hashKey, nullptr, hash, sizeof hash, tablePath) != STATUS_OK ||
      Profile_GetString(fileName, sizeKey, nullptr, size, sizeof size, tablePath) != STATUS_OK ||
      !ReadSha256(hash, check->sha256) || !Release_ReadNumber(size, INT64_C(0x7fffffff), &check->size)) {
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
