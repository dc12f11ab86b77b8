#include "tools/gateway/release_pack.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "modules/file_entry.h"
#include "modules/install_location.h"
#include "modules/install_record.h"
#include "modules/release_check.h"
#include "support/profile.h"
#include "tools/gateway/module_catalog.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFileFolder[] = "plugin/file";
// The profile reader finds a section only when its head line, brackets included, has at most 63
// characters.
constexpr size_t kMaxNameLength = 61;
constexpr char kNameCharacters[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-+~";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Why the plug-in (or the table syntax, or a URL path) could not take this file name; empty when fine.
std::string NameProblem(const std::string& name) {
  if (name.empty() || !IsPlainDirName(name.c_str())) return "the plug-in refuses it (path separator, drive colon, \"..\")";
  if (name.size() > kMaxNameLength) return "longer than " + std::to_string(kMaxNameLength) + " characters";
  if (name.find_first_not_of(kNameCharacters) != std::string::npos) {
    return "only letters, digits and . _ - + ~ can stand in a table and a URL unchanged";
  }
  return "";
}

// A manifest value of the file's section, or fallback.
std::string ManifestValue(const fs::path& manifest, const std::string& name, const char* key,
                          const std::string& fallback) {
  char value[PROFILE_KEY_LINE] = {};
  if (!fs::exists(manifest)) return fallback;
  const std::string path = manifest.string();
  if (Profile_GetString(name.c_str(), key, nullptr, value, sizeof value, path.c_str()) != 0) return fallback;
  return value;
}

std::string Hex(const unsigned char* bytes, size_t length) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

std::string Sha256Hex(const std::string& data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr);
  return Hex(digest, length);
}

// RSA PKCS #1 v1.5 signature over SHA-256 of data with the private key in keyFile.
bool Sign(const std::string& keyFile, const std::string& data, std::string* signature, std::string* error) {
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
  bool ok = context != nullptr && EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key) == 1 &&
            EVP_DigestSign(context, nullptr, &length, reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
  if (ok) {
    signature->assign(length, '\0');
    ok = EVP_DigestSign(context, reinterpret_cast<unsigned char*>(&(*signature)[0]), &length,
                        reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
    signature->resize(length);
  }
  if (!ok) *error = "signing failed";
  EVP_MD_CTX_free(context);
  EVP_PKEY_free(key);
  return ok;
}

// The table in profile syntax with CR LF line ends, the release section first.
std::string BuildTable(const PackOptions& options, const std::vector<PackedFile>& files) {
  const bool sign = !options.signingKey.empty();
  std::string t;
  if (sign) t += std::string("[") + RELEASE_SECTION + "]\r\n" + RELEASE_SERIAL_KEY + "=" + std::to_string(options.serial) + "\r\n\r\n";
  t += "[FILE_LIST]\r\nListCount=" + std::to_string(files.size()) + "\r\n";
  for (size_t i = 0; i < files.size(); ++i) t += std::to_string(i + 1) + "=" + files[i].name + "\r\n";
  for (const PackedFile& f : files) {
    t += "\r\n[" + f.name + "]\r\n";
    t += "URL=" + std::string(kFileFolder) + "/" + f.name + "\r\n";
    t += "Version=" + f.version + "\r\n";
    t += "Target=" + f.target + "\r\n";
    t += "Description=" + f.description + "\r\n";
    if (sign) {
      t += std::string(RELEASE_SHA256_KEY) + "=" + Sha256Hex(f.gz) + "\r\n";
      t += std::string(RELEASE_SIZE_KEY) + "=" + std::to_string(f.gz.size()) + "\r\n";
      t += std::string(RELEASE_INSTALLED_SHA256_KEY) + "=" + f.installedSha256 + "\r\n";
      t += std::string(RELEASE_INSTALLED_SIZE_KEY) + "=" + std::to_string(f.installedSize) + "\r\n";
    }
  }
  return t;
}

// Writes bytes to path through a temporary file and one rename.
bool WriteWhole(const fs::path& path, const std::string& bytes) {
  const fs::path partial = path.string() + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(partial, path, ec);
  return !ec;
}

}  // namespace

std::string Pack_VersionResource(const std::string& bytes) {
  if (bytes.compare(0, 2, "MZ") != 0) return "";
  static const char key[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";  // UTF-16, terminated
  const std::string pattern(key, sizeof key);  // includes the second byte of the terminator
  for (size_t at = bytes.find(pattern); at != std::string::npos; at = bytes.find(pattern, at + 1)) {
    // VS_VERSIONINFO: three 16-bit words, the key, padding to 32 bits, then VS_FIXEDFILEINFO.
    if (at < 6) continue;
    const size_t fixed = at - 6 + ((6 + pattern.size() + 3) & ~static_cast<size_t>(3));
    if (fixed + 16 > bytes.size()) continue;
    auto word = [&](size_t offset) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
      return static_cast<unsigned>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned>(p[3]) << 24);
    };
    if (word(fixed) != 0xFEEF04BDu) continue;
    const unsigned ms = word(fixed + 8), ls = word(fixed + 12);
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xFFFF);
  }
  return "";
}

