// Signed releases: with a root key built in (release_key.h), a version table counts only when a
// release key on a valid key list (release_trust.h) signed it, it has not expired, its serial is no
// lower than the installed table's under the same key list (a newer key list starts the count
// again), and it gives a SHA-256 and size for every file it lists; a downloaded module file must
// match both before it is unpacked, and an installed module must match the SHA-256 and size listed
// for it as installed right before it is loaded. Without a key nothing is checked and the extra keys
// are ignored.
//
//   [RELEASE]            Serial=N (0 to 2147483647)  KeyList=<key list version>  Expires=<UTC time>
//   [<file name>]        Sha256=<64 hex digits of the downloaded (compressed) file>  Size=<its bytes>
//                        InstalledSha256=<64 hex digits of the unpacked file>  InstalledSize=<its bytes>
//   [SIGNATURE]          1=<by a release key of the key list>
#pragma once

#include <stdint.h>

#include "modules/release_crypto.h"
#include "modules/release_trust.h"

constexpr char RELEASE_SECTION[] = "RELEASE";
constexpr char RELEASE_SERIAL_KEY[] = "Serial";
constexpr char RELEASE_KEY_LIST_KEY[] = "KeyList";
constexpr char RELEASE_EXPIRES_KEY[] = "Expires";
constexpr char RELEASE_SHA256_KEY[] = "Sha256";
constexpr char RELEASE_SIZE_KEY[] = "Size";
constexpr char RELEASE_INSTALLED_SHA256_KEY[] = "InstalledSha256";
constexpr char RELEASE_INSTALLED_SIZE_KEY[] = "InstalledSize";

enum : int {
  ERR_RELEASE_SIGNATURE = -231,  // no, an empty or a wrong signature, or a table without serial or key list
  ERR_RELEASE_ROLLBACK = -232,   // the table's serial is lower than the installed table's
  ERR_RELEASE_FILE = -233,       // a file without hash and size, or a download that does not match them
};

// What the signed table says about one downloaded file.
struct ReleaseFileCheck {
  int64_t size;
  uint8_t sha256[SHA256_SIZE];
};

// What a signed table says about itself.
struct ReleaseTableInfo {
  int64_t serial;
  int keyList;
  int64_t expires;
};

// True when a root key is built in, so releases are checked.
bool Release_KeyBuiltIn();

// The key list version the table at path names, unchecked (0 when it names none).
int Release_TableKeyList(const char* tablePath);

// Checks the table at tablePath: signed by a key of list, naming list's version, not expired at
// now. 0, ERR_RELEASE_SIGNATURE (also for a table over SIGNED_FILE_MAX bytes), ERR_RELEASE_KEY_LIST
// or ERR_RELEASE_EXPIRED.
int Release_VerifyTable(const char* tablePath, const ReleaseKeyList& list, int64_t now, ReleaseTableInfo* info);

// The root in force for moduleDir: the built-in root, or a newer root record kept beside the
// installed table (release_trust.h). False when the kept record's path does not fit.
bool Release_LoadRoot(const char* moduleDir, ReleaseRoot* root);

// Release_VerifyTable under the root and the key list kept in moduleDir (release_trust.h).
int Release_VerifyTableIn(const char* moduleDir, const char* tablePath);

// The fetched table's serial against the installed one when both were signed under the same key
// list (a local table without a serial counts as serial 0; no local table passes): 0 or
// ERR_RELEASE_ROLLBACK.
int Release_CheckSerial(const ReleaseTableInfo& fetched, const char* localTablePath);

// Reads the Sha256 and Size keys of fileName's section: 0 or ERR_RELEASE_FILE.
int Release_ReadFileCheck(const char* tablePath, const char* fileName, ReleaseFileCheck* check);

// Reads the InstalledSha256 and InstalledSize keys of fileName's section: 0 or ERR_RELEASE_FILE.
int Release_ReadInstalledCheck(const char* tablePath, const char* fileName, ReleaseFileCheck* check);

// 0 when the file at path has exactly the size and SHA-256 of check, else ERR_RELEASE_FILE.
int Release_CheckFile(const char* path, const ReleaseFileCheck* check);
