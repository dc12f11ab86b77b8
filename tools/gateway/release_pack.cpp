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
#include <set>

#include "modules/file_entry.h"
#include "modules/install_location.h"
#include "modules/install_record.h"
#include "modules/release_check.h"
#include "support/profile.h"
#include "tools/gateway/module_catalog.h"
#include "tools/gateway/release_sign.h"
#include "modules/version_table.h"
#include "modules/release_trust.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFileFolder[] = "plugin/file";
// The profile reader finds a section only when its head line, brackets included, has at most 63
// characters.
constexpr size_t kMaxNameLength = 61;
constexpr char kNameCharacters[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-+~";

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

// The table's body in profile syntax with CR LF line ends, the release section first.
std::string BuildTable(const PackOptions& options, const std::vector<PackedFile>& files, int keyList) {
  const bool sign = options.Signed();
  std::string t;
  if (sign) {
    char expires[24];
    Release_FormatTime(Tool_Now() + options.expiresDays * 86400, expires);
    t += std::string("[") + RELEASE_SECTION + "]\r\n" + RELEASE_SERIAL_KEY + "=" + std::to_string(options.serial) +
         "\r\n" + RELEASE_KEY_LIST_KEY + "=" + std::to_string(keyList) + "\r\n" + RELEASE_EXPIRES_KEY + "=" + expires +
         "\r\n\r\n";
  }
  t += "[FILE_LIST]\r\nListCount=" + std::to_string(files.size()) + "\r\n";
  for (size_t i = 0; i < files.size(); ++i) t += std::to_string(i + 1) + "=" + files[i].name + "\r\n";
  for (const PackedFile& f : files) {
    t += "\r\n[" + f.name + "]\r\n";
    t += "URL=" + f.servedPath + "\r\n";
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

// The release keys (base64) of the newest key list in folder, with its version: false with a
// message when there is none or it has expired.
bool NewestKeyList(const std::string& folder, int* version, std::vector<std::string>* keys, std::string* error) {
  static SignedText text;
  *version = Highest_Numbered(folder, KEY_LIST_SERVED);
  const std::string path = (fs::path(folder) / Served_Name(KEY_LIST_SERVED, *version)).string();
  char value[RELEASE_KEY_PEM_MAX] = {};
  long long count = 0;
  int64_t expires = 0;
  if (*version == 0) {
    *error = "no key list in " + folder + " (MirovanKeys.<N>.lst): run vexo-gateway keylist first";
    return false;
  }
  if (SignedText_Read(path.c_str(), &text) != 0 || !SignedText_Value(text, KEY_LIST_SECTION, "Count", value, sizeof value) ||
      !Parse_Count(value, RELEASE_KEYS_MAX, &count) ||
      !SignedText_Value(text, KEY_LIST_SECTION, "Expires", value, sizeof value) || !Release_ParseTime(value, &expires)) {
    *error = path + " is no key list that vexo-gateway keylist wrote";
    return false;
  }
  if (Release_Expired(expires, Tool_Now())) {
    *error = "key list " + std::to_string(*version) + " expired at " + value + ": make a new one with vexo-gateway keylist";
    return false;
  }
  for (long long i = 1; i <= count; ++i) {
    if (SignedText_Value(text, KEY_LIST_SECTION, std::to_string(i).c_str(), value, sizeof value)) keys->push_back(value);
  }
  return true;
}

// Signs body under the newest key list of folder: the signed table, or false with a message.
bool SignTable(const PackOptions& options, const std::string& folder, int keyList,
               const std::vector<std::string>& keys, const std::string& body, std::string* table, std::string* error) {
  Signer signer{options.signingKey, options.signCommand};
  std::string signature;
  if (!Sign(signer, body, &signature, error)) return false;
  if (std::none_of(keys.begin(), keys.end(), [&](const std::string& k) { return Key_Verifies(k, body, signature); })) {
    *error = "the signature is by no release key of key list " + std::to_string(keyList) + " in " + folder +
             ": sign with a listed key, or list this one with vexo-gateway keylist";
    return false;
  }
  *table = Signed_Join(body, {signature});
  return true;
}

// The paths (below the release folder) that the table at path lists.
std::set<std::string> ListedPaths(const fs::path& table) {
  static FileEntry entries[FILE_TABLE_MAX_ENTRIES];
  std::set<std::string> paths;
  memset(entries, 0, sizeof entries);
  const int count = fs::exists(table) ? ReadVersionTable(table.string().c_str(), entries) : 0;
  for (int i = 0; i < count; ++i) {
    if (entries[i].url[0] != '\0') paths.insert(entries[i].url);
  }
  return paths;
}

// Removes the files below folder that are neither kept nor trust files, and the folders left empty.
void RemoveUnlisted(const fs::path& out, const fs::path& folder, const std::set<std::string>& keep) {
  std::error_code ec;
  std::vector<fs::path> unlisted, folders;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, ec)) {
    const std::string relative = fs::relative(entry.path(), out, ec).generic_string();
    const std::string name = entry.path().filename().string();
    const bool trust = entry.path().parent_path() == folder && (Trust_ServedNumber(KEY_LIST_SERVED, name.c_str()) > 0 ||
                                                                Trust_ServedNumber(ROOT_RECORD_SERVED, name.c_str()) > 0);
    if (entry.is_directory()) folders.push_back(entry.path());
    else if (!trust && keep.count(relative) == 0) unlisted.push_back(entry.path());
  }
  for (const fs::path& path : unlisted) {
    fs::remove(path, ec);
    std::cout << "removed " << path.string() << "\n";
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    if (fs::is_empty(*it, ec)) fs::remove(*it, ec);
  }
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
  Tool_Arguments a;
  if (!Tool_ParseArguments(argc, argv, {"--sign", "--sign-command", "--serial", "--expires"}, {}, &a)) return false;
  const std::vector<std::string>& folders = a.words;
  o->signingKey = a.One("--sign");
  o->signCommand = a.One("--sign-command");
  if (a.values.count("--serial") != 0 && !Parse_Count(a.One("--serial"), 2147483647LL, &o->serial)) return false;
  if (a.values.count("--expires") != 0 && (!Parse_Count(a.One("--expires"), 36500, &o->expiresDays) || o->expiresDays < 1)) {
    return false;
  }
  const bool bothSigners = !o->signingKey.empty() && !o->signCommand.empty();
  const bool signedSettings = o->serial >= 0 && o->expiresDays >= 1;
  const bool noSettings = o->serial < 0 && o->expiresDays < 0;
  if (folders.size() != 2 || bothSigners || (o->Signed() ? !signedSettings : !noSettings)) return false;
  o->source = folders[0];
  o->out = folders[1];
  return true;
}

bool Pack_Build(const PackOptions& options, std::vector<PackedFile>* files, std::string* table, std::string* error) {
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
    const std::string raw = Read_Whole((fs::path(options.source) / name).string());
    // The manifest first, then the version resource, then the content's own hash.
    std::string version = Pack_VersionResource(raw);
    if (version.empty()) version = Sha256Hex(raw).substr(0, 16);
    f.version = ManifestValue(manifest, name, "Version", version);
    f.target = ManifestValue(manifest, name, "Target", "");
    f.description = ManifestValue(manifest, name, "Description", "0");
    if (!Compress(raw, &f.gz, error)) return false;
    f.servedPath = std::string(kFileFolder) + "/" + Sha256Hex(f.gz).substr(0, 16) + "/" + name;
    f.installedSha256 = Sha256Hex(raw);
    f.installedSize = raw.size();
    files->push_back(std::move(f));
  }
  const std::string folder = (fs::path(options.out) / kFileFolder).string();
  int keyList = 0;
  std::vector<std::string> keys;
  if (options.Signed() && !NewestKeyList(folder, &keyList, &keys, error)) return false;
  *table = BuildTable(options, *files, keyList);
  if (options.Signed() && !SignTable(options, folder, keyList, keys, *table, table, error)) return false;
  if (table->size() > static_cast<size_t>(SIGNED_FILE_MAX)) {
    *error = "the table has " + std::to_string(table->size()) + " bytes; the plug-in reads at most " +
             std::to_string(SIGNED_FILE_MAX);
    return false;
  }
  return true;
}

