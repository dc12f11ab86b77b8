// Gateway HTTP client over WinINet: one GET with "HTTP/1.0" and the form header, the body read in
// chunks of up to 81,960 bytes into the body file. The version table comes the same way (not through
// URL Monikers, whose download has no time limit a caller could set: a bind callback hears nothing
// from a gateway that accepts and never answers, so it cannot stop that download). Server
// certificates are checked (revocation aside); see http_client.h.
#include <windows.h>
#include <wininet.h>

#include <stdlib.h>
#include <string.h>

#include "modules/http_client.h"
#include "modules/http_url.h"
#include "support/crt.h"
#include "support/status.h"

namespace {

// No cache write, keep the connection, no proxy cache answer; redirects are followed here, where
// a TLS request can refuse one to plain http (WinINet itself would follow it).
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT;
// TLS. The certificate errors are not ignored.
constexpr DWORD kTlsFlags = INTERNET_FLAG_SECURE;
// The one certificate check left out: revocation servers may be out of reach.
constexpr DWORD kTlsSecurityFlags = SECURITY_FLAG_IGNORE_REVOCATION;
constexpr int kMaxRedirects = 10;
constexpr int kUrlCapacity = URL_HOST_CAPACITY + URL_OBJECT_CAPACITY + 16;

void AgentText(char* out, int capacity) {
  char program[MAX_PATH] = {0};
  const DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  Http_AgentFromProgramPath(n > 0 && n < sizeof program ? program : "", out, capacity);
}

// Milliseconds of the system's tick count (GetTickCount64 is missing before Vista; a wrap of the
// 32-bit count only restarts a progress window).
int64_t Now() { return static_cast<int64_t>(GetTickCount()); }

struct Handles {
  HINTERNET internet = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;

  void Close() {  // request, then connection, then the Internet handle
    if (request != nullptr) InternetCloseHandle(request);
    if (connection != nullptr) InternetCloseHandle(connection);
    if (internet != nullptr) InternetCloseHandle(internet);
    request = connection = internet = nullptr;
  }
  ~Handles() { Close(); }
};

// The last error; a time-out of WinINet is the stall of the limits.
int LastError() {
  const DWORD error = GetLastError();
  return error == ERROR_INTERNET_TIMEOUT ? ERR_HTTP_STALLED : static_cast<int>(error);
}

// The connect limit, and the progress window as the longest wait for one send or receive (the
// request handle carries them into the connection it opens).
bool SetTimeLimits(HINTERNET handle, const HttpLimits& limits) {
  DWORD connect = static_cast<DWORD>(limits.connectSeconds) * 1000;
  DWORD wait = static_cast<DWORD>(limits.progressSeconds) * 1000;
  return InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect) &&
         InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &wait, sizeof wait) &&
         InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
}

// Opens, configures and sends the request; 0 or the last-error code.
int SendRequest(const UrlParts& parts, const HttpLimits& limits, Handles* h) {
  char agent[MAX_PATH];
  AgentText(agent, sizeof agent);
  h->internet = InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (h->internet == nullptr) return LastError();
  h->connection = InternetConnectA(h->internet, parts.host, parts.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (h->connection == nullptr) return LastError();
  const bool tls = Url_UsesTls(&parts);
  const DWORD flags = kRequestFlags | (tls ? kTlsFlags : 0);
  const char* acceptTypes[] = {"*/*", nullptr};
  h->request = HttpOpenRequestA(h->connection, nullptr, parts.object, HTTP_VERSION_TEXT, nullptr, acceptTypes, flags, 0);
  if (h->request == nullptr) return LastError();
  if (!SetTimeLimits(h->request, limits)) return LastError();
  if (tls) {
    DWORD security = kTlsSecurityFlags;
    if (!InternetSetOptionA(h->request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security)) return LastError();
  }
  if (!HttpSendRequestA(h->request, HTTP_REQUEST_HEADER, HTTP_REQUEST_HEADER_LENGTH, nullptr, 0)) return LastError();
  return STATUS_OK;
}

// The status line's code: 0 with *status set, ERR_HTTP_BAD_STATUS when the code is not three digits
// from 100 to 599, or the last-error code when it cannot be read.
int ReadStatus(HINTERNET request, int* status) {
  char text[1024] = {0};
  DWORD length = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, text, &length, nullptr)) return LastError();
  const bool digits = strlen(text) == 3 && strspn(text, "0123456789") == 3;
  *status = digits ? atoi(text) : 0;
  if (!digits || !Http_IsStatusNumber(*status)) return ERR_HTTP_BAD_STATUS;
  return STATUS_OK;
}

// Content-Length as the server announced it, or -1.
int64_t AnnouncedLength(HINTERNET request) {
  char text[32] = {0};
  DWORD length = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr)) return -1;
  return _strtoi64(text, nullptr, 10);
}

