// Gateway HTTP client over libcurl: the same request and the same result codes as the WinINet
// variant (one GET, HTTP/1.0, the one header text, nothing served from a cache, the same limits).
#include <curl/curl.h>
#include <limits.h>
#include <time.h>
#include <unistd.h>

#include "modules/http_client.h"
#include "modules/http_url.h"
#include "support/crt.h"
#include "support/status.h"

namespace {

constexpr long kMaxRedirects = 10;

struct Transfer {
  CURL* curl;
  const char* bodyPath;
  HttpBody body;
  HttpProgress progress;
  int64_t counted;  // bytes the progress meter has seen
  int64_t unpaused; // bytes stored since the last pause
  bool created;     // the body file exists (status 200 seen)
  int failure;      // set by a callback when it stops the transfer
};

void AgentText(char* out, int capacity) {
  char program[PATH_MAX] = {0};
  const ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
  Http_AgentFromProgramPath(n > 0 ? program : "", out, capacity);
}

void PauseBetweenChunks() {
  const timespec oneMillisecond = {0, 1000000};
  nanosleep(&oneMillisecond, nullptr);
}

int64_t NowMs() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Body callback: the body file is created once the status is known to be 200; the body of any
// other answer is not stored.
size_t OnBody(char* data, size_t size, size_t count, void* user) {
  Transfer* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (!t->created) {
    long status = 0;
    curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) return length;
    if (HttpBody_Create(&t->body, t->bodyPath) != STATUS_OK) {
      t->failure = ERR_NO_FILE;
      return 0;
    }
    t->created = true;
  }
  if (t->body.received + static_cast<int64_t>(length) > t->progress.limits.maxBodyBytes) {
    t->failure = ERR_HTTP_BODY_TOO_BIG;
    return 0;
  }
  const int written = HttpBody_Append(&t->body, data, static_cast<int>(length));
  if (written != STATUS_OK) {
    t->failure = written;
    return 0;
  }
  // One pause per chunk of HTTP_READ_CHUNK bytes, as the WinINet variant reads them.
  t->unpaused += static_cast<int64_t>(length);
  if (t->unpaused >= HTTP_READ_CHUNK) {
    t->unpaused = 0;
    PauseBetweenChunks();
  }
  return length;
}

// Progress callback, called about once a second even while nothing arrives: stops a transfer that
// brings too few bytes over a window (from the connect on, so an answer that never starts counts).
int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  Transfer* t = static_cast<Transfer*>(user);
  const int64_t added = static_cast<int64_t>(received) > t->counted ? static_cast<int64_t>(received) - t->counted : 0;
  t->counted += added;
  if (HttpProgress_Add(&t->progress, added, NowMs())) return 0;
  t->failure = ERR_HTTP_STALLED;
  return 1;
}

// Options of every fetch.
curl_slist* SetOptions(Transfer* t, const char* url, bool tls, const HttpLimits& limits) {
  char agent[256];
  AgentText(agent, sizeof agent);
  CURL* curl = t->curl;
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
  headers = curl_slist_append(headers, "Pragma: no-cache");  // no proxy may answer from its cache
  curl_easy_setopt(curl, CURLOPT_URL, url);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  // A TLS request never follows a redirect to plain http.
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, tls ? "https" : "http,https");
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  // The server certificate is checked: chain to a trusted CA and the host name.
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectSeconds));
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, t);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(HTTP_READ_CHUNK));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, t);
  return headers;
}

// The fetch's code from libcurl's and the callbacks' outcome and the last status seen.
int TransferResult(const Transfer& t, CURLcode code, long status) {
  if (t.failure != STATUS_OK) return t.failure;
  switch (code) {
    case CURLE_OK:
      break;
    case CURLE_PARTIAL_FILE:
      return ERR_HTTP_SHORT_BODY;
    case CURLE_FILESIZE_EXCEEDED:
      return ERR_HTTP_BODY_TOO_BIG;
    case CURLE_OPERATION_TIMEDOUT:
      return ERR_HTTP_STALLED;
    case CURLE_UNSUPPORTED_PROTOCOL:  // a refused redirect, or an answer that is no HTTP
    case CURLE_WEIRD_SERVER_REPLY:
      if (status >= 300 && status <= 399) return ERR_HTTP_REDIRECT_REFUSED;
      return ERR_HTTP_BAD_STATUS;
    default:
      return static_cast<int>(code);
  }
  if (!Http_IsStatusNumber(status)) return ERR_HTTP_BAD_STATUS;
  return status == 200 ? STATUS_OK : static_cast<int>(status);
}

}  // namespace

int HttpFetchBody(const char* url, const char* bodyPath, const HttpLimits& limits) {
  if (bodyPath == nullptr) return ERR_NO_FILE;
  UrlParts parts;
  char target[URL_HOST_CAPACITY + URL_OBJECT_CAPACITY + 16];
  if (!Url_Split(url, &parts) || !Url_Compose(&parts, target, sizeof target)) {
    _unlink(bodyPath);
    return static_cast<int>(CURLE_URL_MALFORMAT);
  }
  Transfer t = {};
  t.curl = curl_easy_init();
  if (t.curl == nullptr) {
    _unlink(bodyPath);
    return static_cast<int>(CURLE_FAILED_INIT);
  }
  t.bodyPath = bodyPath;
  HttpProgress_Start(&t.progress, limits, NowMs());
  curl_slist* headers = SetOptions(&t, target, Url_UsesTls(&parts), limits);

  const CURLcode code = curl_easy_perform(t.curl);
  long status = 0;
  curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t announced = -1;
  curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  int result = TransferResult(t, code, status);
  if (result == STATUS_OK && !t.created) {
    result = HttpBody_Create(&t.body, bodyPath);  // 200 with an empty body
    t.created = result == STATUS_OK;
  }
  if (result == STATUS_OK) {
    result = HttpBody_Finish(&t.body, announced);
  } else {
    HttpBody_Abandon(&t.body);
  }
  if (result != STATUS_OK) _unlink(bodyPath);
  curl_slist_free_all(headers);
  curl_easy_cleanup(t.curl);
  return result;
}

void HttpDropCachedUrl(const char*) {}  // libcurl keeps no cache between calls
