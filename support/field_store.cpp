#include "support/field_store.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "support/crt.h"
#include "support/status.h"
#include "support/string_util.h"
#include "support/tokenizer.h"

FieldStoreHeap g_fieldStoreHeap = {malloc, realloc};

namespace {

bool IsSection(int index, const FieldStore* store) {
  return index >= 0 && index < store->count && index < FIELD_STORE_MAX_SECTIONS &&
         store->sections[index].name != nullptr;
}

// Formats key=value and the separator into record. A record that does not fit is refused whole:
// a cut record would lose its separator and run into the next one.
int FormatRecord(char (&record)[FIELD_RECORD_CAPACITY], const char* key, const char* value,
                 char separator) {
  const int len = snprintf(record, sizeof record, "%s=%s%c", key, value, separator);
  if (len < 0 || len >= FIELD_RECORD_CAPACITY) return ERR_TOO_SMALL;
  return len;
}

// Appends len bytes to a section's record text, growing it to the exact size.
int AppendToSection(FieldSection* section, const char* text, size_t len) {
  const size_t old = section->records != nullptr ? strlen(section->records) : 0;
  char* grown = static_cast<char*>(g_fieldStoreHeap.reallocFn(section->records, old + len + 1));
  if (grown == nullptr) return ERR_NO_MEMORY;  // the old text stays valid
  memcpy(grown + old, text, len);
  grown[old + len] = '\0';
  section->records = grown;
  return STATUS_OK;
}

}  // namespace

int FieldStore_Init(FieldStore* store) {
  for (FieldSection& section : store->sections) section = FieldSection{nullptr, nullptr};
  store->count = 0;
  return STATUS_OK;
}

int FieldStore_Free(FieldStore* store) {
  for (FieldSection& section : store->sections) {
    free(section.name);
    free(section.records);
    section = FieldSection{nullptr, nullptr};
  }
  store->count = 0;
  return STATUS_OK;
}

int FieldStore_FindSection(const char* name, const FieldStore* store) {
  if (name == nullptr) return STATUS_NOT_FOUND;
  for (int i = 0; i < store->count && i < FIELD_STORE_MAX_SECTIONS; ++i) {
    const char* slotName = store->sections[i].name;
    if (slotName != nullptr && _stricmp(slotName, name) == 0) return i;
  }
  return STATUS_NOT_FOUND;
}

int FieldStore_AddSection(const char* name, FieldStore* store) {
  if (name == nullptr) return STATUS_NOT_FOUND;
  const int found = FieldStore_FindSection(name, store);
  if (found >= 0) return found;
  if (store->count < 0 || store->count >= FIELD_STORE_MAX_SECTIONS) return STATUS_NOT_FOUND;
  const size_t len = strlen(name);
  // The name block is four times what the name needs; the main payment module may rely on it.
  char* copy = static_cast<char*>(g_fieldStoreHeap.allocFn(4 * (len + 1)));
  if (copy == nullptr) return ERR_NO_MEMORY;
  memset(copy, 0, 4 * (len + 1));
  memcpy(copy, name, len);
  const int index = store->count;
  store->sections[index] = FieldSection{copy, nullptr};
  store->count = index + 1;
  return index;
}

int FieldStore_AddField(int index, const char* key, const char* value, char separator,
                        FieldStore* store) {
  if (value == nullptr || value[0] == '\0' || key == nullptr) return STATUS_NOT_FOUND;
  if (!IsSection(index, store)) return STATUS_NOT_FOUND;
  char record[FIELD_RECORD_CAPACITY];
  const int len = FormatRecord(record, key, value, separator);
  if (len < 0) return len;
  return AppendToSection(&store->sections[index], record, static_cast<size_t>(len));
}

int FieldStore_AppendText(int index, const char* text, FieldStore* store) {
  if (!IsSection(index, store) || store->sections[index].records == nullptr) return STATUS_NOT_FOUND;
  if (text == nullptr) return STATUS_NOT_FOUND;
  return AppendToSection(&store->sections[index], text, strlen(text));
}

