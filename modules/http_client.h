// Gateway HTTP client: fetches one module file into a compressed file, unpacks it and puts it in
// place of the installed file, and fetches the version table. One header; http_client_win.cpp
// (WinINet) and http_client_posix.cpp (libcurl) do the network work, http_client.cpp the parts
// that do not depend on the platform.
#pragma once

#include <stdint.h>
#include <stdio.h>

constexpr int HTTP_READ_CHUNK = 81960;  // one read of the body (80 KiB plus 40)
// The one header text of the request, blank line included; its length is given explicitly.
constexpr char HTTP_REQUEST_HEADER[] = "Content-Type: application/x-www-form-urlencoded\r\n\r\n";
constexpr int HTTP_REQUEST_HEADER_LENGTH = sizeof HTTP_REQUEST_HEADER - 1;  // 51
constexpr char HTTP_VERSION_TEXT[] = "HTTP/1.0";
constexpr char HTTP_DEFAULT_AGENT[] = "Vexo PlugIn";
constexpr int HTTP_PATH_CAPACITY = 256;        // a module path, terminator included
// Suffixes after the private part (File_PrivateName) of the names beside an installed module: the
// download, the unpacked module before it replaces the installed one, and an installed module that
// was in use and moved aside.
constexpr char HTTP_COMPRESSED_SUFFIX[] = ".gz";
constexpr char HTTP_STAGED_SUFFIX[] = ".new";
constexpr char HTTP_ASIDE_SUFFIX[] = ".old";
// A body that ended before the length the server announced: the fetch fails, nothing is unpacked.
constexpr int ERR_HTTP_SHORT_BODY = -217;

// Limits of every download (build constants). A body larger than HTTP_MAX_BODY_BYTES is cut off
// and fails the fetch; the unpacked file has its own limit, GZIP_MAX_UNPACKED_BYTES.
constexpr int64_t HTTP_MAX_BODY_BYTES = int64_t{64} * 1024 * 1024;
constexpr int ERR_HTTP_BODY_TOO_BIG = -220;

// Limits of every download, the version table's included (build constants). A connection that
// is not made within the connect limit fails; so does a transfer that, once connected, moves fewer
// than HTTP_PROGRESS_MIN_RATE bytes a second over a whole progress window (a gateway that accepts
// and never answers, or trickles): slow bodies that keep moving still arrive.
constexpr int HTTP_CONNECT_LIMIT_SECONDS = 30;
constexpr int HTTP_PROGRESS_WINDOW_SECONDS = 30;
constexpr int HTTP_PROGRESS_MIN_RATE = 100;  // bytes a second, averaged over one window

// The limits one fetch runs with. The command object keeps its own copy of the defaults; a signed
// release lowers maxBodyBytes to the size its table lists for the file.
struct HttpLimits {
  int connectSeconds;
  int progressSeconds;
  int minBytesPerSecond;
  int64_t maxBodyBytes;  // a longer body is cut off: ERR_HTTP_BODY_TOO_BIG
};
constexpr HttpLimits HTTP_DEFAULT_LIMITS = {HTTP_CONNECT_LIMIT_SECONDS, HTTP_PROGRESS_WINDOW_SECONDS,
                                            HTTP_PROGRESS_MIN_RATE, HTTP_MAX_BODY_BYTES};

// Failures of a fetch besides the platform's codes and the HTTP status numbers.
enum : int {
  ERR_HTTP_STALLED = -221,           // no connection, or too little progress, within the limits
  ERR_HTTP_BAD_STATUS = -222,        // the status line does not read as a number from 100 to 599
  ERR_HTTP_REDIRECT_REFUSED = -223,  // a TLS request was redirected to plain http
};

// True for a status number a status line may carry.
inline bool Http_IsStatusNumber(long status) { return status >= 100 && status <= 599; }

// Stores the body of url's answer in bodyPath, replacing an earlier file, once it has arrived in
// full. 0 on success; otherwise the HTTP status when it is not 200, ERR_NO_FILE (the file cannot
// be created), a platform error code (WinINet last error / libcurl code), the count a short write
// took (ERR_FILE_TOO_BIG when it took nothing), ERR_HTTP_SHORT_BODY, ERR_HTTP_BODY_TOO_BIG,
// ERR_HTTP_STALLED, ERR_HTTP_BAD_STATUS or ERR_HTTP_REDIRECT_REFUSED. A failed fetch leaves no
// file at bodyPath. https always runs over TLS with the server certificate checked; so does http
// on port 443; neither follows a redirect to plain http.
int HttpFetchBody(const char* url, const char* bodyPath, const HttpLimits& limits = HTTP_DEFAULT_LIMITS);

// Fetches one module file: the body into compressedPath (HttpFetchBody), then unpacked into a
// temporary file of this process's own beside installedPath, which replaces installedPath in one
// rename (an installed file in use is moved aside first, see File_ReplaceInUse). 0 on success,
// otherwise the code of the step that failed. Every failure leaves installedPath as it was, and no
// compressed or temporary file stays behind.
int HttpGetToFile(const char* url, const char* compressedPath, const char* installedPath,
                  const HttpLimits& limits = HTTP_DEFAULT_LIMITS);

// Unpacks compressedPath (consumed) into the temporary file beside installedPath and renames that
// over installedPath: the step of HttpGetToFile after the body has arrived in full.
int Http_InstallBody(const char* compressedPath, const char* installedPath);

// Drops any cached copy of url so the next fetch reaches the server (no-op where nothing caches).
void HttpDropCachedUrl(const char* url);

// Downloads the version table: drops the URL from the cache, then fetches it with HttpFetchBody
// into path. 0 on success; otherwise HttpFetchBody's code, and no file is left at path.
int DownloadTableFile(const char* url, const char* path, const HttpLimits& limits = HTTP_DEFAULT_LIMITS);

// --- Parts shared by both platform variants ---

// Agent text: the base name of the host program's file without its extension, or
// HTTP_DEFAULT_AGENT when there is none.
void Http_AgentFromProgramPath(const char* programPath, char* out, int capacity);

// The compressed file of one fetch, written chunk by chunk.
struct HttpBody {
  FILE* file;
  int64_t received;
};

// Creates (truncates) the compressed file: 0 or ERR_NO_FILE.
int HttpBody_Create(HttpBody* body, const char* compressedPath);
// Writes one chunk: 0, or the count the write took (ERR_FILE_TOO_BIG when it took nothing).
int HttpBody_Append(HttpBody* body, const void* data, int length);
// Closes the file after a failed read or write (the caller removes the partial download).
void HttpBody_Abandon(HttpBody* body);
// Closes the file after the last chunk. announced is the length the server gave (negative when
// none): a shorter body gives ERR_HTTP_SHORT_BODY. 0 when the body is complete.
int HttpBody_Finish(HttpBody* body, int64_t announced);

// Counts the bytes of one transfer against the progress limit: each window of
// limits.progressSeconds must bring limits.minBytesPerSecond times as many bytes.
struct HttpProgress {
  HttpLimits limits;
  int64_t windowStartMs;
  int64_t windowBytes;
};
void HttpProgress_Start(HttpProgress* progress, const HttpLimits& limits, int64_t nowMs);
// Adds bytes that arrived at nowMs; false when the window that just ended brought too few.
bool HttpProgress_Add(HttpProgress* progress, int64_t bytes, int64_t nowMs);
