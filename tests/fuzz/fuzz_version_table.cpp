// The version table reader and the comparison on any gateway table and any local table: every
// field of the module file table stays terminated within its size.
#include <fuzzer/FuzzedDataProvider.h>

#include "modules/version_table.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

const char kRemote[] = "remote.tbl";
const char kLocal[] = "local.tbl";

void CheckEntry(const FileEntry& e) {
  FUZZ_CHECK(memchr(e.file_name, '\0', sizeof e.file_name) != nullptr);
  FUZZ_CHECK(memchr(e.url, '\0', sizeof e.url) != nullptr);
  FUZZ_CHECK(memchr(e.version, '\0', sizeof e.version) != nullptr);
  FUZZ_CHECK(memchr(e.target, '\0', sizeof e.target) != nullptr);
  FUZZ_CHECK(e.needs_update == 0 || e.needs_update == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string local = in.ConsumeRandomLengthString(size);
  FuzzWriteFile(kLocal, local);
  FuzzWriteFile(kRemote, in.ConsumeRemainingBytesAsString());

  static FileEntry remote[FILE_TABLE_MAX_ENTRIES], installed[FILE_TABLE_MAX_ENTRIES],
      out[FILE_TABLE_MAX_ENTRIES];
  memset(remote, 0, sizeof remote);
  memset(installed, 0, sizeof installed);
  memset(out, 0, sizeof out);
  const int remoteCount = ReadVersionTable(kRemote, remote);
  const int localCount = ReadVersionTable(kLocal, installed);
  FUZZ_CHECK(remoteCount <= FILE_TABLE_MAX_ENTRIES && localCount <= FILE_TABLE_MAX_ENTRIES);
  for (const FileEntry& e : remote) CheckEntry(e);
  if (remoteCount <= 0) return 0;
  // The module directory is the working folder, where the two table files lie.
  CompareFileLists(remote, remoteCount, installed, localCount, out, ".",
                   "http://127.0.0.1:18080/plugin/file");
  for (int i = 0; i < remoteCount; ++i) CheckEntry(out[i]);
  return 0;
}
