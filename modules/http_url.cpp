#include "modules/http_url.h"

#include <stdio.h>
#include <string.h>


namespace {

struct Scheme {
  const char* prefix;  // with "://"
  int service;
  unsigned short port;
};
constexpr Scheme kSchemes[] = {
    {"http://", URL_SERVICE_HTTP, URL_PORT_HTTP},
    {"https://", URL_SERVICE_HTTPS, URL_PORT_HTTPS},
};

bool HasPrefixNoCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *prefix) return false;
  }
  return true;
}

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

// A byte the request line cannot carry as it is: controls, space, backslash, quote marks, angle
// brackets and every byte of a double-byte character.
bool NeedsEscape(unsigned char c) {
  return c <= 0x20 || c >= 0x7F || c == '\\' || c == '"' || c == '<' || c == '>';
}

bool SplitHostPort(const char* begin, const char* end, UrlParts* parts) {
  const char* colon = static_cast<const char*>(memchr(begin, ':', static_cast<size_t>(end - begin)));
  const char* hostEnd = colon != nullptr ? colon : end;
  const int hostLength = static_cast<int>(hostEnd - begin);
  if (hostLength == 0 || hostLength >= URL_HOST_CAPACITY) return false;
  for (const char* p = begin; p < hostEnd; ++p) {
    if (!IsHostChar(*p)) return false;
  }
  memcpy(parts->host, begin, static_cast<size_t>(hostLength));
  parts->host[hostLength] = '\0';
  if (colon == nullptr || colon + 1 == end) return true;  // the scheme's default port
  long port = 0;
  for (const char* p = colon + 1; p < end; ++p) {
    if (*p < '0' || *p > '9') return false;
    port = port * 10 + (*p - '0');
    if (port > 65535) return false;
  }
  if (port == 0) return false;
  parts->port = static_cast<unsigned short>(port);
  return true;
}

bool CopyObject(const char* begin, UrlParts* parts) {
  static const char kHex[] = "0123456789ABCDEF";
  int length = 0;
  if (*begin != '/') parts->object[length++] = '/';  // "http://host?x" asks for "/?x"
  for (const char* p = begin; *p != '\0' && *p != '#'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    const int need = NeedsEscape(c) ? 3 : 1;
    if (length + need >= URL_OBJECT_CAPACITY) return false;
    if (need == 1) {
      parts->object[length++] = static_cast<char>(c);
    } else {
      parts->object[length++] = '%';
      parts->object[length++] = kHex[c >> 4];
      parts->object[length++] = kHex[c & 0x0F];
    }
  }
  parts->object[length] = '\0';
  return true;
}

}  // namespace

bool Url_Split(const char* url, UrlParts* parts) {
  memset(parts, 0, sizeof *parts);
  if (url == nullptr) return false;
  const Scheme* scheme = nullptr;
  for (const Scheme& s : kSchemes) {
    if (HasPrefixNoCase(url, s.prefix)) scheme = &s;
  }
  if (scheme == nullptr) return false;
  parts->service = scheme->service;
  parts->port = scheme->port;
  const char* authority = url + strlen(scheme->prefix);
  const char* end = authority + strcspn(authority, "/?#");
  const bool ok = SplitHostPort(authority, end, parts) && CopyObject(end, parts);
  if (!ok) memset(parts, 0, sizeof *parts);
  return ok;
}

bool Url_UsesTls(const UrlParts* parts) {
  return parts->service == URL_SERVICE_HTTPS || parts->port == URL_PORT_HTTPS;
}

bool Url_Compose(const UrlParts* parts, char* out, int capacity) {
  const int n = snprintf(out, static_cast<size_t>(capacity), "%s://%s:%u%s",
                         Url_UsesTls(parts) ? "https" : "http", parts->host,
                         static_cast<unsigned>(parts->port), parts->object);
  return n > 0 && n < capacity;
}
