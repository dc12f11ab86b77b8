// Sample main payment module MVmainUI70: "LoadMainDLL" reads the payment fields from the store
// block and the module file table by their fixed layouts and answers like a main module does,
// with records in the result area. The order field "sample_busy_ms" keeps it busy that many
// milliseconds first, as a main module is while its window waits for the customer.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


#include "tools/sample_modules/payment_view.h"

namespace {

// Messages in the system code page (CP949).
const char kMsgApproved[] = "\xc1\xa4\xbb\xf3\x20\xbd\xc2\xc0\xce";                        // 정상 승인
const char kMsgNoPaymentData[] = "\xb0\xe1\xc1\xa6\x20\xc1\xa4\xba\xb8\x20\xbe\xf8\xc0\xbd";  // 결제 정보 없음
const char kMsgNoControl[] = "\xc1\xa6\xbe\xee\x20\xb8\xf0\xb5\xe2\x20\xbe\xf8\xc0\xbd";      // 제어 모듈 없음

int g_callCount = 0;  // starts at 0 on every load
const ModuleLoadTrace g_trace("VEXO_TRACE_MAIN_LOADS", "VEXO_TRACE_MAIN_UNLOADS");

bool SameNameNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

// Copies the value of key in section into out; false when absent, empty or too long for out.
bool ReadField(const ViewStoreBlock* block, const char* section, const char* key, char* out, size_t capacity) {
  out[0] = '\0';
  if (block->count < 0 || block->count > VIEW_SECTIONS) return false;
  const size_t keyLength = strlen(key);
  for (int i = 0; i < block->count; ++i) {
    const ViewSection& s = block->sections[i];
    if (s.name == nullptr || s.records == nullptr || !SameNameNoCase(s.name, section)) continue;
    for (const char* record = s.records; *record != '\0';) {
      const char* end = strchr(record, VIEW_RECORD_END);
      if (end == nullptr) end = record + strlen(record);
      if (strncmp(record, key, keyLength) == 0 && record[keyLength] == '=') {
        const char* value = record + keyLength + 1;
        const size_t length = static_cast<size_t>(end - value);
        if (length > capacity - 1) return false;
        memcpy(out, value, length);
        out[length] = '\0';
        return length > 0;
      }
      record = *end != '\0' ? end + 1 : end;
    }
  }
  return false;
}

// The result area, written from its start, record by record, never past its end.
struct ResultWriter {
  char* area;
  size_t used;

  void Add(const char* key, const char* value) {
    const int n = snprintf(area + used, VIEW_RESULT_CAPACITY - used, "%s=%s%c", key, value, VIEW_RECORD_END);
    if (n > 0 && used + static_cast<size_t>(n) < VIEW_RESULT_CAPACITY) {
      used += static_cast<size_t>(n);
    } else {
      area[used] = '\0';  // a record that does not fit is left out whole
    }
  }
  void AddNumber(const char* key, int value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    Add(key, text);
  }
};

// "name@version,..." of the listed files, and how many are listed.
int ListFiles(const ViewFileEntry* table, char* out, size_t capacity) {
  out[0] = '\0';
  if (table == nullptr) return 0;
  int listed = 0;
  size_t used = 0;
  for (int i = 0; i < VIEW_FILE_ENTRIES; ++i) {
    const ViewFileEntry& e = table[i];
    if (e.file_name[0] == '\0') continue;
    ++listed;
    const int n = snprintf(out + used, capacity - used, "%s%.127s@%.64s", used > 0 ? "," : "", e.file_name, e.version);
    if (n < 0 || used + static_cast<size_t>(n) >= capacity) break;
    used += static_cast<size_t>(n);
  }
  return listed;
}

}  // namespace

MODULE_EXPORT int MODULE_CALL LoadMainDLL(const char* moduleDir, const ViewFileEntry* fileTable, ViewStoreBlock* block) {
  if (block == nullptr) return 3;
  ResultWriter result = {block->result, 0};
  result.area[0] = '\0';
  const int calls = ++g_callCount;
  const int controlCalls = ControlModule_Attach();
  if (controlCalls < 0) {
    result.Add("res_cd", "E102");
    result.Add("res_msg", kMsgNoControl);
    return 2;
  }
  char amount[64];
  if (!ReadField(block, "Order", "amount", amount, sizeof amount)) {
    result.Add("res_cd", "E101");
    result.Add("res_msg", kMsgNoPaymentData);
    return 1;
  }
  char busy[16];
  if (ReadField(block, "Order", "sample_busy_ms", busy, sizeof busy)) {
    SampleModule_Sleep(static_cast<int>(strtol(busy, nullptr, 10)));
  }
  char orderId[128];
  ReadField(block, "Order", "order_id", orderId, sizeof orderId);
  char goods[2048];  // a script text at most
  const bool hasGoods = ReadField(block, "Order", "goods", goods, sizeof goods);
  char files[2048];
  const int listed = ListFiles(fileTable, files, sizeof files);
  result.Add("res_cd", "0000");
  result.Add("res_msg", kMsgApproved);
  result.Add("amount", amount);
  result.Add("order_id", orderId);
  if (hasGoods) result.Add("goods", goods);
  result.Add("module_dir", moduleDir != nullptr ? moduleDir : "");
  result.AddNumber("file_count", listed);
  result.Add("files", files);
  result.AddNumber("main_calls", calls);
  result.AddNumber("control_calls", controlCalls);
  return 0;
}