bool Pack_ParseArguments(int argc, char** argv, PackOptions* o) {
  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--sign" || arg == "--serial") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--sign") {
        o->signingKey = value;
      } else {
        if (value.empty() || value.size() > 10 || value.find_first_not_of("0123456789") != std::string::npos) return false;
        o->serial = std::stoll(value);
        if (o->serial > 2147483647LL) return false;
      }
    } else if (arg.rfind("--", 0) == 0) {
      return false;
    } else {
      folders.push_back(arg);
    }
  }
  if (folders.size() != 2 || o->signingKey.empty() != (o->serial < 0)) return false;
  o->source = folders[0];
  o->out = folders[1];
  return true;
}

bool Pack_Build(const PackOptions& options, std::vector<PackedFile>* files, std::string* table,
                std::string* signature, std::string* error) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(options.source, ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != ModuleCatalog::kTableName && name != ModuleCatalog::kManifestName) {
      names.push_back(name);
    }
  }
  if (ec) {
    *error = "cannot read " + options.source + ": " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end());  // byte order: the same folder gives the same table
  if (names.size() > static_cast<size_t>(FILE_TABLE_MAX_ENTRIES)) {
    *error = std::to_string(names.size()) + " files; the plug-in reads at most " + std::to_string(FILE_TABLE_MAX_ENTRIES);
    return false;
  }
  const fs::path manifest = fs::path(options.source) / ModuleCatalog::kManifestName;
  for (const std::string& name : names) {
    const std::string problem = NameProblem(name);
    if (!problem.empty()) {
      *error = "refused file name \"" + name + "\": " + problem;
      return false;
    }
    PackedFile f;
    f.name = name;
    const std::string raw = ReadFile(fs::path(options.source) / name);
    // The manifest first, then the version resource, then the content's own hash.
    std::string version = Pack_VersionResource(raw);
    if (version.empty()) version = Sha256Hex(raw).substr(0, 16);
    f.version = ManifestValue(manifest, name, "Version", version);
    f.target = ManifestValue(manifest, name, "Target", "");
    f.description = ManifestValue(manifest, name, "Description", "0");
    if (!Compress(raw, &f.gz, error)) return false;
    f.installedSha256 = Sha256Hex(raw);
    f.installedSize = raw.size();
    files->push_back(std::move(f));
  }
  *table = BuildTable(options, *files);
  if (table->size() > static_cast<size_t>(INSTALL_RECORD_MAX_TABLE)) {
    *error = "the table has " + std::to_string(table->size()) + " bytes; the plug-in installs at most " +
             std::to_string(INSTALL_RECORD_MAX_TABLE);
    return false;
  }
  return options.signingKey.empty() || Sign(options.signingKey, *table, signature, error);
}

int Pack_Run(int argc, char** argv) {
  PackOptions options;
  if (!Pack_ParseArguments(argc, argv, &options)) {
    std::cerr << "usage: vexo-gateway pack [--sign PRIVATE_KEY.pem --serial N] SOURCE_FOLDER RELEASE_FOLDER\n";
    return 2;
  }
  std::vector<PackedFile> files;
  std::string table, signature, error;
  if (!Pack_Build(options, &files, &table, &signature, &error)) {
    std::cerr << "vexo-gateway pack: " << error << "; nothing written\n";
    return 1;
  }
  const fs::path folder = fs::path(options.out) / kFileFolder;
  std::error_code ec;
  fs::create_directories(folder, ec);
  // Modules first, the table after them and its signature last: a server never lists a file it
  // does not have yet.
  std::vector<std::pair<std::string, const std::string*>> writes;
  for (const PackedFile& f : files) writes.emplace_back(f.name, &f.gz);
  writes.emplace_back(ModuleCatalog::kTableName, &table);
  const std::string signatureName = std::string(ModuleCatalog::kTableName) + RELEASE_SIGNATURE_SUFFIX;
  if (!options.signingKey.empty()) writes.emplace_back(signatureName, &signature);
  for (const auto& w : writes) {
    const fs::path path = folder / w.first;
    if (!WriteWhole(path, *w.second)) {
      std::cerr << "vexo-gateway pack: cannot write " << path.string() << "\n";
      return 1;
    }
    const PackedFile* f = nullptr;
    for (const PackedFile& candidate : files) {
      if (candidate.name == w.first) f = &candidate;
    }
    std::cout << "wrote " << path.string() << " (" << w.second->size() << " bytes"
              << (f != nullptr ? ", version " + f->version : "") << ")\n";
  }
  // Files of an earlier pack that this release does not have (an old signature above all) go.
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    const bool ours = std::any_of(writes.begin(), writes.end(), [&](const auto& w) { return w.first == name; });
    if (!ours && entry.is_regular_file()) {
      fs::remove(entry.path(), ec);
      std::cout << "removed " << entry.path().string() << "\n";
    }
  }
  return 0;
}
