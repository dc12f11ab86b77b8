// Native messaging framing: each message is a 32-bit length in the machine's byte order followed
// by that many bytes of UTF-8 JSON. Messages from the browser may be larger than the host accepts;
// those are read past, so that the stream stays in step and the next message is read whole.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

const uint32_t MESSAGE_MAX_BYTES = 1024 * 1024;  // the host reads and writes messages of 1 MB at most

enum FrameStatus {
  FRAME_MESSAGE,    // body holds one message
  FRAME_EMPTY,      // a length of 0
  FRAME_TOO_LARGE,  // over MESSAGE_MAX_BYTES; its bytes were read past
  FRAME_END,        // the stream ended (also in the middle of a message)
};

FrameStatus Frame_Read(FILE* in, std::string* body);
// Writes one message and flushes it. False when the stream is gone or body is over the limit.
bool Frame_Write(FILE* out, const std::string& body);
