#include "modules/release_trust.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "modules/release_crypto.h"
#include "support/file_util.h"
#include "support/status.h"

namespace {

constexpr char kSignatureHead[] = "[SIGNATURE]";
constexpr int kValueCapacity = 128;
constexpr int kKeyTextCapacity = 1024;  // base64 of a key up to 4096 bits

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The next line of text from *at (line end excluded) and moves *at past it: false at the end.
bool NextLine(const char* text, int length, int* at, const char** line, int* lineLength) {
  if (*at >= length) return false;
  const char* start = text + *at;
  const char* end = static_cast<const char*>(memchr(start, '\n', static_cast<size_t>(length - *at)));
  const int n = end != nullptr ? static_cast<int>(end - start) : length - *at;
  *at += n + (end != nullptr ? 1 : 0);
  *line = start;
  *lineLength = n > 0 && start[n - 1] == '\r' ? n - 1 : n;
  return true;
}

// "N=<hex>" for the next signature number: false for anything else.
bool ReadSignatureLine(const char* line, int length, SignedText* text) {
  const int index = text->signatureCount;
  if (index >= SIGNATURES_MAX || length < 3 || line[0] != '1' + index || line[1] != '=') return false;
  const int digits = length - 2;
  if (digits % 2 != 0 || digits / 2 > SIGNATURE_BYTES_MAX || digits == 0) return false;
  for (int i = 0; i < digits / 2; ++i) {
    const int high = HexDigit(line[2 + 2 * i]);
    const int low = HexDigit(line[3 + 2 * i]);
    if (high < 0 || low < 0) return false;
    text->signature[index][i] = static_cast<uint8_t>(high * 16 + low);
  }
  text->signatureLength[index] = digits / 2;
  text->signatureCount = index + 1;
  return true;
}

bool IsLeapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days from 1970-01-01 to the given date of the Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool DigitsAt(const char* text, int from, int count, int* value) {
  *value = 0;
  for (int i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    *value = *value * 10 + (text[i] - '0');
  }
  return true;
}

bool ReadVersion(const SignedText& text, const char* section, int* version) {
  char value[kValueCapacity] = {};
  int64_t number = 0;
  if (!SignedText_Value(text, section, "Version", value, sizeof value) ||
      !Release_ReadNumber(value, 2147483647, &number) || number < 1) {
    return false;
  }
  *version = static_cast<int>(number);
  return true;
}

// The root record at path, read and checked against its own key: its version and key.
bool ReadRootRecord(const char* path, SignedText* text, ReleaseRoot* record) {
  char key[kKeyTextCapacity] = {};
  return SignedText_Read(path, text) == STATUS_OK && text->signatureCount == 2 &&
         ReadVersion(*text, ROOT_SECTION, &record->version) && record->version >= 2 &&
         SignedText_Value(*text, ROOT_SECTION, "Key", key, sizeof key) &&
         Release_KeyPem(key, record->keyPem, sizeof record->keyPem) && SignedText_SignedBy(*text, 2, record->keyPem);
}

}  // namespace

void Trust_ServedName(const TrustFileName& kind, int number, char* out) {
  snprintf(out, TRUST_SERVED_NAME_MAX, "%s%d%s", kind.prefix, number, kind.suffix);
}

int Trust_ServedNumber(const TrustFileName& kind, const char* name) {
  const size_t prefix = strlen(kind.prefix);
  if (strncmp(name, kind.prefix, prefix) != 0 || name[prefix] < '1' || name[prefix] > '9') return 0;
  char* end = nullptr;
  const long number = strtol(name + prefix, &end, 10);
  if (number < 1 || number > 2147483647L || strcmp(end, kind.suffix) != 0) return 0;
  return static_cast<int>(number);
}

