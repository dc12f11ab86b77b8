#include "tools/gateway/release_keys.h"

#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "modules/file_entry.h"
#include "modules/install_location.h"
#include "modules/release_check.h"
#include "modules/release_trust.h"
#include "modules/version_table.h"
#include "support/gzip_file.h"
#include "tools/gateway/release_sign.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFileFolder[] = "plugin/file";
constexpr int kKeyBits = 3072;

int Refuse(const char* command, const std::string& why) {
  std::cerr << "vexo-gateway " << command << ": " << why << "; nothing written\n";
  return 1;
}

int Usage(const char* text) {
  std::cerr << "usage: vexo-gateway " << text << "\n";
  return 2;
}

// The key of root record number version in folder (base64), or empty.
std::string RootRecordKey(const std::string& folder, int version) {
  static SignedText text;
  char key[RELEASE_KEY_PEM_MAX] = {};
  const std::string path = (fs::path(folder) / Served_Name(ROOT_RECORD_SERVED, version)).string();
  if (SignedText_Read(path.c_str(), &text) != 0 || !SignedText_Value(text, ROOT_SECTION, "Key", key, sizeof key)) return "";
  return key;
}

// The root in force for folder: the newest root record's number (1 without any) and, whether
// keyFile is that root's key (unknown for root 1: only the plug-in's build holds it).
bool IsCurrentRoot(const std::string& folder, const std::string& keyFile, int* version, std::string* error) {
  *version = Highest_Numbered(folder, ROOT_RECORD_SERVED);
  if (*version < 2) {
    *version = 1;
    return true;
  }
  std::string key;
  if (!Key_PublicBase64(keyFile, &key, error)) return false;
  if (key != RootRecordKey(folder, *version)) {
    *error = keyFile + " is not root " + std::to_string(*version) + ", the newest root record in " + folder;
    return false;
  }
  return true;
}

std::string ExpiryText(long long days) {
  char text[24];
  Release_FormatTime(Tool_Now() + days * 86400, text);
  return text;
}

bool WriteSigned(const std::string& path, const std::string& text, std::string* error) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (text.size() > static_cast<size_t>(SIGNED_FILE_MAX)) {
    *error = "the file would have " + std::to_string(text.size()) + " bytes; the plug-in reads at most " +
             std::to_string(SIGNED_FILE_MAX);
    return false;
  }
  if (!Write_Whole(path, text)) {
    *error = "cannot write " + path;
    return false;
  }
  std::cout << "wrote " << path << " (" << text.size() << " bytes)\n";
  return true;
}

}  // namespace

int Keygen_Run(int argc, char** argv) {
  Tool_Arguments a;
  if (!Tool_ParseArguments(argc, argv, {"--out"}, {}, &a) || a.One("--out").empty() || !a.words.empty()) return Usage("keygen --out NAME");
  std::string error;
  if (!Key_Generate(a.One("--out"), kKeyBits, &error)) return Refuse("keygen", error);
  std::cout << "wrote " << a.One("--out") << ".pem (private: keep it offline) and " << a.One("--out") << ".pub.pem\n";
  return 0;
}

int KeyList_Run(int argc, char** argv) {
  const char* usage = "keylist --root ROOT.pem --version N --expires DAYS --key RELEASE.pub.pem [--key ...] OUT";
  Tool_Arguments a;
  long long version = 0, days = 0;
  if (!Tool_ParseArguments(argc, argv, {"--root", "--version", "--expires", "--key"}, {"--key"}, &a) || a.words.size() != 1 ||
      a.One("--root").empty() || a.values.count("--key") == 0 || !Parse_Count(a.One("--version"), 2147483647LL, &version) ||
      version < 1 || !Parse_Count(a.One("--expires"), 36500, &days) || days < 1) {
    return Usage(usage);
  }
  const std::string folder = (fs::path(a.words[0]) / kFileFolder).string();
  const int newest = Highest_Numbered(folder, KEY_LIST_SERVED);
  if (version <= newest) {
    return Refuse("keylist", "key list " + std::to_string(newest) + " is published already: the version must be higher");
  }
  std::string error, rootKey;
  int root = 1;
  if (!IsCurrentRoot(folder, a.One("--root"), &root, &error) || !Key_PublicBase64(a.One("--root"), &rootKey, &error)) {
    return Refuse("keylist", error);
  }
  std::vector<std::string> keys;
  for (auto it = a.values.lower_bound("--key"); it != a.values.upper_bound("--key"); ++it) {
    std::string key;
    if (!Key_PublicBase64(it->second, &key, &error)) return Refuse("keylist", error);
    if (key == rootKey) return Refuse("keylist", it->second + " is the root key: a root key signs key lists only");
    for (const std::string& k : keys) {
      if (k == key) return Refuse("keylist", it->second + " is listed twice");
    }
    keys.push_back(key);
  }
  if (keys.size() > static_cast<size_t>(RELEASE_KEYS_MAX)) {
    return Refuse("keylist", "the plug-in reads at most " + std::to_string(RELEASE_KEYS_MAX) + " release keys");
  }
  std::string body = std::string("[") + KEY_LIST_SECTION + "]\r\nVersion=" + std::to_string(version) +
                     "\r\nRoot=" + std::to_string(root) + "\r\nExpires=" + ExpiryText(days) +
                     "\r\nCount=" + std::to_string(keys.size()) + "\r\n";
  for (size_t i = 0; i < keys.size(); ++i) body += std::to_string(i + 1) + "=" + keys[i] + "\r\n";
  std::string signature;
  const std::string path = (fs::path(folder) / Served_Name(KEY_LIST_SERVED, static_cast<int>(version))).string();
  if (!Sign(Signer{a.One("--root"), ""}, body, &signature, &error) ||
      !WriteSigned(path, Signed_Join(body, {signature}), &error)) {
    return Refuse("keylist", error);
  }
  std::cout << "key list " << version << " under root " << root << ", expires " << ExpiryText(days)
            << ": now pack a release signed by one of its keys\n";
  return 0;
}

