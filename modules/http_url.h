// The URL split used by the gateway HTTP client: scheme, host, port (the scheme's default where
// none is written) and object (path and query, as sent in the request line).
#pragma once

constexpr int URL_HOST_CAPACITY = 256;
constexpr int URL_OBJECT_CAPACITY = 2048;
constexpr unsigned short URL_PORT_HTTP = 80;
constexpr unsigned short URL_PORT_HTTPS = 443;

enum UrlService : int { URL_SERVICE_HTTP = 1, URL_SERVICE_HTTPS = 2 };

struct UrlParts {
  int service;                       // URL_SERVICE_HTTP or URL_SERVICE_HTTPS
  char host[URL_HOST_CAPACITY];      // name or dotted address, no user, no brackets
  unsigned short port;               // as written, else 80 or 443
  char object[URL_OBJECT_CAPACITY];  // "/" at least; fragment dropped; unsafe bytes %-escaped
};

// Splits an absolute "http://" or "https://" URL (scheme in any letter case). False, with parts
// cleared, for another scheme, a user part, an empty or odd host, a bad port or an over-long text.
bool Url_Split(const char* url, UrlParts* parts);

// A fetch runs over TLS for the https scheme on any port, and for http on port 443.
bool Url_UsesTls(const UrlParts* parts);

// Writes "http://host:port/object" or "https://..." as the fetch will really run (see Url_UsesTls).
// False when it does not fit.
bool Url_Compose(const UrlParts* parts, char* out, int capacity);