// A connection closed before any answer is read by Wine's WinINet as a status-200 reply without
// headers; the gateway always answers with a status line, so that is no answer at all.
bool HasStatusLine(HINTERNET request) {
  char head[64] = {0};
  DWORD length = sizeof head;
  if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, head, &length, nullptr)) return strncmp(head, "HTTP/", 5) == 0;
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;  // more headers than the probe holds
}

bool IsRedirect(int status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

// The absolute URL a redirect answer points at, into next: 0 or a failure code. A TLS request may
// only go on to another TLS URL.
int RedirectTarget(HINTERNET request, const char* current, char* next, DWORD capacity) {
  char location[kUrlCapacity] = {0};
  DWORD length = sizeof location - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &length, nullptr)) return LastError();
  DWORD size = capacity;
  if (!InternetCombineUrlA(current, location, next, &size, 0)) return LastError();
  UrlParts from, to;
  if (!Url_Split(current, &from) || !Url_Split(next, &to)) return ERROR_INTERNET_INVALID_URL;
  if (Url_UsesTls(&from) && !Url_UsesTls(&to)) return ERR_HTTP_REDIRECT_REFUSED;
  return STATUS_OK;
}

// Sends the request for url and follows redirects: 0 with the handles of the final answer and its
// status, or a failure code.
int OpenAnswer(const char* url, const HttpLimits& limits, Handles* h, int* status) {
  char current[kUrlCapacity] = {0};
  char next[kUrlCapacity] = {0};
  if (url == nullptr || strlen(url) >= sizeof current) return ERROR_INTERNET_INVALID_URL;
  strcpy(current, url);
  for (int hop = 0;; ++hop) {
    UrlParts parts;
    if (!Url_Split(current, &parts)) return ERROR_INTERNET_INVALID_URL;
    h->Close();
    int result = SendRequest(parts, limits, h);
    if (result == STATUS_OK && !HasStatusLine(h->request)) result = ERROR_HTTP_INVALID_SERVER_RESPONSE;
    if (result == STATUS_OK) result = ReadStatus(h->request, status);
    if (result != STATUS_OK || !IsRedirect(*status)) return result;
    if (hop == kMaxRedirects) return ERROR_HTTP_REDIRECT_FAILED;
    result = RedirectTarget(h->request, current, next, sizeof next);
    if (result != STATUS_OK) return result;
    strcpy(current, next);
  }
}

// Fills chunk with what arrives, up to its size, asking only for bytes already there so that the
// progress meter sees every piece: 0, or a failure code. *ended: the body is complete.
int ReadChunk(HINTERNET request, char* chunk, DWORD* got, bool* ended, HttpProgress* progress) {
  *got = 0;
  *ended = false;
  while (*got < HTTP_READ_CHUNK) {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return LastError();
    DWORD n = 0;
    if (available > 0) {
      const DWORD want = available < HTTP_READ_CHUNK - *got ? available : HTTP_READ_CHUNK - *got;
      if (!InternetReadFile(request, chunk + *got, want, &n)) return LastError();
    }
    if (n == 0) {
      *ended = true;
      return STATUS_OK;
    }
    *got += n;
    if (!HttpProgress_Add(progress, n, Now())) return ERR_HTTP_STALLED;
  }
  return STATUS_OK;
}

int ReadBody(HINTERNET request, const char* bodyPath, const HttpLimits& limits) {
  const int64_t announced = AnnouncedLength(request);
  if (announced > limits.maxBodyBytes) return ERR_HTTP_BODY_TOO_BIG;
  HttpBody body;
  if (HttpBody_Create(&body, bodyPath) != STATUS_OK) return ERR_NO_FILE;
  HttpProgress progress;
  HttpProgress_Start(&progress, limits, Now());
  static_assert(HTTP_READ_CHUNK == 81960, "one read is 80 KiB plus 40 bytes");
  char chunk[HTTP_READ_CHUNK];
  for (;;) {
    memset(chunk, 0, sizeof chunk);
    DWORD got = 0;
    bool ended = false;
    int result = ReadChunk(request, chunk, &got, &ended, &progress);
    if (result == STATUS_OK && body.received + got > limits.maxBodyBytes) result = ERR_HTTP_BODY_TOO_BIG;
    if (result == STATUS_OK) result = HttpBody_Append(&body, chunk, static_cast<int>(got));
    if (result != STATUS_OK) {
      HttpBody_Abandon(&body);
      return result;
    }
    SleepEx(1, FALSE);
    if (ended) return HttpBody_Finish(&body, announced);
  }
}

}  // namespace

int HttpFetchBody(const char* url, const char* bodyPath, const HttpLimits& limits) {
  if (bodyPath == nullptr) return ERR_NO_FILE;
  Handles handles;
  int status = 0;
  int result = OpenAnswer(url, limits, &handles, &status);
  if (result == STATUS_OK && status != 200) result = status;
  if (result == STATUS_OK) result = ReadBody(handles.request, bodyPath, limits);
  if (result != STATUS_OK) _unlink(bodyPath);
  return result;
}

void HttpDropCachedUrl(const char* url) {
  if (url != nullptr) DeleteUrlCacheEntryA(url);
}
