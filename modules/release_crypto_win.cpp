// Release check cryptography over CryptoAPI: the AES provider type hashes SHA-256 and checks RSA
// signatures; the PEM public key is decoded by crypt32.
#include <windows.h>
#include <wincrypt.h>

#include <new>

#include "modules/release_crypto.h"

namespace {

constexpr DWORD kMaxKeyText = 8192;      // DER of a public key up to 16384 bits fits easily
constexpr int kMaxSignature = 2048;      // bytes: a 16384-bit key
// CALG_SHA_256 (Windows XP SP3 and later); the headers hide it below _WIN32_WINNT 0x0502.
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

bool AcquireProvider(HCRYPTPROV* provider) {
  return CryptAcquireContextA(provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) != FALSE;
}

// Imports the RSA public key of a PEM "PUBLIC KEY" text into provider.
bool ImportPublicKey(HCRYPTPROV provider, const char* pem, HCRYPTKEY* key) {
  BYTE der[kMaxKeyText];
  DWORD derLength = sizeof der;
  if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, der, &derLength, nullptr, nullptr)) return false;
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD infoLength = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der, derLength, CRYPT_DECODE_ALLOC_FLAG,
                           nullptr, &info, &infoLength)) {
    return false;
  }
  const bool rsa = lstrcmpA(info->Algorithm.pszObjId, szOID_RSA_RSA) == 0;
  const bool imported = rsa && CryptImportPublicKeyInfo(provider, X509_ASN_ENCODING, info, key) != FALSE;
  LocalFree(info);
  return imported;
}

}  // namespace

struct Sha256 {
  HCRYPTPROV provider;
  HCRYPTHASH hash;
};

Sha256* Sha256_Begin() {
  HCRYPTPROV provider = 0;
  if (!AcquireProvider(&provider)) return nullptr;
  HCRYPTHASH hash = 0;
  Sha256* digest = nullptr;
  if (CryptCreateHash(provider, kSha256, 0, 0, &hash)) digest = new (std::nothrow) Sha256{provider, hash};
  if (digest == nullptr) {
    if (hash != 0) CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
  }
  return digest;
}

bool Sha256_Update(Sha256* digest, const void* data, int length) {
  return length <= 0 ||
         CryptHashData(digest->hash, static_cast<const BYTE*>(data), static_cast<DWORD>(length), 0) != FALSE;
}

bool Sha256_End(Sha256* digest, uint8_t* out) {
  BYTE value[SHA256_SIZE];
  DWORD size = sizeof value;
  const bool ok = CryptGetHashParam(digest->hash, HP_HASHVAL, value, &size, 0) && size == SHA256_SIZE;
  if (ok && out != nullptr) {
    for (int i = 0; i < SHA256_SIZE; ++i) out[i] = value[i];
  }
  CryptDestroyHash(digest->hash);
  CryptReleaseContext(digest->provider, 0);
  delete digest;
  return ok;
}

bool Crypto_VerifyRsaSha256(const char* publicKeyPem, const void* data, int length, const void* signature,
                            int signatureLength) {
  if (publicKeyPem == nullptr || data == nullptr || length < 0 || signature == nullptr || signatureLength <= 0 ||
      signatureLength > kMaxSignature) {
    return false;
  }
  // CryptoAPI takes the signature's bytes least significant first; PKCS #1 writes them the other way.
  BYTE reversed[kMaxSignature];
  const BYTE* bytes = static_cast<const BYTE*>(signature);
  for (int i = 0; i < signatureLength; ++i) reversed[i] = bytes[signatureLength - 1 - i];

  HCRYPTPROV provider = 0;
  if (!AcquireProvider(&provider)) return false;
  HCRYPTKEY key = 0;
  HCRYPTHASH hash = 0;
  bool valid = ImportPublicKey(provider, publicKeyPem, &key) && CryptCreateHash(provider, kSha256, 0, 0, &hash) &&
               CryptHashData(hash, static_cast<const BYTE*>(data), static_cast<DWORD>(length), 0);
  valid = valid && CryptVerifySignatureA(hash, reversed, static_cast<DWORD>(signatureLength), key, nullptr, 0);
  if (hash != 0) CryptDestroyHash(hash);
  if (key != 0) CryptDestroyKey(key);
  CryptReleaseContext(provider, 0);
  return valid;
}
