// Gateway HTTP client over libcurl: the same request and the same result codes as the WinINet
// variant (one GET, HTTP/1.0, the one header text, nothing served from a cache).
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
  const char* compressedPath;
  HttpBody body;
  bool created;  // the compressed file exists (status 200 seen)
  int failure;   // set by the body callback when it stops the transfer
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

// Body callback: the compressed file is created once the status is known to be 200; the body of
// any other answer is not stored.
size_t OnBody(char* data, size_t size, size_t count, void* user) {
  Transfer* t = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (!t->created) {
    long status = 0;
    curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) return length;
    if (HttpBody_Create(&t->body, t->compressedPath) != STATUS_OK) {
      t->failure = ERR_NO_FILE;
      return 0;
    }
    t->created = true;
  }
  const int written = HttpBody_Append(&t->body, data, static_cast<int>(length));
  if (written != STATUS_OK) {
    t->failure = written;
    return 0;
  }
  PauseBetweenChunks();
  return length;
}

// Options shared by the module fetch and the table download.
curl_slist* SetCommonOptions(CURL* curl, const char* url, const char* agent) {
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
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  // The server certificate is checked: chain to a trusted CA and the host name.
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  return headers;
}

int TransferResult(const Transfer& t, CURLcode code) {
  if (t.failure != STATUS_OK) return t.failure;
  if (code == CURLE_PARTIAL_FILE) return ERR_HTTP_SHORT_BODY;
  return static_cast<int>(code);
}

}  // namespace

int HttpGetToFile(const char* url, const char* compressedPath, const char* installedPath) {
  UrlParts parts;
  char target[URL_HOST_CAPACITY + URL_OBJECT_CAPACITY + 16];
  if (!Url_Split(url, &parts) || !Url_Compose(&parts, target, sizeof target)) {
    return static_cast<int>(CURLE_URL_MALFORMAT);
  }
  char agent[256];
  AgentText(agent, sizeof agent);
  Transfer t = {};
  t.curl = curl_easy_init();
  if (t.curl == nullptr) return static_cast<int>(CURLE_FAILED_INIT);
  t.compressedPath = compressedPath;
  curl_slist* headers = SetCommonOptions(t.curl, target, agent);
  curl_easy_setopt(t.curl, CURLOPT_BUFFERSIZE, static_cast<long>(HTTP_READ_CHUNK));
  curl_easy_setopt(t.curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(t.curl, CURLOPT_WRITEDATA, &t);

  int result = TransferResult(t, curl_easy_perform(t.curl));
  long status = 0;
  curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t announced = -1;
  curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  if (result == STATUS_OK && status != 200) {
    result = static_cast<int>(status);
  } else if (result == STATUS_OK && !t.created) {
    result = HttpBody_Create(&t.body, compressedPath);  // 200 with an empty body
    t.created = result == STATUS_OK;
  }
  if (result == STATUS_OK) {
    result = HttpBody_Finish(&t.body, announced, compressedPath, installedPath);
  } else {
    HttpBody_Abandon(&t.body);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(t.curl);
  return result;
}

void HttpDropCachedUrl(const char*) {}  // libcurl keeps no cache between calls

int DownloadTableFile(const char* url, const char* path) {
  char agent[256];
  AgentText(agent, sizeof agent);
  FILE* file = path != nullptr ? fopen(path, "wb") : nullptr;
  if (file == nullptr) return ERR_NO_FILE;
  CURL* curl = curl_easy_init();
  int result = static_cast<int>(CURLE_FAILED_INIT);
  curl_slist* headers = nullptr;
  if (curl != nullptr) {
    headers = SetCommonOptions(curl, url, agent);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);  // libcurl's default writer: fwrite
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    result = static_cast<int>(curl_easy_perform(curl));
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (result == CURLE_HTTP_RETURNED_ERROR || (result == CURLE_OK && status != 200)) {
      result = static_cast<int>(status);
    }
  }
  if (fclose(file) != 0 && result == STATUS_OK) result = ERR_FILE_TOO_BIG;
  if (result != STATUS_OK) _unlink(path);
  curl_slist_free_all(headers);
  if (curl != nullptr) curl_easy_cleanup(curl);
  return result;
}
