// What the local gateway serves: the module files of one folder, each gzip-compressed, and the
// version table built from them, with the fault switches that tests use.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct GatewayOptions {
  std::string dir;                // folder of module files
  std::string bind = "127.0.0.1";
  int httpPort = -1;              // -1: no plain listener; 0: any free port
  int tlsPort = -1;
  std::string cert, key;          // PEM files of the TLS listener
  std::string portsFile;          // receives "http=N" / "https=N" once the listeners are bound
  std::string requestLog;         // one line per request (method, path, version, headers)
  int lifetimeSeconds = 0;        // stop by itself after this long (0: until SIGTERM/SIGINT)
  // Table contents.
  std::map<std::string, std::string> versions, targets, descriptions;
  bool reverse = false;           // list the files in reverse name order
  int extraEntries = 0;           // listed (and served) files beyond the folder's
  std::vector<std::string> badNames;  // listed names that try to leave the module directory
  // Faults, by served name (the table "MirovanVer.tbl" included).
  std::map<std::string, int> status;  // answer with this HTTP status
  std::set<std::string> truncate;     // announce the whole length, send half, close
  std::set<std::string> drop;         // close the connection without an answer
  std::set<std::string> damage;       // gzip data whose check value is wrong
  std::set<std::string> slow;         // body in 8 pieces with a pause between them
  std::set<std::string> plain;        // the file as it is, not compressed
  int slowMs = 100;
  // Hostile gateway faults, by served name.
  std::set<std::string> stall;        // accept the request and never answer
  std::set<std::string> trickle;      // announce the whole body, send one byte every trickleMs
  int trickleMs = 100;
  std::map<std::string, std::string> redirect;   // 302 to this URL, unless the query has "redirected"
  std::map<std::string, std::string> badStatus;  // status line "HTTP/1.0 " + this text (plain listener)
  std::set<std::string> endless;      // 200 without a length, zeros until the client gives up
  std::set<std::string> bomb;         // gzip data that unpacks to 160 MiB of zeros
  // Test control (--control): POST /control/configure replaces the table and fault switches and
  // rereads the folder; GET /control/log answers the requests logged since. Plain listener only.
  bool control = false;
  // Further certificates of the TLS listener by name (--identity NAME=CERT:KEY); --use-identity
  // NAME presents one of them instead of --cert/--key from the next handshake on.
  std::map<std::string, std::string> identities;
  std::string useIdentity;
};

struct ServedFile {
  std::string name;     // listed file name
  std::string urlKey;   // "URL" value: path below the gateway base URL
  std::string servedAs; // name under /plugin/file/
  std::string raw;      // the module file's bytes
  std::string gz;       // the same, gzip-compressed with GzipCompressFile
};

class ModuleCatalog {
 public:
  static constexpr const char* kTableName = "MirovanVer.tbl";
  static constexpr const char* kManifestName = "pack.ini";  // the packer's manifest, never a module

  // Reads and compresses every regular file of options.dir; false with a message on failure.
  bool Load(const GatewayOptions& options, std::string* error);
  const ServedFile* Find(const std::string& servedAs) const;
  const std::string& Table() const { return table_; }
  size_t Count() const { return files_.size(); }

 private:
  bool AddFile(const std::string& name, const std::string& servedAs, const std::string& raw, std::string* error);
  void BuildTable(const GatewayOptions& options);

  std::vector<ServedFile> files_;
  std::string table_;
};

// gz receives raw compressed as the plug-in's GzipCompressFile packs it (zlib's gzip header with no
// name and no time: the same bytes give the same file); false with a message on failure.
bool Compress(const std::string& raw, std::string* gz, std::string* error);

// The gzip data with its CRC-32 trailer inverted: the header still says gzip, the check fails.
std::string DamageGzip(const std::string& gz);
