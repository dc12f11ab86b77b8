// Two levels of release trust. The key built into the plug-in is the root key, kept offline: it
// signs a key list (version, expiry, the release keys), and a release key on a valid key list signs
// the version table (release_check.h). The root itself is replaced with a root record that the old
// root and the new one both sign; records are numbered, the built-in root being number 1.
//
// Every signed file is profile-style text (CR LF) followed by its signatures, each over the bytes
// before the "[SIGNATURE]" head: RSA PKCS #1 v1.5 over SHA-256, in hex. Nothing may follow them.
//
//   key list  [KEYLIST]   Version=N  Root=R  Expires=YYYY-MM-DDTHH:MM:SSZ  Count=K  1=<key> ... K=<key>
//             [SIGNATURE] 1=<by root R>
//   root      [ROOT]      Version=R  Key=<key>
//             [SIGNATURE] 1=<by root R-1>  2=<by root R, the key above>
//
// A key is the base64 of the DER of an RSA public key (SubjectPublicKeyInfo), on one line.
// The gateway serves them as MirovanKeys.<N>.lst and MirovanRoot.<R>.rec beside the table; the
// plug-in keeps the newest of each that it accepted beside the installed table. A plug-in built with
// a later root holds its number too (release_key.h).
#pragma once

#include <stdint.h>

constexpr char KEY_LIST_NAME[] = "MirovanKeys.lst";   // kept in the module directory
constexpr char ROOT_RECORD_NAME[] = "MirovanRoot.rec";
// Names served beside the table: prefix, number, suffix.
struct TrustFileName {
  const char* prefix;
  const char* suffix;
};
constexpr TrustFileName KEY_LIST_SERVED = {"MirovanKeys.", ".lst"};
constexpr TrustFileName ROOT_RECORD_SERVED = {"MirovanRoot.", ".rec"};
constexpr int TRUST_SERVED_NAME_MAX = 32;  // "MirovanKeys.2147483647.lst" and its terminator fit
constexpr char SIGNATURE_SECTION[] = "SIGNATURE";
constexpr char KEY_LIST_SECTION[] = "KEYLIST";
constexpr char ROOT_SECTION[] = "ROOT";

constexpr int SIGNED_FILE_MAX = 8192;       // bytes of a signed file that is read at all
constexpr int SIGNATURE_BYTES_MAX = 512;    // a 4096-bit RSA signature
constexpr int SIGNATURES_MAX = 2;
constexpr int RELEASE_KEYS_MAX = 8;         // release keys on one key list
constexpr int RELEASE_KEY_PEM_MAX = 1024;   // PEM text of a public key up to 4096 bits
constexpr int ROOT_CHAIN_STEPS_MAX = 8;     // root records followed in one update
// A local clock ahead of the gateway's by up to this much still accepts what is just valid; ahead
// by more, tables and key lists look expired before their time.
constexpr int64_t RELEASE_CLOCK_TOLERANCE_SECONDS = 24 * 60 * 60;

enum : int {
  ERR_RELEASE_KEY_LIST = -234,  // no key list, a bad one, not signed by the root, or of a lower version
  ERR_RELEASE_EXPIRED = -235,   // an expired table or key list
  ERR_RELEASE_ROOT = -236,      // a root record that is missing or not signed by both roots
};

// A signed file read into memory: body (what the signatures cover) and the signatures.
struct SignedText {
  char data[SIGNED_FILE_MAX + 1];
  int bodyLength;
  int signatureCount;
  uint8_t signature[SIGNATURES_MAX][SIGNATURE_BYTES_MAX];
  int signatureLength[SIGNATURES_MAX];
};

struct ReleaseRoot {
  int version;  // 1: the built-in key
  char keyPem[RELEASE_KEY_PEM_MAX];
};

struct ReleaseKeyList {
  int version;
  int root;
  int64_t expires;
  int count;
  char keyPem[RELEASE_KEYS_MAX][RELEASE_KEY_PEM_MAX];
};

// The served name of number number (at least 1) into out (TRUST_SERVED_NAME_MAX characters).
void Trust_ServedName(const TrustFileName& kind, int number, char* out);
// The number in a served name exactly as Trust_ServedName writes it, or 0.
int Trust_ServedNumber(const TrustFileName& kind, const char* name);

// Reads path as a signed file: 0, or -1 when it is missing, too long, or not of that form.
int SignedText_Read(const char* path, SignedText* text);
// The value of key in section of the body (first occurrence, exact names): false when absent or
// longer than capacity - 1.
bool SignedText_Value(const SignedText& text, const char* section, const char* key, char* out, int capacity);
// True when signature number index (1-based) is by the key in pem.
bool SignedText_SignedBy(const SignedText& text, int index, const char* pem);
// True when any of the count keys signed it (signature 1).
bool SignedText_SignedByAny(const SignedText& text, const char (*pems)[RELEASE_KEY_PEM_MAX], int count);

// "YYYY-MM-DDTHH:MM:SSZ" (UTC) as seconds since 1970: false for anything else.
bool Release_ParseTime(const char* text, int64_t* seconds);
// The same time written back; out holds at least 21 characters.
void Release_FormatTime(int64_t seconds, char* out);
// True when expires lies before now by more than the clock tolerance.
bool Release_Expired(int64_t expires, int64_t now);
// Seconds since 1970 by the local clock (UTC).
int64_t Release_Now();
// A decimal number of digits only, at most max.
bool Release_ReadNumber(const char* text, int64_t max, int64_t* value);

// The PEM text of the base64 DER key b64 into out: false when b64 is no base64 or too long.
bool Release_KeyPem(const char* b64, char* out, int capacity);

// The root in force: the built-in key (number builtInVersion), or the root record kept at recordPath
// when there is a well-formed one of a higher number signed by its own key.
void Trust_LoadRoot(const char* builtInPem, int builtInVersion, const char* recordPath, ReleaseRoot* root);
// Follows one root record: it must be number root->version + 1, signed by the current root and by
// its own key; then *root is the new one. 0 or ERR_RELEASE_ROOT.
int Trust_FollowRoot(const char* recordPath, ReleaseRoot* root);
// Version of the key list at path and the root it names, unchecked (0 when there is none).
int Trust_KeyListVersion(const char* path);
int Trust_KeyListRoot(const char* path);
// Reads the key list at path: signed by root (which must be the root it names), not expired at
// now. 0, ERR_RELEASE_KEY_LIST or ERR_RELEASE_EXPIRED.
int Trust_ReadKeyList(const char* path, const ReleaseRoot& root, int64_t now, ReleaseKeyList* list);