int FieldStore_AddSectionAsField(int target, int source, char separator, FieldStore* store) {
  if (!IsSection(target, store) || !IsSection(source, store)) return STATUS_NOT_FOUND;
  const FieldSection& from = store->sections[source];
  char record[FIELD_RECORD_CAPACITY] = {};
  const int len = FormatRecord(record, from.name, from.records != nullptr ? from.records : "", separator);
  if (len < 0) return len;
  return AppendToSection(&store->sections[target], record, static_cast<size_t>(len));
}

int FieldStore_GetSectionText(const FieldStore* store, const char* name, char* out, int capacity) {
  if (out == nullptr || capacity < 1) return ERR_TOO_SMALL;
  if (name == nullptr) name = "";
  const size_t prefix = strlen(name);
  for (int i = 0; i < store->count && i < FIELD_STORE_MAX_SECTIONS; ++i) {
    const FieldSection& section = store->sections[i];
    if (section.name == nullptr || strncmp(section.name, name, prefix) != 0) continue;
    String_Copy(out, section.records, capacity - 1, 0);
    return STATUS_OK;
  }
  return STATUS_NOT_FOUND;
}

bool FieldText_NextRecord(Tokenizer* tok, char separator, const char** key, const char** value, int* valueLength) {
  const int options = TOKEN_SKIP_LEADING | TOKEN_TRIM_TRAILING | TOKEN_NO_COLLAPSE;
  while (!tok->exhausted) {
    int keyLen = 0;
    const char* k = Tokenizer_Next(tok, '=', &keyLen, options);
    const char* v = Tokenizer_Next(tok, separator, valueLength, options);
    if (keyLen == 0 || *valueLength == 0) continue;
    *key = k;
    *value = v;
    return true;
  }
  return false;
}

int FieldText_GetValue(const char* text, const char* key, char separator, char* out, int capacity) {
  if (key == nullptr) return STATUS_NOT_FOUND;
  char work[FIELD_RECORD_CAPACITY] = {};
  String_Copy(work, text, FIELD_RECORD_CAPACITY - 1, COPY_TRIM);
  Tokenizer tok;
  Tokenizer_Init(&tok, work, 0);
  const char* k = nullptr;
  const char* v = nullptr;
  int valueLen = 0;
  while (FieldText_NextRecord(&tok, separator, &k, &v, &valueLen)) {
    if (strcmp(k, key) != 0) continue;
    if (out == nullptr || valueLen >= capacity) return ERR_TOO_SMALL;
    memcpy(out, v, static_cast<size_t>(valueLen) + 1);
    return STATUS_OK;
  }
  return STATUS_NOT_FOUND;
}

FieldRefusal FieldText_CheckField(const char* key, const char* value, char separator) {
  if (key != nullptr && strchr(key, '=') != nullptr) return FIELD_KEY_HAS_EQUALS;
  const char separators[] = {FIELD_DELIMITER, ESCROW_FIELD_DELIMITER, '\0'};
  if (key != nullptr && strpbrk(key, separators) != nullptr) return FIELD_KEY_HAS_SEPARATOR;
  if (value != nullptr && separator != '\0' && strchr(value, separator) != nullptr) return FIELD_VALUE_HAS_SEPARATOR;
  return FIELD_ACCEPTED;
}

int FieldStore_GetField(const FieldStore* store, char separator, const char* section, const char* key,
                        char* out, int capacity) {
  char text[FIELD_RECORD_CAPACITY] = {};
  if (FieldStore_GetSectionText(store, section, text, sizeof text) != STATUS_OK) return STATUS_NOT_FOUND;
  if (FieldText_GetValue(text, key, separator, out, capacity) != STATUS_OK) return STATUS_NOT_FOUND;
  return STATUS_OK;
}
