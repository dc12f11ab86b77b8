// Gateway HTTP client over WinINet: one GET with "HTTP/1.0" and the form header, the body read in
// 81,960-byte chunks into the compressed file, then unpacked. The table download goes through URL
// Monikers. Server certificates are checked (revocation aside); see http_client.h.
#include <windows.h>
#include <wininet.h>
#include <urlmon.h>

#include <stdlib.h>
#include <string.h>

#include "modules/http_client.h"
#include "modules/http_url.h"
#include "support/crt.h"
#include "support/status.h"

namespace {

// No cache write, keep the connection, no proxy cache answer.
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_PRAGMA_NOCACHE;  // 0x04400100
// TLS, still following a redirect to https. The certificate errors are not ignored.
constexpr DWORD kTlsFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
// The one certificate check left out: revocation servers may be out of reach.
constexpr DWORD kTlsSecurityFlags = SECURITY_FLAG_IGNORE_REVOCATION;

void AgentText(char* out, int capacity) {
  char program[MAX_PATH] = {0};
  const DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  Http_AgentFromProgramPath(n > 0 && n < sizeof program ? program : "", out, capacity);
}

struct Handles {
  HINTERNET internet = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;

  ~Handles() {  // request, then connection, then the Internet handle
    if (request != nullptr) InternetCloseHandle(request);
    if (connection != nullptr) InternetCloseHandle(connection);
    if (internet != nullptr) InternetCloseHandle(internet);
  }
};

int LastError() { return static_cast<int>(GetLastError()); }

// Opens, configures and sends the request; 0 or the last-error code.
int SendRequest(const UrlParts& parts, Handles* h) {
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
  if (tls) {
    DWORD security = kTlsSecurityFlags;
    if (!InternetSetOptionA(h->request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security)) return LastError();
  }
  if (!HttpSendRequestA(h->request, HTTP_REQUEST_HEADER, HTTP_REQUEST_HEADER_LENGTH, nullptr, 0)) return LastError();
  return STATUS_OK;
}

// The status line's code, or the last-error code when it cannot be read.
int ReadStatus(HINTERNET request, int* status) {
  char text[1024] = {0};
  DWORD length = sizeof text;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, text, &length, nullptr)) return LastError();
  *status = static_cast<int>(atol(text));
  return STATUS_OK;
}

// Content-Length as the server announced it, or -1.
int64_t AnnouncedLength(HINTERNET request) {
  DWORD value = 0;
  DWORD length = sizeof value;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &value, &length, nullptr)) return -1;
  return static_cast<int64_t>(value);
}

// A connection closed before any answer is read by Wine's WinINet as a status-200 reply without
// headers; the gateway always answers with a status line, so that is no answer at all.
bool HasStatusLine(HINTERNET request) {
  char head[64] = {0};
  DWORD length = sizeof head;
  if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, head, &length, nullptr)) return strncmp(head, "HTTP/", 5) == 0;
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;  // more headers than the probe holds
}

int ReadBody(HINTERNET request, const char* compressedPath, const char* installedPath) {
  HttpBody body;
  if (HttpBody_Create(&body, compressedPath) != STATUS_OK) return ERR_NO_FILE;
  const int64_t announced = AnnouncedLength(request);
  static_assert(HTTP_READ_CHUNK == 81960, "one read is 80 KiB plus 40 bytes");
  char chunk[HTTP_READ_CHUNK];
  for (;;) {
    memset(chunk, 0, sizeof chunk);
    DWORD got = 0;
    if (!InternetReadFile(request, chunk, sizeof chunk, &got)) {
      const int error = LastError();
      HttpBody_Abandon(&body);
      return error;
    }
    const int written = HttpBody_Append(&body, chunk, static_cast<int>(got));
    if (written != STATUS_OK) {
      HttpBody_Abandon(&body);
      return written;
    }
    SleepEx(1, FALSE);
    if (got == 0) return HttpBody_Finish(&body, announced, compressedPath, installedPath);
  }
}

}  // namespace

int HttpGetToFile(const char* url, const char* compressedPath, const char* installedPath) {
  UrlParts parts;
  if (!Url_Split(url, &parts)) return ERROR_INTERNET_INVALID_URL;
  Handles handles;
  int result = SendRequest(parts, &handles);
  int status = 0;
  if (result == STATUS_OK) result = ReadStatus(handles.request, &status);
  if (result == STATUS_OK && !HasStatusLine(handles.request)) result = ERROR_HTTP_INVALID_SERVER_RESPONSE;
  if (result == STATUS_OK && status != 200) result = status;
  if (result == STATUS_OK) result = ReadBody(handles.request, compressedPath, installedPath);
  return result;
}

void HttpDropCachedUrl(const char* url) {
  if (url != nullptr) DeleteUrlCacheEntryA(url);
}

namespace {

// Bind callback of the table download: it learns the HTTP status and stops the download of any answer
// but 200, which URL Monikers would otherwise store as if it were the table.
class StatusWatch : public IBindStatusCallback, public IHttpNegotiate {
 public:
  int status = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(riid, IID_IHttpNegotiate)) {
      *out = static_cast<IHttpNegotiate*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the caller's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* extra) override {
    *extra = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD code, LPCWSTR, LPCWSTR, LPWSTR* extra) override {
    if (extra != nullptr) *extra = nullptr;
    status = static_cast<int>(code);
    return code == 200 ? S_OK : E_ABORT;
  }
};

}  // namespace

int DownloadTableFile(const char* url, const char* path) {
  if (url == nullptr || path == nullptr) return ERR_NO_FILE;
  HttpDropCachedUrl(url);
  // An earlier table must not stand in for this one: URL Monikers can report success without
  // having written the file (its folder is gone, for one), so the file must exist afterwards.
  _unlink(path);
  StatusWatch watch;
  const HRESULT hr = URLDownloadToFileA(nullptr, url, path, 0, &watch);
  int result = static_cast<int>(hr);
  if (watch.status != 0 && watch.status != 200) result = watch.status;
  if (result == STATUS_OK && _access(path, 0) != 0) result = ERR_NO_FILE;
  if (result != STATUS_OK) _unlink(path);  // no earlier table stays to be taken for this one
  return result;
}
