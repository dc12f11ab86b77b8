// vexo-gateway pack: turns a folder of module files into a static release folder that any web
// server or CDN can serve: OUT/plugin/file/MirovanVer.tbl and each module gzip-compressed under a
// path that names its content (OUT/plugin/file/<16 hex digits of its SHA-256>/<name>), so that no
// release ever overwrites a file another table lists; the previous release's files stay. Signed on
// request (hashes, sizes, serial, key list version, expiry and the signature inside the table) by a
// release key of the folder's newest key list.
#pragma once

#include <map>
#include <string>
#include <vector>

struct PackOptions {
  std::string source;     // folder of module files (and an optional manifest, pack.ini)
  std::string out;        // release folder root
  std::string signingKey;  // PEM file of the RSA private key
  std::string signCommand; // or a command that signs standard input (an HSM); both empty: unsigned
  long long serial = -1;   // release serial, signed releases only
  long long expiresDays = -1;  // the table expires this many days from now, signed releases only
  bool Signed() const { return !signingKey.empty() || !signCommand.empty(); }
};

// One packed module.
struct PackedFile {
  std::string name, version, target, description;
  std::string gz;  // what is served
  std::string servedPath;  // below the release folder: plugin/file/<content hash>/<name>
  std::string installedSha256;  // hex SHA-256 of the file as the plug-in installs it (unpacked)
  size_t installedSize = 0;
};

// Parses "pack [--sign KEY | --sign-command CMD] [--serial N --expires DAYS] SRC OUT" (argv[0] is
// "pack"); false on a usage error.
bool Pack_ParseArguments(int argc, char** argv, PackOptions* options);

// Reads and checks the source folder and builds the files and the table (signed when signing,
// under the newest key list in the release folder, which must list the signing key) in memory;
// false with a message, nothing written.
bool Pack_Build(const PackOptions& options, std::vector<PackedFile>* files, std::string* table, std::string* error);

// The version in a Windows file's version resource (its fixed file information: "a.b.c.d"), or the
// empty text when the file has none.
std::string Pack_VersionResource(const std::string& bytes);

// Runs the pack command: builds, writes OUT/plugin/file/, prints every file it wrote. Exit status.
int Pack_Run(int argc, char** argv);
