// The field store: up to 20 named sections, each a text of key=value records that end in a
// separator byte. Its layout is read in place by the main payment module and must not change.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr int FIELD_STORE_MAX_SECTIONS = 20;
constexpr char FIELD_DELIMITER = 0x1F;         // ordinary record separator
constexpr char ESCROW_FIELD_DELIMITER = 0x1D;  // separator of records in "Escrow..." sections
constexpr int FIELD_RECORD_CAPACITY = 8192;    // a record is at most 8191 characters

struct FieldSection {
  char* name;     // section name as added (ANSI), heap block owned by the store
  char* records;  // record text, or null before the first record
};

struct FieldStore {
  int32_t count;  // sections in use, in slots 0..count-1
  FieldSection sections[FIELD_STORE_MAX_SECTIONS];
};

#if defined(_WIN32) && !defined(_WIN64)  // the 32-bit product (not the 64-bit check build)
// Interface to the main payment module: a 32-bit count followed by 20 pairs of 32-bit pointers.
static_assert(sizeof(void*) == 4, "the product is a 32-bit DLL");
static_assert(sizeof(FieldSection) == 8, "FieldSection is two 32-bit pointers");
static_assert(offsetof(FieldStore, sections) == 4, "sections follow the count directly");
static_assert(sizeof(FieldStore) == 164, "FieldStore is 164 bytes");
#endif

// Heap functions used for names and record texts (malloc and realloc of the C library). Tests
// swap them to make allocations fail.
struct FieldStoreHeap {
  void* (*allocFn)(size_t);
  void* (*reallocFn)(void*, size_t);
};
extern FieldStoreHeap g_fieldStoreHeap;

int FieldStore_Init(FieldStore* store);
int FieldStore_Free(FieldStore* store);
// Index of the first section named name (ASCII case ignored), or -1.
int FieldStore_FindSection(const char* name, const FieldStore* store);
// Index of the section named name, added when missing. -1 when all 20 slots are in use and
// ERR_NO_MEMORY when the name cannot be copied; the store is then unchanged.
int FieldStore_AddSection(const char* name, FieldStore* store);
// Appends key=value and the separator. -1 for an empty value or an index that names no section;
// ERR_TOO_SMALL for a record over 8191 characters; ERR_NO_MEMORY when the text cannot grow.
// On any failure the section is unchanged.
int FieldStore_AddField(int index, const char* key, const char* value, char separator, FieldStore* store);
int FieldStore_AppendText(int index, const char* text, FieldStore* store);
int FieldStore_AddSectionAsField(int target, int source, char separator, FieldStore* store);
// Record text of the first section whose name begins with name (case kept), cut to capacity - 1.
int FieldStore_GetSectionText(const FieldStore* store, const char* name, char* out, int capacity);
// The next record of a section text as the lookup reads them, walked by tok over a writable copy of
// the text: a key up to "=", a value up to separator, white space around both skipped, records
// with an empty key or value passed over. False at the end of the text.
struct Tokenizer;
bool FieldText_NextRecord(Tokenizer* tok, char separator, const char** key, const char** value, int* valueLength);
// Value of the first record of key in text: 0, -1 when absent, ERR_TOO_SMALL when it does not fit.
int FieldText_GetValue(const char* text, const char* key, char separator, char* out, int capacity);
// Why a field cannot become a record that reads back as given. The lookup takes a key up to the
// first "=" and a value up to the separator, so a key with "=" or either separator, or a value with
// the separator of its record, would make records of its own. A value may hold the other separator
// (the nested form of a record).
enum FieldRefusal : int {
  FIELD_ACCEPTED = 0,
  FIELD_KEY_HAS_EQUALS = 1,
  FIELD_KEY_HAS_SEPARATOR = 2,
  FIELD_VALUE_HAS_SEPARATOR = 3,
};
// The first reason that refuses key and value in a record ending with separator, or FIELD_ACCEPTED.
FieldRefusal FieldText_CheckField(const char* key, const char* value, char separator);
// Section text by name prefix, then the key's value: 0, or -1 for any failure.
int FieldStore_GetField(const FieldStore* store, char separator, const char* section, const char* key,
                        char* out, int capacity);
