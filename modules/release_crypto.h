// The cryptography of release checks: SHA-256 of data fed in pieces, and RSA signatures (PKCS #1
// v1.5 over SHA-256) checked under a public key given as PEM text ("PUBLIC KEY", SubjectPublicKeyInfo).
// release_crypto_win.cpp uses CryptoAPI (advapi32/crypt32, present since Windows XP SP3),
// release_crypto_posix.cpp OpenSSL's libcrypto.
#pragma once

#include <stdint.h>

constexpr int SHA256_SIZE = 32;

struct Sha256;  // one running digest

// A new digest, or null when the platform cannot make one.
Sha256* Sha256_Begin();
// Adds length bytes; false on a platform failure.
bool Sha256_Update(Sha256* digest, const void* data, int length);
// Writes the 32-byte digest (when out is not null) and frees the digest; false on a failure.
bool Sha256_End(Sha256* digest, uint8_t* out);

// True only when signature is a valid RSA signature, PKCS #1 v1.5 with SHA-256, of the length
// bytes of data under the RSA public key in publicKeyPem.
bool Crypto_VerifyRsaSha256(const char* publicKeyPem, const void* data, int length, const void* signature,
                            int signatureLength);
