// The field store and field text driven by any sequence of page calls, with allocations that fail
// at any point: lookups stay within their buffers, a failed call leaves the store usable, and
// everything is released at the end (LeakSanitizer).
#include <fuzzer/FuzzedDataProvider.h>

#include <stdlib.h>

#include <memory>

#include "support/field_store.h"
#include "support/status.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

FuzzedDataProvider* g_in = nullptr;

// Fails one allocation in sixteen, as the input decides.
bool AllocationFails() { return g_in != nullptr && g_in->ConsumeIntegral<uint8_t>() % 16 == 15; }
void* FlakyAlloc(size_t n) { return AllocationFails() ? nullptr : malloc(n); }
void* FlakyRealloc(void* p, size_t n) { return AllocationFails() ? nullptr : realloc(p, n); }

char Separator(FuzzedDataProvider& in) {
  const char kSeparators[] = {FIELD_DELIMITER, ESCROW_FIELD_DELIMITER, ';', '&'};
  return kSeparators[in.ConsumeIntegralInRange<int>(0, 3)];
}

void CheckLookup(int rc, const char* out, int capacity) {
  FUZZ_CHECK(rc == STATUS_OK || rc == STATUS_NOT_FOUND || rc == ERR_TOO_SMALL);
  if (rc == STATUS_OK) FUZZ_CHECK(memchr(out, '\0', static_cast<size_t>(capacity)) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  g_in = &in;
  g_fieldStoreHeap = {FlakyAlloc, FlakyRealloc};
  FieldStore store;
  FieldStore_Init(&store);
  while (in.remaining_bytes() > 0) {
    const std::string a = in.ConsumeRandomLengthString(300);
    const std::string b = in.ConsumeRandomLengthString(9000);
    const int index = in.ConsumeIntegralInRange<int>(-2, FIELD_STORE_MAX_SECTIONS + 1);
    const int capacity = in.ConsumeIntegralInRange<int>(1, 9000);
    std::unique_ptr<char[]> out(new char[capacity]);
    switch (in.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: FieldStore_AddSection(a.c_str(), &store); break;
      case 1: FieldStore_AddField(index, a.c_str(), b.c_str(), Separator(in), &store); break;
      case 2: FieldStore_AppendText(index, b.c_str(), &store); break;
      case 3: FieldStore_AddSectionAsField(index, in.ConsumeIntegralInRange<int>(-1, 20), Separator(in), &store); break;
      case 4: CheckLookup(FieldStore_GetSectionText(&store, a.c_str(), out.get(), capacity), out.get(), capacity); break;
      case 5: CheckLookup(FieldStore_GetField(&store, Separator(in), a.c_str(), b.c_str(), out.get(), capacity), out.get(), capacity); break;
      case 6: CheckLookup(FieldText_GetValue(b.c_str(), a.c_str(), Separator(in), out.get(), capacity), out.get(), capacity); break;
    }
    FUZZ_CHECK(store.count >= 0 && store.count <= FIELD_STORE_MAX_SECTIONS);
  }
  FieldStore_Free(&store);
  g_fieldStoreHeap = {malloc, realloc};
  g_in = nullptr;
  return 0;
}