int RotateRoot_Run(int argc, char** argv) {
  Tool_Arguments a;
  if (!Tool_ParseArguments(argc, argv, {"--old", "--new"}, {}, &a) || a.words.size() != 1 || a.One("--old").empty() ||
      a.One("--new").empty()) {
    return Usage("rotate-root --old ROOT.pem --new NEWROOT.pem OUT");
  }
  const std::string folder = (fs::path(a.words[0]) / kFileFolder).string();
  std::string error, oldKey, newKey;
  int current = 1;
  if (!IsCurrentRoot(folder, a.One("--old"), &current, &error) || !Key_PublicBase64(a.One("--old"), &oldKey, &error) ||
      !Key_PublicBase64(a.One("--new"), &newKey, &error)) {
    return Refuse("rotate-root", error);
  }
  if (oldKey == newKey) return Refuse("rotate-root", "the new root is the old one");
  const int next = current + 1;
  const std::string body = std::string("[") + ROOT_SECTION + "]\r\nVersion=" + std::to_string(next) + "\r\nKey=" + newKey + "\r\n";
  std::string byOld, byNew;
  if (!Sign(Signer{a.One("--old"), ""}, body, &byOld, &error) || !Sign(Signer{a.One("--new"), ""}, body, &byNew, &error) ||
      !WriteSigned((fs::path(folder) / Served_Name(ROOT_RECORD_SERVED, next)).string(), Signed_Join(body, {byOld, byNew}),
                   &error)) {
    return Refuse("rotate-root", error);
  }
  std::cout << "root " << next << ": now make a key list with --root " << a.One("--new") << " and pack again\n";
  return 0;
}

namespace {

// Checks one listed file as the plug-in would: where it is served, its download and unpacked
// hashes and sizes. Problems go to problems.
void VerifyFile(const fs::path& out, const std::string& table, const FileEntry& entry, std::vector<std::string>* problems) {
  const std::string name = entry.file_name;
  const std::string url = entry.url;
  if (name.empty() || !IsPlainDirName(name.c_str())) {
    problems->push_back("\"" + name + "\": the plug-in refuses this file name");
    return;
  }
  const fs::path served = out / url;
  ReleaseFileCheck download = {}, installed = {};
  if (url.rfind(std::string(kFileFolder) + "/", 0) != 0 || url.find("..") != std::string::npos || !fs::is_regular_file(served)) {
    problems->push_back(name + ": its URL " + url + " names no file of the release folder");
    return;
  }
  if (Release_ReadFileCheck(table.c_str(), name.c_str(), &download) != 0 ||
      Release_ReadInstalledCheck(table.c_str(), name.c_str(), &installed) != 0) {
    problems->push_back(name + ": no Sha256/Size or InstalledSha256/InstalledSize in the table");
    return;
  }
  if (Release_CheckFile(served.string().c_str(), &download) != 0) {
    problems->push_back(name + ": " + url + " does not match the Sha256 and Size the table lists");
    return;
  }
  // Unpacked with the plug-in's own code, from a copy (unpacking consumes its source).
  char folder[] = "/tmp/vexo-verify-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    problems->push_back("cannot create a work folder");
    return;
  }
  const std::string gz = std::string(folder) + "/file.gz", plain = std::string(folder) + "/file";
  std::error_code ec;
  fs::copy_file(served, gz, ec);
  if (ec || GzipDecompressFile(gz.c_str(), plain.c_str()) != 0 || Release_CheckFile(plain.c_str(), &installed) != 0) {
    problems->push_back(name + ": unpacked, " + url + " does not match the InstalledSha256 and InstalledSize listed");
  }
  fs::remove_all(folder);
}

