#include "command/page_origin.h"

#include <string.h>

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Appends text[0..length) to out at *used, lower-cased when asked; false when it does not fit.
bool Append(char* out, int capacity, int* used, const char* text, int length, bool lower) {
  if (length < 0 || *used + length >= capacity) return false;
  for (int i = 0; i < length; ++i) out[(*used)++] = lower ? Lower(text[i]) : text[i];
  out[*used] = '\0';
  return true;
}

bool Origin(const char* url, int length, char* out, int capacity) {
  int at = 0;
  while (at < length && (IsAlpha(url[at]) || IsDigit(url[at]) || url[at] == '+' || url[at] == '-' || url[at] == '.')) ++at;
  const int schemeLength = at;
  if (schemeLength == 0 || length - at < 3 || memcmp(url + at, "://", 3) != 0) return false;
  char scheme[8] = {};
  if (schemeLength >= static_cast<int>(sizeof scheme)) return false;
  for (int i = 0; i < schemeLength; ++i) scheme[i] = Lower(url[i]);
  const bool https = strcmp(scheme, "https") == 0;
  if (!https && strcmp(scheme, "http") != 0) return false;

  // The authority ends at the path, query or fragment; user information ends at its last '@'.
  int begin = at + 3;
  int end = begin;
  while (end < length && url[end] != '/' && url[end] != '?' && url[end] != '#' && url[end] != '\\') ++end;
  for (int i = begin; i < end; ++i) {
    if (url[i] == '@') begin = i + 1;
  }
  int hostEnd = begin;
  if (hostEnd < end && url[hostEnd] == '[') {  // an IPv6 address keeps its brackets
    while (hostEnd < end && url[hostEnd] != ']') ++hostEnd;
    if (hostEnd == end) return false;
    ++hostEnd;
  } else {
    while (hostEnd < end && url[hostEnd] != ':') ++hostEnd;
  }
  if (hostEnd == begin) return false;
  for (int i = begin; i < hostEnd; ++i) {
    const unsigned char c = static_cast<unsigned char>(url[i]);
    if (c <= ' ' || c == 0x7F || c == '%' || c == ';') return false;
  }

  long port = https ? 443 : 80;
  if (hostEnd < end) {  // ':' and digits; an empty port is the default
    if (url[hostEnd] != ':') return false;
    if (end - hostEnd > 1) {
      port = 0;
      for (int i = hostEnd + 1; i < end; ++i) {
        if (!IsDigit(url[i])) return false;
        port = port * 10 + (url[i] - '0');
        if (port > 65535) return false;
      }
      if (port == 0) return false;
    }
  }

  int used = 0;
  out[0] = '\0';
  if (!Append(out, capacity, &used, scheme, schemeLength, false) || !Append(out, capacity, &used, "://", 3, false) ||
      !Append(out, capacity, &used, url + begin, hostEnd - begin, true)) {
    return false;
  }
  if (port != (https ? 443 : 80)) {
    char digits[8] = {};
    int n = 0;
    for (long p = port; p > 0; p /= 10) digits[n++] = static_cast<char>('0' + p % 10);
    char text[8] = {':'};
    for (int i = 0; i < n; ++i) text[1 + i] = digits[n - 1 - i];
    if (!Append(out, capacity, &used, text, n + 1, false)) return false;
  }
  return true;
}

}  // namespace

bool PageOrigin_FromUrl(const char* url, int length, char* out, int capacity) {
  if (out == nullptr || capacity < 1) return false;
  out[0] = '\0';
  if (url == nullptr || length <= 0) return false;
  if (Origin(url, length, out, capacity)) return true;
  out[0] = '\0';
  return false;
}

bool PageOrigin_Listed(const char* origin, const char* list) {
  if (origin == nullptr || origin[0] == '\0' || list == nullptr) return false;
  char entry[PAGE_ORIGIN_CAPACITY];
  for (const char* at = list; *at != '\0';) {
    const char* end = strchr(at, ';');
    const int length = end != nullptr ? static_cast<int>(end - at) : static_cast<int>(strlen(at));
    if (PageOrigin_FromUrl(at, length, entry, sizeof entry) && strcmp(entry, origin) == 0) return true;
    at += length;
    if (*at == ';') ++at;
  }
  return false;
}