int Pack_Run(int argc, char** argv) {
  PackOptions options;
  if (!Pack_ParseArguments(argc, argv, &options)) {
    std::cerr << "usage: vexo-gateway pack [--sign RELEASE.pem | --sign-command 'CMD'] [--serial N --expires DAYS]"
                 " SOURCE_FOLDER RELEASE_FOLDER\n"
                 "  a signed release needs --serial (0 to 2147483647) and --expires (1 to 36500 days)\n";
    return 2;
  }
  std::vector<PackedFile> files;
  std::string table, error;
  if (!Pack_Build(options, &files, &table, &error)) {
    std::cerr << "vexo-gateway pack: " << error << "; nothing written\n";
    return 1;
  }
  const fs::path out(options.out);
  const fs::path folder = out / kFileFolder;
  const fs::path tablePath = folder / ModuleCatalog::kTableName;
  // The previous release stays servable: its files are kept until the next pack.
  std::set<std::string> keep = ListedPaths(tablePath);
  keep.insert(fs::relative(tablePath, out).generic_string());
  std::error_code ec;
  fs::create_directories(folder, ec);
  // Modules first, the table last: a server never lists a file it does not have yet.
  for (const PackedFile& f : files) {
    const fs::path path = out / f.servedPath;
    keep.insert(f.servedPath);
    fs::create_directories(path.parent_path(), ec);
    if (!Write_Whole(path.string(), f.gz)) {
      std::cerr << "vexo-gateway pack: cannot write " << path.string() << "\n";
      return 1;
    }
    std::cout << "wrote " << path.string() << " (" << f.gz.size() << " bytes, version " << f.version << ")\n";
  }
  if (!Write_Whole(tablePath.string(), table)) {
    std::cerr << "vexo-gateway pack: cannot write " << tablePath.string() << "\n";
    return 1;
  }
  std::cout << "wrote " << tablePath.string() << " (" << table.size() << " bytes)\n";
  RemoveUnlisted(out, folder, keep);
  return 0;
}