int SignedText_Read(const char* path, SignedText* text) {
  memset(text, 0, sizeof *text);
  const int length = File_ReadAll(path, text->data, SIGNED_FILE_MAX);
  if (length <= 0) return -1;
  // The last signature head that starts a line; the body ends right before it.
  int head = -1;
  for (int at = 0; at + static_cast<int>(sizeof kSignatureHead) - 1 <= length; ++at) {
    if ((at == 0 || text->data[at - 1] == '\n') && memcmp(text->data + at, kSignatureHead, sizeof kSignatureHead - 1) == 0) {
      head = at;
    }
  }
  if (head <= 0) return -1;
  int at = head;
  const char* line = nullptr;
  int lineLength = 0;
  NextLine(text->data, length, &at, &line, &lineLength);
  if (lineLength != static_cast<int>(sizeof kSignatureHead) - 1) return -1;
  while (NextLine(text->data, length, &at, &line, &lineLength)) {
    if (!ReadSignatureLine(line, lineLength, text)) return -1;  // nothing else may follow
  }
  if (text->signatureCount == 0) return -1;
  text->bodyLength = head;
  return STATUS_OK;
}

bool SignedText_Value(const SignedText& text, const char* section, const char* key, char* out, int capacity) {
  const size_t sectionLength = strlen(section);
  const size_t keyLength = strlen(key);
  bool inSection = false;
  int at = 0;
  const char* line = nullptr;
  int n = 0;
  while (NextLine(text.data, text.bodyLength, &at, &line, &n)) {
    if (n > 0 && line[0] == '[') {
      if (inSection) return false;  // the section ended without the key
      inSection = static_cast<size_t>(n) == sectionLength + 2 && line[n - 1] == ']' &&
                  memcmp(line + 1, section, sectionLength) == 0;
      continue;
    }
    if (!inSection || static_cast<size_t>(n) <= keyLength || line[keyLength] != '=' ||
        memcmp(line, key, keyLength) != 0) {
      continue;
    }
    const int valueLength = n - static_cast<int>(keyLength) - 1;
    if (valueLength >= capacity) return false;
    memcpy(out, line + keyLength + 1, static_cast<size_t>(valueLength));
    out[valueLength] = '\0';
    return true;
  }
  return false;
}

bool SignedText_SignedBy(const SignedText& text, int index, const char* pem) {
  if (index < 1 || index > text.signatureCount) return false;
  return Crypto_VerifyRsaSha256(pem, text.data, text.bodyLength, text.signature[index - 1],
                                text.signatureLength[index - 1]);
}

bool SignedText_SignedByAny(const SignedText& text, const char (*pems)[RELEASE_KEY_PEM_MAX], int count) {
  for (int i = 0; i < count; ++i) {
    if (SignedText_SignedBy(text, 1, pems[i])) return true;
  }
  return false;
}

bool Release_ReadNumber(const char* text, int64_t max, int64_t* value) {
  if (text[0] == '\0' || strlen(text) > 18 || strspn(text, "0123456789") != strlen(text)) return false;
  *value = strtoll(text, nullptr, 10);
  return *value <= max;
}

bool Release_ParseTime(const char* text, int64_t* seconds) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (strlen(text) != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z' || !DigitsAt(text, 0, 4, &y) || !DigitsAt(text, 5, 2, &mo) ||
      !DigitsAt(text, 8, 2, &d) || !DigitsAt(text, 11, 2, &h) || !DigitsAt(text, 14, 2, &mi) ||
      !DigitsAt(text, 17, 2, &s)) {
    return false;
  }
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (mo < 1 || mo > 12 || d < 1 || d > kMonthDays[mo - 1] + (mo == 2 && IsLeapYear(y) ? 1 : 0) || h > 23 ||
      mi > 59 || s > 59) {
    return false;
  }
  *seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
  return true;
}

void Release_FormatTime(int64_t seconds, char* out) {
  // The inverse of DaysFromCivil.
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const int64_t rest = seconds - days * 86400;
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t y = yoe + era * 400 + (m <= 2);
  // Years beyond 9999 are cut to four digits (no expiry of the tools reaches them).
  const auto field = [](int64_t value, unsigned modulus) { return static_cast<unsigned>(value) % modulus; };
  snprintf(out, 21, "%04u-%02u-%02uT%02u:%02u:%02uZ", field(y, 10000), field(m, 100), field(d, 100),
           field(rest / 3600, 24), field(rest / 60, 60), field(rest, 60));
}

bool Release_Expired(int64_t expires, int64_t now) { return now > expires + RELEASE_CLOCK_TOLERANCE_SECONDS; }

int64_t Release_Now() { return static_cast<int64_t>(time(nullptr)); }

