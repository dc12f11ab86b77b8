#include "modules/http_client.h"

#include <string.h>

#include "support/crt.h"
#include "support/file_util.h"
#include "support/gzip_file.h"
#include "support/status.h"
#include "support/string_util.h"

void Http_AgentFromProgramPath(const char* programPath, char* out, int capacity) {
  const char* base = programPath != nullptr ? programPath : "";
  for (const char* p = base; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  const char* dot = strrchr(base, '.');
  int length = dot != nullptr ? static_cast<int>(dot - base) : static_cast<int>(strlen(base));
  if (length <= 0) {
    String_Copy(out, HTTP_DEFAULT_AGENT, capacity - 1, 0);
    return;
  }
  if (length > capacity - 1) length = capacity - 1;
  memcpy(out, base, static_cast<size_t>(length));
  out[length] = '\0';
}

int HttpBody_Create(HttpBody* body, const char* compressedPath) {
  body->received = 0;
  body->file = compressedPath != nullptr ? fopen(compressedPath, "wb") : nullptr;
  return body->file != nullptr ? STATUS_OK : ERR_NO_FILE;
}

int HttpBody_Append(HttpBody* body, const void* data, int length) {
  if (length <= 0) return STATUS_OK;
  const size_t written = fwrite(data, 1, static_cast<size_t>(length), body->file);
  body->received += static_cast<int64_t>(written);
  if (written == static_cast<size_t>(length)) return STATUS_OK;
  return written > 0 ? static_cast<int>(written) : ERR_FILE_TOO_BIG;
}

void HttpBody_Abandon(HttpBody* body) {
  if (body->file != nullptr) fclose(body->file);
  body->file = nullptr;
}

int HttpBody_Finish(HttpBody* body, int64_t announced) {
  const bool closed = fclose(body->file) == 0;
  body->file = nullptr;
  if (!closed) return ERR_FILE_TOO_BIG;
  if (announced >= 0 && body->received < announced) return ERR_HTTP_SHORT_BODY;
  return STATUS_OK;
}

void HttpProgress_Start(HttpProgress* progress, const HttpLimits& limits, int64_t nowMs) {
  progress->limits = limits;
  progress->windowStartMs = nowMs;
  progress->windowBytes = 0;
}

bool HttpProgress_Add(HttpProgress* progress, int64_t bytes, int64_t nowMs) {
  progress->windowBytes += bytes;
  if (nowMs < progress->windowStartMs) progress->windowStartMs = nowMs;  // the clock wrapped
  const int64_t windowMs = int64_t{progress->limits.progressSeconds} * 1000;
  if (nowMs - progress->windowStartMs < windowMs) return true;
  const int64_t needed = int64_t{progress->limits.minBytesPerSecond} * progress->limits.progressSeconds;
  if (progress->windowBytes < needed) return false;
  progress->windowStartMs = nowMs;
  progress->windowBytes = 0;
  return true;
}

int Http_InstallBody(const char* compressedPath, const char* installedPath) {
  // The temporary file lies in the module directory, so that the rename never crosses a volume, and
  // has a name of this process's own, so that no other process writes it.
  char staged[HTTP_PATH_CAPACITY + 32] = {};
  char aside[HTTP_PATH_CAPACITY + 32] = {};
  if (!File_PrivateName(staged, sizeof staged, installedPath, HTTP_STAGED_SUFFIX) ||
      !File_PrivateName(aside, sizeof aside, installedPath, HTTP_ASIDE_SUFFIX)) {
    _unlink(compressedPath);
    return ERR_NO_FILE;
  }
  int result = GzipDecompressFile(compressedPath, staged);  // removes both files on failure
  // (A check of the unpacked module belongs here, before it replaces the installed one.)
  // A module another process has loaded is moved aside (a later update run removes it).
  if (result == STATUS_OK) result = File_ReplaceInUse(staged, installedPath, aside);
  if (result != STATUS_OK) _unlink(staged);
  return result;
}

int HttpGetToFile(const char* url, const char* compressedPath, const char* installedPath, const HttpLimits& limits) {
  if (compressedPath == nullptr || installedPath == nullptr) return ERR_NO_FILE;
  const int result = HttpFetchBody(url, compressedPath, limits);
  return result == STATUS_OK ? Http_InstallBody(compressedPath, installedPath) : result;
}

int DownloadTableFile(const char* url, const char* path, const HttpLimits& limits) {
  if (url == nullptr || path == nullptr) return ERR_NO_FILE;
  HttpDropCachedUrl(url);
  return HttpFetchBody(url, path, limits);
}
