// A small JSON reader and writer for the bridge's messages. The reader takes strict JSON in UTF-8
// (no comments, no trailing commas, valid UTF-8, paired surrogates) and refuses nesting deeper than
// JSON_MAX_DEPTH, so that any input ends in a value or a refusal, never in a crash.
#pragma once

#include <stddef.h>

#include <string>
#include <utility>
#include <vector>

const int JSON_MAX_DEPTH = 32;

struct JsonValue {
  enum Type { Null, Bool, Number, String, Array, Object };
  Type type = Null;
  bool boolean = false;
  double number = 0;
  std::string text;                                        // String, UTF-8
  std::vector<JsonValue> items;                            // Array
  std::vector<std::pair<std::string, JsonValue>> members;  // Object, in the order given

  // The first member of that name, or nullptr (also when this is not an object).
  const JsonValue* Member(const char* name) const;
  // A number without a fraction that fits a 32-bit signed integer.
  bool IsInt32() const;
};

// Parses the whole text as one JSON value (surrounding white space allowed). False on any fault.
bool Json_Parse(const char* text, size_t length, JsonValue* value);

// Appends text as a JSON string literal. Bytes that are not valid UTF-8 become U+FFFD, so the
// output is always valid JSON whatever the text holds.
void Json_AppendString(std::string* out, const std::string& text);
