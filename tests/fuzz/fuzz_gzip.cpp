// The gzip reader on any downloaded body, with an unpacked-size limit the input chooses: it never
// crashes, always consumes the download, a failed unpacking leaves nothing under the destination
// name, and an unpacked file is never larger than the limit.
#include <fuzzer/FuzzedDataProvider.h>

#include "support/gzip_file.h"
#include "support/status.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

long FileSize(const char* path) {
  FILE* f = fopen(path, "rb");
  if (f == nullptr) return -1;
  fseek(f, 0, SEEK_END);
  const long size = ftell(f);
  fclose(f);
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char kSource[] = "module.gz";
  const char kDestination[] = "module.dll";
  FuzzedDataProvider in(data, size);
  // Up to 4 MiB in steps of 16 KiB (one read), so that bombs and small limits both meet it.
  const int64_t limit = int64_t{in.ConsumeIntegralInRange<int>(0, 256)} * GZIP_CHUNK;
  FuzzWriteFile(kSource, in.ConsumeRemainingBytesAsString());
  const int rc = GzipDecompressFile(kSource, kDestination, limit);
  FUZZ_CHECK(!FuzzFileExists(kSource));
  FUZZ_CHECK(FuzzFileExists(kDestination) == (rc == STATUS_OK));
  if (rc == STATUS_OK) FUZZ_CHECK(FileSize(kDestination) <= limit);
  remove(kDestination);
  return 0;
}