std::string Why(int code) {
  switch (code) {
    case ERR_RELEASE_EXPIRED: return "it has expired";
    case ERR_RELEASE_KEY_LIST: return "it names another key list, or the key list is not signed by the root it names";
    case ERR_RELEASE_ROOT: return "not signed by both the previous root and its own key";
    default: return "the signature is by none of the keys it must be signed by";
  }
}

// The key list and roots of the table at tablePath, as the plug-in follows them from root 1.
bool VerifyTrust(const std::string& folder, const std::string& tablePath, ReleaseRoot* root, ReleaseKeyList* list,
                 std::vector<std::string>* problems) {
  const int wanted = Release_TableKeyList(tablePath.c_str());
  if (wanted < 1) {
    problems->push_back("the table is unsigned or signed the old way (no KeyList=): pack it with --sign");
    return false;
  }
  const std::string listPath = (fs::path(folder) / Served_Name(KEY_LIST_SERVED, wanted)).string();
  if (!fs::exists(listPath)) {
    problems->push_back("the table names key list " + std::to_string(wanted) + ", and " + listPath + " is missing");
    return false;
  }
  const int rootWanted = Trust_KeyListRoot(listPath.c_str());
  for (int r = root->version + 1; r <= rootWanted; ++r) {
    const std::string record = (fs::path(folder) / Served_Name(ROOT_RECORD_SERVED, r)).string();
    const int code = Trust_FollowRoot(record.c_str(), root);
    if (code != 0) {
      problems->push_back("root record " + record + ": " + (fs::exists(record) ? Why(code) : "missing"));
      return false;
    }
  }
  const int newestRoot = Highest_Numbered(folder, ROOT_RECORD_SERVED);
  if (newestRoot > rootWanted && newestRoot >= 2) {
    problems->push_back("key list " + std::to_string(wanted) + " is signed by root " + std::to_string(rootWanted) +
                        ", but root " + std::to_string(newestRoot) + " is published: plug-ins that follow it refuse it");
  }
  const int code = Trust_ReadKeyList(listPath.c_str(), *root, Tool_Now(), list);
  if (code != 0 || list->version != wanted) {
    const std::string why = code == ERR_RELEASE_EXPIRED ? Why(code)
                            : code == 0 ? "its Version is not " + std::to_string(wanted)
                                        : "not a key list signed by root " + std::to_string(root->version);
    problems->push_back("key list " + listPath + ": " + why);
    return false;
  }
  return true;
}

}  // namespace

int Verify_Run(int argc, char** argv) {
  Tool_Arguments a;
  long long rootVersion = 1;
  if (!Tool_ParseArguments(argc, argv, {"--root", "--root-version"}, {}, &a) || a.words.size() != 1 || a.One("--root").empty() ||
      (!a.One("--root-version").empty() && !Parse_Count(a.One("--root-version"), 9999, &rootVersion)) ||
      rootVersion < 1) {
    return Usage("verify --root ROOT.pub.pem [--root-version N] OUT");
  }
  const fs::path out(a.words[0]);
  const std::string folder = (out / kFileFolder).string();
  const std::string tablePath = (out / kFileFolder / VERSION_TABLE_NAME).string();
  std::string error, rootKey;
  ReleaseRoot root = {static_cast<int>(rootVersion), {}};
  if (!Key_PublicBase64(a.One("--root"), &rootKey, &error) || !Release_KeyPem(rootKey.c_str(), root.keyPem, sizeof root.keyPem)) {
    return Usage(("verify --root ROOT.pub.pem [--root-version N] OUT (" + error + ")").c_str());
  }
  std::vector<std::string> problems;
  static ReleaseKeyList list;
  ReleaseTableInfo info = {};
  if (!fs::exists(tablePath)) {
    problems.push_back(tablePath + " is missing");
  } else if (VerifyTrust(folder, tablePath, &root, &list, &problems)) {
    const int code = Release_VerifyTable(tablePath.c_str(), list, Tool_Now(), &info);
    if (code != 0) problems.push_back("the table: " + Why(code));
  }
  static FileEntry entries[FILE_TABLE_MAX_ENTRIES];
  memset(entries, 0, sizeof entries);
  const int count = problems.empty() ? ReadVersionTable(tablePath.c_str(), entries) : 0;
  if (problems.empty() && count < 1) problems.push_back("the table lists no file");
  for (int i = 0; i < count; ++i) VerifyFile(out, tablePath, entries[i], &problems);
  for (const std::string& p : problems) std::cerr << "vexo-gateway verify: " << p << "\n";
  if (!problems.empty()) {
    std::cerr << "vexo-gateway verify: " << out.string() << " is NOT fit to publish\n";
    return 1;
  }
  char tableExpires[24], listExpires[24];
  Release_FormatTime(info.expires, tableExpires);
  Release_FormatTime(list.expires, listExpires);
  std::cout << out.string() << ": serial " << info.serial << ", " << count << " files, table expires " << tableExpires
            << "; key list " << list.version << " (root " << root.version << ") expires " << listExpires << ": ok\n";
  return 0;
}
