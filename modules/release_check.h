// Signed releases: with the gateway's public key built in (release_key.h), a version table counts
// only with a valid detached signature (MirovanVer.tbl.sig, RSA PKCS #1 v1.5 over SHA-256 of the
// table's bytes), a release serial no lower than the installed table's, and a SHA-256 and size for
// every file it lists; a downloaded module file must match both before it is unpacked, and an
// installed module must match the SHA-256 and size listed for it as installed right before it is
// loaded. Without a key nothing is checked and the extra keys are ignored.
//
//   [RELEASE]            Serial=N         (decimal, 0 to 2147483647)
//   [<file name>]        Sha256=<64 hex digits of the downloaded (compressed) file>  Size=<its bytes>
//                        InstalledSha256=<64 hex digits of the unpacked file>  InstalledSize=<its bytes>
//
// The signature stays beside the fetched table (<table>.sig), and MV_clean installs it beside the
// installed table, so that the table can be checked again.
#pragma once

#include <stdint.h>

#include "modules/release_crypto.h"

constexpr char RELEASE_SIGNATURE_SUFFIX[] = ".sig";
constexpr char RELEASE_SECTION[] = "RELEASE";
constexpr char RELEASE_SERIAL_KEY[] = "Serial";
constexpr char RELEASE_SHA256_KEY[] = "Sha256";
constexpr char RELEASE_SIZE_KEY[] = "Size";
constexpr char RELEASE_INSTALLED_SHA256_KEY[] = "InstalledSha256";
constexpr char RELEASE_INSTALLED_SIZE_KEY[] = "InstalledSize";
constexpr int RELEASE_SIGNATURE_MAX = 2048;  // bytes of a signature file that is read at all

enum : int {
  ERR_RELEASE_SIGNATURE = -231,  // no, an empty or a wrong signature, or a table without a serial
  ERR_RELEASE_ROLLBACK = -232,   // the table's serial is lower than the installed table's
  ERR_RELEASE_FILE = -233,       // a file without hash and size, or a download that does not match them
};

// What the signed table says about one downloaded file.
struct ReleaseFileCheck {
  int64_t size;
  uint8_t sha256[SHA256_SIZE];
};

// True when a release key is built in, so releases are checked.
bool Release_KeyBuiltIn();

// Checks the table at tablePath against the signature in signaturePath under the built-in key:
// 0 or ERR_RELEASE_SIGNATURE (also for a table over 8192 bytes, which is never installed).
int Release_VerifyTable(const char* tablePath, const char* signaturePath);

// Release_VerifyTable with the signature beside the table (tablePath + ".sig").
int Release_VerifyTableFile(const char* tablePath);

// The fetched table's serial against the installed one (a local table without a serial counts as
// serial 0; no local table passes): 0, ERR_RELEASE_SIGNATURE when the fetched table carries no
// valid serial, or ERR_RELEASE_ROLLBACK.
int Release_CheckSerial(const char* fetchedTablePath, const char* localTablePath);

// Reads the Sha256 and Size keys of fileName's section: 0 or ERR_RELEASE_FILE.
int Release_ReadFileCheck(const char* tablePath, const char* fileName, ReleaseFileCheck* check);

// Reads the InstalledSha256 and InstalledSize keys of fileName's section: 0 or ERR_RELEASE_FILE.
int Release_ReadInstalledCheck(const char* tablePath, const char* fileName, ReleaseFileCheck* check);

// 0 when the file at path has exactly the size and SHA-256 of check, else ERR_RELEASE_FILE.
int Release_CheckFile(const char* path, const ReleaseFileCheck* check);
