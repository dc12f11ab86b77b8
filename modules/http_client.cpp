#include "modules/http_client.h"

#include <string.h>

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

int HttpBody_Finish(HttpBody* body, int64_t announced, const char* compressedPath, const char* installedPath) {
  const bool closed = fclose(body->file) == 0;
  body->file = nullptr;
  if (!closed) return ERR_FILE_TOO_BIG;
  if (announced >= 0 && body->received < announced) return ERR_HTTP_SHORT_BODY;
  return GzipDecompressFile(compressedPath, installedPath);
}
