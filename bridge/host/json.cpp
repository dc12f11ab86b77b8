#include "bridge/host/json.h"

#include <math.h>
#include <string.h>

namespace {

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(const unsigned char* p, size_t left) {
  const unsigned char c = p[0];
  if (c < 0x80) return 1;
  size_t n;
  unsigned int min, code;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80, code = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800, code = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, code = c & 0x07;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

void AppendUtf8(std::string* out, unsigned int code) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class Parser {
 public:
  Parser(const char* text, size_t length)
      : p_(reinterpret_cast<const unsigned char*>(text)), end_(p_ + length) {}

  bool ParseDocument(JsonValue* value) {
    SkipSpace();
    if (!ParseValue(value, 0)) return false;
    SkipSpace();
    return p_ == end_;
  }

 private:
  void SkipSpace() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
  }
  bool Take(char c) {
    if (p_ < end_ && *p_ == static_cast<unsigned char>(c)) {
      ++p_;
      return true;
    }
    return false;
  }
  bool TakeWord(const char* word) {
    const size_t n = strlen(word);
    if (static_cast<size_t>(end_ - p_) < n || memcmp(p_, word, n) != 0) return false;
    p_ += n;
    return true;
  }

  bool ParseValue(JsonValue* value, int depth) {
    if (p_ == end_) return false;
    switch (*p_) {
      case '{': return ParseObject(value, depth + 1);
      case '[': return ParseArray(value, depth + 1);
      case '"': value->type = JsonValue::String; return ParseString(&value->text);
      case 't': value->type = JsonValue::Bool; value->boolean = true; return TakeWord("true");
      case 'f': value->type = JsonValue::Bool; value->boolean = false; return TakeWord("false");
      case 'n': value->type = JsonValue::Null; return TakeWord("null");
      default: value->type = JsonValue::Number; return ParseNumber(&value->number);
    }
  }

  bool ParseObject(JsonValue* value, int depth) {
    if (depth > JSON_MAX_DEPTH) return false;
    value->type = JsonValue::Object;
    ++p_;  // '{'
    SkipSpace();
    if (Take('}')) return true;
    for (;;) {
      SkipSpace();
      std::string name;
      if (p_ == end_ || *p_ != '"' || !ParseString(&name)) return false;
      SkipSpace();
      if (!Take(':')) return false;
      SkipSpace();
      value->members.emplace_back(std::move(name), JsonValue());
      if (!ParseValue(&value->members.back().second, depth)) return false;
      SkipSpace();
      if (Take('}')) return true;
      if (!Take(',')) return false;
    }
  }

  bool ParseArray(JsonValue* value, int depth) {
    if (depth > JSON_MAX_DEPTH) return false;
    value->type = JsonValue::Array;
    ++p_;  // '['
    SkipSpace();
    if (Take(']')) return true;
    for (;;) {
      SkipSpace();
      value->items.emplace_back();
      if (!ParseValue(&value->items.back(), depth)) return false;
      SkipSpace();
      if (Take(']')) return true;
      if (!Take(',')) return false;
    }
  }

  bool ParseHex4(unsigned int* code) {
    if (end_ - p_ < 4) return false;
    *code = 0;
    for (int i = 0; i < 4; ++i) {
      const unsigned char c = *p_++;
      unsigned int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return false;
      }
      *code = (*code << 4) | digit;
    }
    return true;
  }

  // \uXXXX, with a high surrogate followed by its low surrogate.
  bool ParseUnicodeEscape(std::string* out) {
    unsigned int code;
    if (!ParseHex4(&code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return false;
    if (code >= 0xD800 && code <= 0xDBFF) {
      unsigned int low;
      if (!TakeWord("\\u") || !ParseHex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
    return true;
  }

  bool ParseString(std::string* out) {
    ++p_;  // '"'
    while (p_ < end_) {
      const unsigned char c = *p_;
      if (c == '"') {
        ++p_;
        return true;
      }
      if (c < 0x20) return false;
      if (c != '\\') {
        const size_t n = Utf8SequenceLength(p_, static_cast<size_t>(end_ - p_));
        if (n == 0) return false;
        out->append(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        continue;
      }
      if (++p_ == end_) return false;
      const unsigned char e = *p_++;
      switch (e) {
        case '"': *out += '"'; break;
        case '\\': *out += '\\'; break;
        case '/': *out += '/'; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u':
          if (!ParseUnicodeEscape(out)) return false;
          break;
        default: return false;
      }
    }
    return false;
  }

  // The JSON number grammar, read without the C library so that no locale changes the decimal point.
  bool ParseNumber(double* number) {
    const bool negative = Take('-');
    if (p_ == end_ || *p_ < '0' || *p_ > '9') return false;
    double value = 0;
    if (!Take('0')) {
      while (p_ < end_ && *p_ >= '0' && *p_ <= '9') value = value * 10 + (*p_++ - '0');
    }
    int exponent = 0;
    if (Take('.')) {
      if (p_ == end_ || *p_ < '0' || *p_ > '9') return false;
      while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
        value = value * 10 + (*p_++ - '0');
        --exponent;
      }
    }
    if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
      ++p_;
      const bool negativeExponent = Take('-');
      if (!negativeExponent) Take('+');
      if (p_ == end_ || *p_ < '0' || *p_ > '9') return false;
      int e = 0;
      while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
        if (e < 100000) e = e * 10 + (*p_ - '0');
        ++p_;
      }
      exponent += negativeExponent ? -e : e;
    }
    if (exponent != 0) value *= pow(10.0, exponent);
    *number = negative ? -value : value;
    return true;
  }

  const unsigned char* p_;
  const unsigned char* end_;
};

}  // namespace

const JsonValue* JsonValue::Member(const char* name) const {
  for (const auto& member : members) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

bool JsonValue::IsInt32() const {
  return type == Number && number >= -2147483648.0 && number <= 2147483647.0 && floor(number) == number;
}

bool Json_Parse(const char* text, size_t length, JsonValue* value) {
  *value = JsonValue();
  return Parser(text, length).ParseDocument(value);
}

void Json_AppendString(std::string* out, const std::string& text) {
  static const char hex[] = "0123456789abcdef";
  *out += '"';
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += static_cast<char>(c);
      ++p;
    } else if (c < 0x20) {
      *out += "\\u00";
      *out += hex[c >> 4];
      *out += hex[c & 15];
      ++p;
    } else {
      const size_t n = Utf8SequenceLength(p, static_cast<size_t>(end - p));
      if (n == 0) {
        *out += "\xEF\xBF\xBD";  // U+FFFD
        ++p;
      } else {
        out->append(reinterpret_cast<const char*>(p), n);
        p += n;
      }
    }
  }
  *out += '"';
}
