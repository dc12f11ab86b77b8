// The gzip reader on any downloaded body: it never crashes, always consumes the download, and a
// failed unpacking leaves nothing under the destination name.
#include "support/gzip_file.h"
#include "support/status.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char kSource[] = "module.gz";
  const char kDestination[] = "module.dll";
  FuzzWriteFile(kSource, std::string(reinterpret_cast<const char*>(data), size));
  const int rc = GzipDecompressFile(kSource, kDestination);
  FUZZ_CHECK(!FuzzFileExists(kSource));
  FUZZ_CHECK(FuzzFileExists(kDestination) == (rc == STATUS_OK));
  remove(kDestination);
  return 0;
}
