// The readers of signed release files from the gateway (table, key list, root record) on any bytes:
// signatures and values stay within their buffers, and nothing is accepted that no root signed.
#include <fuzzer/FuzzedDataProvider.h>

#include "modules/release_check.h"
#include "modules/release_key.h"
#include "modules/release_trust.h"
#include "tests/fuzz/fuzz_check.h"

const char RELEASE_PUBLIC_KEY_PEM[] = "";
const int RELEASE_ROOT_VERSION = 1;

namespace {

const char kFile[] = "signed.txt";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FuzzWriteFile(kFile, in.ConsumeRemainingBytesAsString());
  static SignedText text;
  if (SignedText_Read(kFile, &text) == 0) {
    FUZZ_CHECK(text.bodyLength > 0 && text.bodyLength <= SIGNED_FILE_MAX);
    FUZZ_CHECK(text.signatureCount >= 1 && text.signatureCount <= SIGNATURES_MAX);
    for (int i = 0; i < text.signatureCount; ++i) {
      FUZZ_CHECK(text.signatureLength[i] >= 1 && text.signatureLength[i] <= SIGNATURE_BYTES_MAX);
    }
    char value[64];
    if (SignedText_Value(text, RELEASE_SECTION, RELEASE_EXPIRES_KEY, value, sizeof value)) {
      FUZZ_CHECK(memchr(value, '\0', sizeof value) != nullptr);
      int64_t seconds = 0;
      if (Release_ParseTime(value, &seconds)) {
        char again[24];
        Release_FormatTime(seconds, again);
        FUZZ_CHECK(strcmp(again, value) == 0);
      }
    }
  }
  // No root key: no key list, root record or table may pass.
  ReleaseRoot root = {1, {}};
  static ReleaseKeyList list;
  FUZZ_CHECK(Trust_ReadKeyList(kFile, root, 0, &list) != 0);
  FUZZ_CHECK(Trust_FollowRoot(kFile, &root) != 0 && root.version == 1);
  Release_TableKeyList(kFile);
  Trust_KeyListVersion(kFile);
  return 0;
}
