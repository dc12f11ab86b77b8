#include "tools/gateway/release_sign.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "modules/release_crypto.h"
#include "modules/release_trust.h"

namespace fs = std::filesystem;

namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

std::string Base64(const unsigned char* data, int length) {
  std::string out(4 * ((length + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]), data, length);
  out.resize(n);
  return out;
}

bool SignWithKeyFile(const std::string& keyFile, const std::string& data, std::string* signature, std::string* error) {
  FILE* file = fopen(keyFile.c_str(), "r");
  EVP_PKEY* key = file != nullptr ? PEM_read_PrivateKey(file, nullptr, nullptr, nullptr) : nullptr;
  if (file != nullptr) fclose(file);
  if (key == nullptr || EVP_PKEY_base_id(key) != EVP_PKEY_RSA) {
    *error = "cannot read an RSA private key from " + keyFile;
    EVP_PKEY_free(key);
    return false;
  }
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  size_t length = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  bool ok = context != nullptr && EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key) == 1 &&
            EVP_DigestSign(context, nullptr, &length, bytes, data.size()) == 1;
  if (ok) {
    signature->assign(length, '\0');
    ok = EVP_DigestSign(context, reinterpret_cast<unsigned char*>(&(*signature)[0]), &length, bytes, data.size()) == 1;
    signature->resize(length);
  }
  if (!ok) *error = "signing with " + keyFile + " failed";
  EVP_MD_CTX_free(context);
  EVP_PKEY_free(key);
  return ok;
}

// Runs command with data on its standard input (from a private file) and takes its output.
bool SignWithCommand(const std::string& command, const std::string& data, std::string* signature, std::string* error) {
  char folder[] = "/tmp/vexo-sign-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    *error = "cannot create a work folder";
    return false;
  }
  const std::string input = std::string(folder) + "/data";
  bool ok = Write_Whole(input, data);
  int status = -1;
  if (ok) {
    FILE* pipe = popen(("(" + command + ") < '" + input + "'").c_str(), "r");
    ok = pipe != nullptr;
    char chunk[4096];
    for (size_t n; ok && (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) signature->append(chunk, n);
    if (pipe != nullptr) status = pclose(pipe);
  }
  fs::remove_all(folder);
  if (!ok || status != 0) {
    *error = "the signing command failed (exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
             "): " + command;
    return false;
  }
  if (signature->empty() || signature->size() > static_cast<size_t>(SIGNATURE_BYTES_MAX)) {
    *error = "the signing command printed " + std::to_string(signature->size()) + " bytes, no RSA signature: " + command;
    return false;
  }
  return true;
}

EVP_PKEY* ReadAnyKey(const std::string& pemFile) {
  const std::string text = Read_Whole(pemFile);
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())), BIO_free);
  EVP_PKEY* key = PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
  if (key != nullptr) return key;
  bio.reset(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  return PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
}

}  // namespace

bool Sign(const Signer& signer, const std::string& data, std::string* signature, std::string* error) {
  signature->clear();
  return signer.command.empty() ? SignWithKeyFile(signer.keyFile, data, signature, error)
                                : SignWithCommand(signer.command, data, signature, error);
}

std::string Signed_Join(const std::string& body, const std::vector<std::string>& signatures) {
  std::string text = body + "[" + SIGNATURE_SECTION + "]\r\n";
  for (size_t i = 0; i < signatures.size(); ++i) text += std::to_string(i + 1) + "=" + Hex(signatures[i]) + "\r\n";
  return text;
}

bool Key_PublicBase64(const std::string& pemFile, std::string* base64, std::string* error) {
  EVP_PKEY* key = ReadAnyKey(pemFile);
  unsigned char* der = nullptr;
  const int length = key != nullptr && EVP_PKEY_base_id(key) == EVP_PKEY_RSA ? i2d_PUBKEY(key, &der) : -1;
  EVP_PKEY_free(key);
  if (length <= 0) {
    *error = "cannot read an RSA key from " + pemFile;
    return false;
  }
  *base64 = Base64(der, length);
  OPENSSL_free(der);
  char pem[RELEASE_KEY_PEM_MAX];
  if (!Release_KeyPem(base64->c_str(), pem, sizeof pem)) {
    *error = pemFile + ": keys of more than 4096 bits do not fit the plug-in";
    return false;
  }
  return true;
}

bool Key_Verifies(const std::string& base64, const std::string& data, const std::string& signature) {
  char pem[RELEASE_KEY_PEM_MAX];
  return Release_KeyPem(base64.c_str(), pem, sizeof pem) &&
         Crypto_VerifyRsaSha256(pem, data.data(), static_cast<int>(data.size()), signature.data(),
                                static_cast<int>(signature.size()));
}

bool Key_Generate(const std::string& name, int bits, std::string* error) {
  const std::string privatePath = name + ".pem", publicPath = name + ".pub.pem";
  if (fs::exists(privatePath) || fs::exists(publicPath)) {
    *error = privatePath + " or " + publicPath + " exists already; keys are never overwritten";
    return false;
  }
  EVP_PKEY* key = EVP_RSA_gen(static_cast<unsigned>(bits));
  if (key == nullptr) {
    *error = "cannot make an RSA key";
    return false;
  }
  const mode_t mask = umask(077);  // the private key readable by its owner only
  FILE* priv = fopen(privatePath.c_str(), "wx");
  umask(mask);
  bool ok = priv != nullptr && PEM_write_PrivateKey(priv, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  if (priv != nullptr) ok = fclose(priv) == 0 && ok;
  FILE* pub = ok ? fopen(publicPath.c_str(), "wx") : nullptr;
  ok = ok && pub != nullptr && PEM_write_PUBKEY(pub, key) == 1;
  if (pub != nullptr) ok = fclose(pub) == 0 && ok;
  EVP_PKEY_free(key);
  if (!ok) {
    if (priv != nullptr) fs::remove(privatePath);
    if (pub != nullptr) fs::remove(publicPath);
    *error = "cannot write " + privatePath + " and " + publicPath;
  }
  return ok;
}

int64_t Tool_Now() {
  const char* now = getenv("VEXO_GATEWAY_NOW");
  return now != nullptr && now[0] != '\0' ? strtoll(now, nullptr, 10) : Release_Now();
}

int Highest_Numbered(const std::string& folder, const TrustFileName& kind) {
  int highest = 0;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const int n = Trust_ServedNumber(kind, entry.path().filename().string().c_str());
    if (n > highest) highest = n;
  }
  return highest;
}

std::string Served_Name(const TrustFileName& kind, int number) {
  char name[TRUST_SERVED_NAME_MAX];
  Trust_ServedName(kind, number, name);
  return name;
}

bool Write_Whole(const std::string& path, const std::string& bytes) {
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(partial, path, ec);
  return !ec;
}

std::string Read_Whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Parse_Count(const std::string& text, long long max, long long* value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::stoll(text);
  return *value <= max;
}

std::string Tool_Arguments::One(const std::string& flag) const {
  const auto it = values.find(flag);
  return it != values.end() ? it->second : "";
}

bool Tool_ParseArguments(int argc, char** argv, const std::set<std::string>& known,
                         const std::set<std::string>& repeatable, Tool_Arguments* a) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("--", 0) != 0) {
      a->words.push_back(word);
    } else if (known.count(word) == 0 || i + 1 >= argc || (a->values.count(word) != 0 && repeatable.count(word) == 0)) {
      return false;
    } else {
      a->values.emplace(word, argv[++i]);
    }
  }
  return true;
}
