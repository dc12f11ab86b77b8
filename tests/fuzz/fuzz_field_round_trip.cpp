// MV_setdata's store driven by random sequences of fields (separators, "=", blanks and double-byte
// text in keys and values): the records the main module reads back from each section with the
// lookup are exactly the accepted fields in order, and a refused field was refused for a reason
// it has, and changed nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "command/payment_field.h"
#include "support/crt.h"
#include "support/field_store.h"
#include "support/status.h"
#include "support/string_util.h"
#include "support/tokenizer.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using Records = std::vector<std::pair<std::string, std::string>>;

// Letter-case variants of a name share one section. Each Escrow name is spelled one way only: a
// section given as both Escrow and ESCROW mixes separators, which no one-separator lookup reads.
const char* const kSections[] = {"Order", "ORDER", "order", "Config", "Escrow", "EscrowInfo", "Escro",
                                 "\xC1\xD6\xB9\xAE"};
const char* const kPieces[] = {"\x1F", "\x1D", "=", " ", "\t", "\r\n", "\xB0\xE1", "\xC1\xA6", "amount", "1", "a=b"};
constexpr int kMaxCalls = 30;  // keeps every section text well inside the lookup's 8191 characters

std::string Text(FuzzedDataProvider& in) {
  std::string text;
  for (int n = in.ConsumeIntegralInRange<int>(0, 6); n > 0; --n) {
    if (in.ConsumeBool()) {
      text += kPieces[in.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)];
    } else {
      // Any single-byte character; double-byte ones come whole from the pieces, as from the page's
      // UTF-8 text (no code page has a trail byte that is white space, "=" or a separator).
      text += static_cast<char>(in.ConsumeIntegralInRange<int>(1, 0x7F));
    }
  }
  return text;
}

bool Has(const std::string& text, char c) { return text.find(c) != std::string::npos; }

// MV_setdata drops trailing white space; the lookup also skips it before keys and values.
std::string TrimRight(std::string text) {
  while (!text.empty() && String_IsSpace(text.back())) text.pop_back();
  return text;
}
std::string Trim(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && String_IsSpace(text[start])) ++start;
  return TrimRight(text.substr(start));
}

// Every record of a section text, walked as the lookup (FieldText_GetValue) walks them.
Records ReadBack(const char* text, char separator) {
  std::string work = text != nullptr ? text : "";
  Records records;
  Tokenizer tok;
  Tokenizer_Init(&tok, &work[0], 0);
  const char* key = nullptr;
  const char* value = nullptr;
  int valueLength = 0;
  while (FieldText_NextRecord(&tok, separator, &key, &value, &valueLength)) records.emplace_back(key, value);
  return records;
}

struct ModelSection {
  std::string name;  // as first given
  Records records;   // the accepted fields, as the lookup should read them
};

ModelSection* FindModel(std::vector<ModelSection>& model, const char* name) {
  for (ModelSection& section : model) {
    if (_stricmp(section.name.c_str(), name) == 0) return &section;
  }
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FieldStore store;
  FieldStore_Init(&store);
  std::vector<ModelSection> model;
  for (int call = 0; call < kMaxCalls && in.remaining_bytes() > 0; ++call) {
    const char* section = kSections[in.ConsumeIntegralInRange<size_t>(0, std::size(kSections) - 1)];
    const std::string key = Text(in);
    const std::string value = Text(in);
    const int countBefore = store.count;
    const int index = FieldStore_FindSection(section, &store);
    const std::string before = index >= 0 && store.sections[index].records ? store.sections[index].records : "";

    const int rc = PaymentField_Store(&store, section, key.c_str(), value.c_str());

    const std::string k = TrimRight(key);
    const std::string v = TrimRight(value);
    const char separator = PaymentField_Separator(section);
    const bool keyHasEquals = Has(k, '=');
    const bool keyHasSeparator = Has(k, FIELD_DELIMITER) || Has(k, ESCROW_FIELD_DELIMITER);
    const bool valueHasSeparator = Has(v, separator);
    if (rc > 0) {
      FUZZ_CHECK((rc == FIELD_KEY_HAS_EQUALS && keyHasEquals) || (rc == FIELD_KEY_HAS_SEPARATOR && keyHasSeparator) ||
                 (rc == FIELD_VALUE_HAS_SEPARATOR && valueHasSeparator));
      FUZZ_CHECK(store.count == countBefore);
      const std::string after = index >= 0 && store.sections[index].records ? store.sections[index].records : "";
      FUZZ_CHECK(after == before);
      continue;
    }
    FUZZ_CHECK(!keyHasEquals && !keyHasSeparator && !valueHasSeparator);
    ModelSection* target = FindModel(model, section);
    if (target == nullptr) {
      model.push_back({section, {}});
      target = &model.back();
    }
    if (rc != STATUS_OK) {
      FUZZ_CHECK(v.empty());  // an empty value stores no record; the section is added
      continue;
    }
    if (!Trim(k).empty()) target->records.emplace_back(Trim(k), Trim(v));
  }

  FUZZ_CHECK(store.count == static_cast<int>(model.size()));
  for (int i = 0; i < store.count; ++i) {
    const FieldSection& section = store.sections[i];
    const ModelSection* expected = FindModel(model, section.name);
    FUZZ_CHECK(expected != nullptr && expected->name == section.name);
    const char separator = PaymentField_Separator(section.name);
    FUZZ_CHECK(ReadBack(section.records, separator) == expected->records);
    // The lookup itself finds each key's first record.
    for (const auto& record : expected->records) {
      char out[PAYMENT_VALUE_CAPACITY];
      FUZZ_CHECK(FieldText_GetValue(section.records, record.first.c_str(), separator, out, sizeof out) == STATUS_OK);
      std::string first;
      for (const auto& r : expected->records) {
        if (r.first == record.first) {
          first = r.second;
          break;
        }
      }
      FUZZ_CHECK(first == out);
    }
  }
  FieldStore_Free(&store);
  return 0;
}
