// vexo-gateway pack: turns a folder of module files into a static release folder that any web
// server or CDN can serve: OUT/plugin/file/MirovanVer.tbl and each module gzip-compressed under the
// name the table's "URL" gives; signed (hashes, sizes, serial, MirovanVer.tbl.sig) on request.
#pragma once

#include <map>
#include <string>
#include <vector>

struct PackOptions {
  std::string source;     // folder of module files (and an optional manifest, pack.ini)
  std::string out;        // release folder root
  std::string signingKey; // PEM file of the RSA private key; empty: unsigned
  long long serial = -1;  // release serial, with a signing key only
};

// One packed module.
struct PackedFile {
  std::string name, version, target, description;
  std::string gz;  // what is served
  std::string installedSha256;  // hex SHA-256 of the file as the plug-in installs it (unpacked)
  size_t installedSize = 0;
};

// Parses "pack [--sign KEY --serial N] SRC OUT" (argv[0] is "pack"); false on a usage error.
bool Pack_ParseArguments(int argc, char** argv, PackOptions* options);

// Reads and checks the source folder and builds the files and the table (and its signature when
// signing) in memory; false with a message, nothing written.
bool Pack_Build(const PackOptions& options, std::vector<PackedFile>* files, std::string* table,
                std::string* signature, std::string* error);

// The version in a Windows file's version resource (its fixed file information: "a.b.c.d"), or the
// empty text when the file has none.
std::string Pack_VersionResource(const std::string& bytes);

// Runs the pack command: builds, writes OUT/plugin/file/, prints every file it wrote. Exit status.
int Pack_Run(int argc, char** argv);
