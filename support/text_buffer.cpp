#include "support/text_buffer.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "support/status.h"

namespace {

constexpr int kGrowStep = 128;
constexpr int kMaxCapacity = 0x7FFFFFFF - kGrowStep;

int RoundUpToStep(int n) { return (n + kGrowStep - 1) / kGrowStep * kGrowStep; }

// Replaces the block by a new one of newCapacity bytes holding the current text.
int Regrow(TextBuffer* buf, int newCapacity) {
  char* block = static_cast<char*>(buf->allocFn(static_cast<size_t>(newCapacity)));
  if (block == nullptr) {
    buf->failed = 1;
    return ERR_NO_MEMORY;
  }
  if (buf->data != nullptr) {
    memcpy(block, buf->data, static_cast<size_t>(buf->length) + 1);
    buf->freeFn(buf->data);
  } else {
    block[0] = '\0';
    buf->length = 0;
  }
  buf->data = block;
  buf->capacity = newCapacity;
  return STATUS_OK;
}

int AppendBytes(TextBuffer* buf, const char* text, int len) {
  const int rc = TextBuffer_Reserve(buf, len);
  if (rc != STATUS_OK) return rc;
  memcpy(buf->data + buf->length, text, static_cast<size_t>(len));
  buf->length += len;
  buf->data[buf->length] = '\0';
  return STATUS_OK;
}

}  // namespace

int TextBuffer_Init(TextBuffer* buf, int capacity, void* (*allocFn)(size_t), void (*freeFn)(void*)) {
  buf->allocFn = allocFn != nullptr ? allocFn : malloc;
  buf->freeFn = freeFn != nullptr ? freeFn : free;
  buf->length = 0;
  buf->failed = 0;
  if (capacity <= 0) capacity = kGrowStep;
  buf->data = static_cast<char*>(buf->allocFn(static_cast<size_t>(capacity)));
  if (buf->data == nullptr) {
    buf->capacity = -1;
    buf->failed = 1;
    return ERR_NO_MEMORY;
  }
  buf->data[0] = '\0';
  buf->capacity = capacity;
  return STATUS_OK;
}

int TextBuffer_Reserve(TextBuffer* buf, int count) {
  if (buf->failed) return ERR_NO_MEMORY;
  if (count < 0) count = 0;
  if (buf->capacity - buf->length - 1 > count) return STATUS_OK;
  if (count > kMaxCapacity - buf->length - 1) {  // no block of that size can exist
    buf->failed = 1;
    return ERR_NO_MEMORY;
  }
  return Regrow(buf, RoundUpToStep(buf->length + 1 + count));
}

int TextBuffer_AppendFormat(TextBuffer* buf, const char* format, ...) {
  if (buf->failed) return ERR_NO_MEMORY;
  char work[TEXT_BUFFER_FORMAT_AREA];
  va_list args;
  va_start(args, format);
  const int len = vsnprintf(work, sizeof work, format, args);
  va_end(args);
  // Output that does not fit the work area with its NUL is refused whole rather than cut.
  if (len < 0 || len >= TEXT_BUFFER_FORMAT_AREA) return ERR_TOO_SMALL;
  return AppendBytes(buf, work, len);
}

int TextBuffer_Append(TextBuffer* buf, const char* text) {
  if (buf->failed) return ERR_NO_MEMORY;
  if (text == nullptr) text = "";
  const size_t len = strlen(text);
  if (len > static_cast<size_t>(kMaxCapacity)) return ERR_TOO_SMALL;
  return AppendBytes(buf, text, static_cast<int>(len));
}

int TextBuffer_AppendInt(TextBuffer* buf, int32_t value) {
  return TextBuffer_AppendFormat(buf, "%d", static_cast<int>(value));
}

int TextBuffer_Assign(TextBuffer* buf, const char* text) {
  if (buf->failed) return ERR_NO_MEMORY;
  if (text == nullptr) text = "";
  const size_t len = strlen(text);
  if (len > static_cast<size_t>(kMaxCapacity)) return ERR_TOO_SMALL;
  const int need = static_cast<int>(len) + 1;
  if (buf->capacity < need) {
    // A new block: the text may lie inside the old one, so copy before releasing it.
    char* block = static_cast<char*>(buf->allocFn(static_cast<size_t>(RoundUpToStep(need))));
    if (block == nullptr) {
      buf->failed = 1;
      return ERR_NO_MEMORY;
    }
    memcpy(block, text, len + 1);
    if (buf->data != nullptr) buf->freeFn(buf->data);
    buf->data = block;
    buf->capacity = RoundUpToStep(need);
  } else {
    memmove(buf->data, text, len + 1);
  }
  buf->length = static_cast<int32_t>(len);
  return STATUS_OK;
}

int TextBuffer_Clear(TextBuffer* buf) {
  if (buf->failed) return ERR_NO_MEMORY;
  if (buf->data != nullptr) {
    buf->data[0] = '\0';
    buf->length = 0;
  }
  return STATUS_OK;
}

void TextBuffer_Release(TextBuffer* buf) {
  if (buf->data != nullptr) buf->freeFn(buf->data);
  buf->data = nullptr;
  buf->length = 0;
  buf->capacity = -1;
}
