// The string copies and cuts on any bytes: a copy reads nothing past its n-byte window (the source
// is an unterminated block of exactly the window's size), writes nothing past n + 1 bytes, and a
// double-byte-aware copy or cut never ends inside a pair; trimming, skipping and digit reading
// stay inside the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "support/string_util.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

void CheckCopy(int len, int n, const char* dest, int mode) {
  FUZZ_CHECK(len >= 0 && len <= (n > 0 ? n : 0));
  if (!(mode & COPY_NO_NUL)) FUZZ_CHECK(dest[len] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int which = in.ConsumeIntegralInRange<int>(0, 7);
  const int mode = in.ConsumeIntegralInRange<int>(0, 7);
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const int n = static_cast<int>(bytes.size());
  // The window is the whole block: the source has no terminator inside or after it.
  std::unique_ptr<char[]> source(new char[n > 0 ? n : 1]);
  memcpy(source.get(), bytes.data(), bytes.size());
  std::unique_ptr<char[]> dest(new char[n + 1]);
  std::string text = bytes;  // terminated, for the in-place functions
  char* t = &text[0];
  switch (which) {
    case 0: CheckCopy(String_Copy(dest.get(), source.get(), n, mode), n, dest.get(), mode); break;
    case 1: {
      const int len = String_CopyDbcs(dest.get(), source.get(), n, mode);
      CheckCopy(len, n, dest.get(), mode);
      FUZZ_CHECK(!FuzzEndsInsidePair(dest.get(), len, String_IsLeadByte));
      break;
    }
    case 2: CheckCopy(String_CopyPrintable(dest.get(), source.get(), n, mode), n, dest.get(), mode); break;
    case 3: {
      const int limit = static_cast<int>(strlen(t));
      const int len = String_CutDbcs(t, limit, mode);
      FUZZ_CHECK(len >= 0 && len <= limit && t[len] == '\0');
      FUZZ_CHECK(!FuzzEndsInsidePair(t, len, String_IsLeadByte));
      break;
    }
    case 4: {
      const char* rest = String_SkipSpace(mode & 1 ? dest.get() : nullptr, t);
      FUZZ_CHECK(rest >= t && rest <= t + strlen(t));
      break;
    }
    case 5: FUZZ_CHECK(String_TrimRight(t) == static_cast<int>(strlen(t))); break;
    case 7: {
      // A terminated source, cut at its length or a little before.
      const int limit = n - (which + mode) % 3;
      const int len = String_CopyCut(dest.get(), t, limit, mode);
      CheckCopy(len, limit, dest.get(), mode);
      if (mode & COPY_NO_NUL) break;
      const int textLen = static_cast<int>(strlen(t));
      if (textLen <= limit && !(mode & COPY_TRIM)) FUZZ_CHECK(strcmp(dest.get(), t) == 0);  // fits: as it is
      if (!FuzzEndsInsidePair(t, textLen, String_IsLeadByte)) FUZZ_CHECK(!FuzzEndsInsidePair(dest.get(), len, String_IsLeadByte));
      break;
    }
    case 6: {
      int32_t value = 0;
      FUZZ_CHECK(String_ParseDigits(t, &value) <= static_cast<int>(strlen(t)));
      break;
    }
  }
  return 0;
}