bool Release_KeyPem(const char* b64, char* out, int capacity) {
  static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
  const size_t length = strlen(b64);
  if (length == 0 || length % 4 != 0 || strspn(b64, kBase64) != length) return false;
  static const char kBegin[] = "-----BEGIN PUBLIC KEY-----\n";
  static const char kEnd[] = "-----END PUBLIC KEY-----\n";
  const size_t needed = sizeof kBegin + length + length / 64 + 1 + sizeof kEnd;
  if (needed > static_cast<size_t>(capacity)) return false;
  size_t at = 0;
  memcpy(out, kBegin, sizeof kBegin - 1);
  at += sizeof kBegin - 1;
  for (size_t i = 0; i < length; i += 64) {  // PEM lines of 64 characters
    const size_t n = length - i < 64 ? length - i : 64;
    memcpy(out + at, b64 + i, n);
    at += n;
    out[at++] = '\n';
  }
  memcpy(out + at, kEnd, sizeof kEnd);
  return true;
}

void Trust_LoadRoot(const char* builtInPem, int builtInVersion, const char* recordPath, ReleaseRoot* root) {
  static SignedText text;  // the plug-in's calls run one at a time on the browser's thread
  ReleaseRoot kept = {};
  if (recordPath != nullptr && ReadRootRecord(recordPath, &text, &kept) && kept.version > builtInVersion) {
    *root = kept;
    return;
  }
  root->version = builtInVersion;
  snprintf(root->keyPem, sizeof root->keyPem, "%s", builtInPem);
}

int Trust_FollowRoot(const char* recordPath, ReleaseRoot* root) {
  static SignedText text;
  ReleaseRoot next = {};
  if (!ReadRootRecord(recordPath, &text, &next) || next.version != root->version + 1 ||
      !SignedText_SignedBy(text, 1, root->keyPem)) {
    return ERR_RELEASE_ROOT;
  }
  *root = next;
  return STATUS_OK;
}

namespace {

int KeyListNumber(const char* path, const char* key) {
  static SignedText text;
  char value[kValueCapacity] = {};
  int64_t number = 0;
  if (SignedText_Read(path, &text) != STATUS_OK || !SignedText_Value(text, KEY_LIST_SECTION, key, value, sizeof value) ||
      !Release_ReadNumber(value, 2147483647, &number)) {
    return 0;
  }
  return static_cast<int>(number);
}

}  // namespace

int Trust_KeyListVersion(const char* path) { return KeyListNumber(path, "Version"); }
int Trust_KeyListRoot(const char* path) { return KeyListNumber(path, "Root"); }

int Trust_ReadKeyList(const char* path, const ReleaseRoot& root, int64_t now, ReleaseKeyList* list) {
  static SignedText text;
  char value[kKeyTextCapacity] = {};
  int64_t number = 0;
  memset(list, 0, sizeof *list);
  if (SignedText_Read(path, &text) != STATUS_OK || !ReadVersion(text, KEY_LIST_SECTION, &list->version) ||
      !SignedText_Value(text, KEY_LIST_SECTION, "Root", value, sizeof value) ||
      !Release_ReadNumber(value, 2147483647, &number) || number != root.version ||
      !SignedText_SignedBy(text, 1, root.keyPem)) {
    return ERR_RELEASE_KEY_LIST;
  }
  list->root = static_cast<int>(number);
  if (!SignedText_Value(text, KEY_LIST_SECTION, "Expires", value, sizeof value) ||
      !Release_ParseTime(value, &list->expires) ||
      !SignedText_Value(text, KEY_LIST_SECTION, "Count", value, sizeof value) ||
      !Release_ReadNumber(value, RELEASE_KEYS_MAX, &number) || number < 1) {
    return ERR_RELEASE_KEY_LIST;
  }
  list->count = static_cast<int>(number);
  for (int i = 0; i < list->count; ++i) {
    char name[16] = {};
    snprintf(name, sizeof name, "%d", i + 1);
    if (!SignedText_Value(text, KEY_LIST_SECTION, name, value, sizeof value) ||
        !Release_KeyPem(value, list->keyPem[i], sizeof list->keyPem[i])) {
      return ERR_RELEASE_KEY_LIST;
    }
  }
  if (Release_Expired(list->expires, now)) return ERR_RELEASE_EXPIRED;
  return STATUS_OK;
}
