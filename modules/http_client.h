// Gateway HTTP client: fetches one module file into a compressed file and unpacks it over the
// installed file, and fetches the version table. One header; http_client_win.cpp (WinINet, URL
// Monikers) and http_client_posix.cpp (libcurl) do the network work, http_client.cpp the parts
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
// A body that ended before the length the server announced: the fetch fails, nothing is unpacked.
constexpr int ERR_HTTP_SHORT_BODY = -217;

// Limits of every download (build constants). A body larger than HTTP_MAX_BODY_BYTES is cut off
// and fails the fetch; the unpacked file has its own limit, GZIP_MAX_UNPACKED_BYTES.
constexpr int64_t HTTP_MAX_BODY_BYTES = int64_t{64} * 1024 * 1024;
constexpr int ERR_HTTP_BODY_TOO_BIG = -220;

// Fetches url with one GET and, when the status is 200 and the whole body has arrived, unpacks it
// (GzipDecompressFile) from compressedPath into installedPath. 0 on success; otherwise the HTTP
// status (no file created), ERR_NO_FILE (compressed file cannot be created), a platform error code
// (WinINet last error / libcurl code), the count a short write took (ERR_FILE_TOO_BIG when it took
// nothing), ERR_HTTP_SHORT_BODY, or the unpacking's code. https always runs over TLS with the server
// certificate checked; so does http on port 443.
int HttpGetToFile(const char* url, const char* compressedPath, const char* installedPath);

// Drops any cached copy of url so the next fetch reaches the server (no-op where nothing caches).
void HttpDropCachedUrl(const char* url);

// Downloads the version table: drops the URL from the cache, then stores the body of url in path,
// replacing an earlier file. 0 on success, otherwise the download service's non-zero code (natively
// an HTTP status other than 200 or a libcurl code), or ERR_NO_FILE when the service reported success
// but no file is there; a failed download leaves no file at path.
int DownloadTableFile(const char* url, const char* path);

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
// Closes the file and leaves the partial download where it is (a read or write failed).
void HttpBody_Abandon(HttpBody* body);
// Closes the file after the last chunk. announced is the length the server gave (negative when
// none): a shorter body gives ERR_HTTP_SHORT_BODY; otherwise the result of GzipDecompressFile.
int HttpBody_Finish(HttpBody* body, int64_t announced, const char* compressedPath, const char* installedPath);
