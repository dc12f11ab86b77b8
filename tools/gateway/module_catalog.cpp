#include "tools/gateway/module_catalog.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/gzip_file.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFilePath[] = "plugin/file/";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ValueOr(const std::map<std::string, std::string>& values, const std::string& key,
                    const std::string& fallback) {
  const auto it = values.find(key);
  return it != values.end() ? it->second : fallback;
}

}  // namespace

// GzipCompressFile consumes its source, so it packs a copy in a private folder.
bool Compress(const std::string& raw, std::string* gz, std::string* error) {
  char folder[] = "/tmp/vexo-gateway-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    *error = "cannot create a work folder";
    return false;
  }
  const std::string plainPath = std::string(folder) + "/plain";
  const std::string gzPath = std::string(folder) + "/plain.gz";
  {
    std::ofstream out(plainPath, std::ios::binary);
    out << raw;
  }
  const int code = GzipCompressFile(plainPath.c_str(), gzPath.c_str());
  if (code == 0) *gz = ReadFile(gzPath);
  fs::remove_all(folder);
  if (code != 0) *error = "GzipCompressFile failed with " + std::to_string(code);
  return code == 0;
}

std::string DamageGzip(const std::string& gz) {
  std::string damaged = gz;
  if (damaged.size() >= 18) {  // 10-byte header, data, 8-byte trailer (CRC-32, length)
    for (size_t i = damaged.size() - 8; i < damaged.size() - 4; ++i) damaged[i] = static_cast<char>(~damaged[i]);
  }
  return damaged;
}

bool ModuleCatalog::AddFile(const std::string& name, const std::string& servedAs, const std::string& raw,
                            std::string* error) {
  ServedFile file;
  file.name = name;
  file.servedAs = servedAs;
  file.urlKey = kFilePath + servedAs;
  file.raw = raw;
  if (!Compress(raw, &file.gz, error)) return false;
  files_.push_back(std::move(file));
  return true;
}

bool ModuleCatalog::Load(const GatewayOptions& options, std::string* error) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(options.dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != kTableName && name != kManifestName) names.push_back(name);
  }
  if (ec) {
    *error = "cannot read the module folder " + options.dir + ": " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end());
  if (options.reverse) std::reverse(names.begin(), names.end());
  for (const std::string& name : names) {
    if (!AddFile(name, name, ReadFile(fs::path(options.dir) / name), error)) return false;
  }
  for (int i = 1; i <= options.extraEntries; ++i) {
    char name[32];
    snprintf(name, sizeof name, "extra%02d.dll", i);
    if (!AddFile(name, name, std::string("extra module ") + name + "\n", error)) return false;
  }
  for (size_t i = 0; i < options.badNames.size(); ++i) {
    const std::string servedAs = "escape" + std::to_string(i + 1) + ".bin";
    if (!AddFile(options.badNames[i], servedAs, "a file that must stay out of the module folder\n", error)) {
      return false;
    }
  }
  BuildTable(options);
  return true;
}

// The table in profile syntax with CR LF line ends, as a Windows gateway writes it. The default
// version is the CRC-32 of the file, so a changed file is listed with a new version.
void ModuleCatalog::BuildTable(const GatewayOptions& options) {
  std::string t = "[FILE_LIST]\r\nListCount=" + std::to_string(files_.size()) + "\r\n";
  for (size_t i = 0; i < files_.size(); ++i) t += std::to_string(i + 1) + "=" + files_[i].name + "\r\n";
  for (const ServedFile& f : files_) {
    char crc[16];
    snprintf(crc, sizeof crc, "%08lX",
             crc32(0L, reinterpret_cast<const Bytef*>(f.raw.data()), static_cast<uInt>(f.raw.size())));
    t += "\r\n[" + f.name + "]\r\n";
    t += "URL=" + f.urlKey + "\r\n";
    t += "Version=" + ValueOr(options.versions, f.name, crc) + "\r\n";
    t += "Target=" + ValueOr(options.targets, f.name, "") + "\r\n";
    t += "Description=" + ValueOr(options.descriptions, f.name, "0") + "\r\n";
  }
  table_ = t;
}

const ServedFile* ModuleCatalog::Find(const std::string& servedAs) const {
  for (const ServedFile& f : files_) {
    if (f.servedAs == servedAs) return &f;
  }
  return nullptr;
}
