// Release check cryptography over OpenSSL's libcrypto.
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <new>

#include "modules/release_crypto.h"

struct Sha256 {
  EVP_MD_CTX* context;
};

Sha256* Sha256_Begin() {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) return nullptr;
  if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context);
    return nullptr;
  }
  Sha256* digest = new (std::nothrow) Sha256{context};
  if (digest == nullptr) EVP_MD_CTX_free(context);
  return digest;
}

bool Sha256_Update(Sha256* digest, const void* data, int length) {
  return length <= 0 || EVP_DigestUpdate(digest->context, data, static_cast<size_t>(length)) == 1;
}

bool Sha256_End(Sha256* digest, uint8_t* out) {
  uint8_t value[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  const bool ok = EVP_DigestFinal_ex(digest->context, value, &size) == 1 && size == SHA256_SIZE;
  if (ok && out != nullptr) {
    for (int i = 0; i < SHA256_SIZE; ++i) out[i] = value[i];
  }
  EVP_MD_CTX_free(digest->context);
  delete digest;
  return ok;
}

bool Crypto_VerifyRsaSha256(const char* publicKeyPem, const void* data, int length, const void* signature,
                            int signatureLength) {
  if (publicKeyPem == nullptr || data == nullptr || length < 0 || signature == nullptr || signatureLength <= 0) {
    return false;
  }
  BIO* text = BIO_new_mem_buf(publicKeyPem, -1);
  EVP_PKEY* key = text != nullptr ? PEM_read_bio_PUBKEY(text, nullptr, nullptr, nullptr) : nullptr;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  // RSA keys only: the Windows build checks nothing else, and both must accept the same releases.
  bool valid = key != nullptr && context != nullptr && EVP_PKEY_base_id(key) == EVP_PKEY_RSA &&
               EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, key) == 1;
  valid = valid && EVP_DigestVerify(context, static_cast<const unsigned char*>(signature),
                                    static_cast<size_t>(signatureLength), static_cast<const unsigned char*>(data),
                                    static_cast<size_t>(length)) == 1;
  EVP_MD_CTX_free(context);
  EVP_PKEY_free(key);
  BIO_free(text);
  return valid;
}
