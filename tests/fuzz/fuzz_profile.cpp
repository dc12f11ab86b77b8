// The profile reader on any file: lookups stay within their buffers, and a section written after
// any content (once its last line is ended) is always found, so no byte can hide a later line.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "support/profile.h"
#include "support/status.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

const char kPath[] = "profile.tmp";

bool ContainsNoCase(std::string text, const char* word) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text.find(word) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(80);
  const std::string key = in.ConsumeRandomLengthString(80);
  const int capacity = in.ConsumeIntegralInRange<int>(1, 400);
  const std::string content = in.ConsumeRemainingBytesAsString();

  FuzzWriteFile(kPath, content);
  std::unique_ptr<char[]> out(new char[capacity]);
  Profile_GetString(section.c_str(), key.c_str(), "default", out.get(), capacity, kPath);
  FUZZ_CHECK(memchr(out.get(), '\0', capacity) != nullptr);
  int32_t value = 0;
  Profile_GetInt(section.c_str(), key.c_str(), -1, &value, kPath);

  if (!ContainsNoCase(content, "zqprobe")) {
    FuzzWriteFile(kPath, content + "\n[ZqProbe]\nzqprobe=found\n");
    char found[16];
    FUZZ_CHECK(Profile_GetString("ZqProbe", "zqprobe", "lost", found, sizeof found, kPath) == STATUS_OK);
    FUZZ_CHECK(strcmp(found, "found") == 0);
  }
  return 0;
}
