// Growable text buffer. Grows in whole multiples of 128 bytes; after an allocation failure every
// operation but TextBuffer_Release fails with ERR_NO_MEMORY.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct TextBuffer {
  void* (*allocFn)(size_t);  // malloc by default
  void (*freeFn)(void*);     // free by default
  char* data;                // always NUL-terminated while usable
  int32_t length;            // characters in use
  int32_t capacity;          // bytes in the block; -1 without a block
  int32_t failed;            // 1 after an allocation failure
};

// Size of the formatting work area: formatted output must be shorter than this.
constexpr int TEXT_BUFFER_FORMAT_AREA = 18196;

int TextBuffer_Init(TextBuffer* buf, int capacity, void* (*allocFn)(size_t), void (*freeFn)(void*));
int TextBuffer_Reserve(TextBuffer* buf, int count);
// Formatted output of TEXT_BUFFER_FORMAT_AREA characters or more is refused with ERR_TOO_SMALL and
// leaves the buffer unchanged.
int TextBuffer_AppendFormat(TextBuffer* buf, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
int TextBuffer_Append(TextBuffer* buf, const char* text);
int TextBuffer_AppendInt(TextBuffer* buf, int32_t value);
int TextBuffer_Assign(TextBuffer* buf, const char* text);
int TextBuffer_Clear(TextBuffer* buf);
void TextBuffer_Release(TextBuffer* buf);
