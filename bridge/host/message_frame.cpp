#include "bridge/host/message_frame.h"

#include <string.h>

namespace {

bool ReadExactly(FILE* in, void* buffer, size_t size) { return fread(buffer, 1, size, in) == size; }

// Reads and drops size bytes; false when the stream ends first.
bool Skip(FILE* in, uint32_t size) {
  char chunk[4096];
  while (size > 0) {
    const size_t part = size < sizeof chunk ? size : sizeof chunk;
    if (!ReadExactly(in, chunk, part)) return false;
    size -= static_cast<uint32_t>(part);
  }
  return true;
}

}  // namespace

FrameStatus Frame_Read(FILE* in, std::string* body) {
  body->clear();
  uint32_t length = 0;
  if (!ReadExactly(in, &length, sizeof length)) return FRAME_END;
  if (length == 0) return FRAME_EMPTY;
  if (length > MESSAGE_MAX_BYTES) return Skip(in, length) ? FRAME_TOO_LARGE : FRAME_END;
  body->resize(length);
  return ReadExactly(in, &(*body)[0], length) ? FRAME_MESSAGE : FRAME_END;
}

bool Frame_Write(FILE* out, const std::string& body) {
  if (body.size() > MESSAGE_MAX_BYTES) return false;
  const uint32_t length = static_cast<uint32_t>(body.size());
  return fwrite(&length, sizeof length, 1, out) == 1 && fwrite(body.data(), 1, body.size(), out) == body.size() &&
         fflush(out) == 0;
}
