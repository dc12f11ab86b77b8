// The tokenizer on any text with any delimiters and options: every token lies inside the text it
// walks, its length is its terminated length, and the walk ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "support/tokenizer.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string delimiters = in.ConsumeRandomLengthString(8);
  const bool privateCopy = in.ConsumeBool();
  const int options = in.ConsumeIntegral<uint8_t>() % 8 * 0x100;  // the three token options
  const bool any = in.ConsumeBool();
  const std::string textBytes = in.ConsumeRemainingBytesAsString();
  std::vector<char> text(textBytes.c_str(), textBytes.c_str() + textBytes.size() + 1);

  Tokenizer tok;
  FUZZ_CHECK(Tokenizer_Init(&tok, text.data(), privateCopy ? TOKENIZER_PRIVATE_COPY : 0) == 0);
  const char* begin = privateCopy ? tok.ownedText : text.data();
  const char* end = begin + strlen(begin);
  for (size_t steps = 0; !tok.exhausted; ++steps) {
    FUZZ_CHECK(steps <= text.size() + 1);
    int len = -1;
    const char* token = any ? Tokenizer_NextAny(&tok, delimiters.c_str(), &len, options)
                            : Tokenizer_Next(&tok, delimiters.empty() ? ';' : delimiters[0], &len, options);
    FUZZ_CHECK(token >= begin && token <= end);
    FUZZ_CHECK(len >= 0 && token + len <= end && static_cast<size_t>(len) == strlen(token));
  }
  Tokenizer_Free(&tok);
  return 0;
}
