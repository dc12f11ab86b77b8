// The bridge host's message reader on any byte stream from the browser: framing, JSON and the
// operations (open, call, close) against a plug-in whose methods echo their arguments. Each frame
// gets exactly one answer, a JSON object with the request's id when it had a usable one, and a
// call that reached the plug-in answers its arguments unchanged. When the connection ends, every
// instance and script object the session made is gone.
#include <stdio.h>

#include "bridge/host/bridge_session.h"
#include "bridge/host/json.h"
#include "bridge/host/message_frame.h"
#include "host/browser.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

host::Browser* StartedBrowser() {
  static host::Browser* browser = [] {
    auto* b = new host::Browser;
    FUZZ_CHECK(b->Start(VEXO_FUZZ_ECHO_PLUGIN));
    return b;
  }();
  return browser;
}

// What a call that reaches the plug-in answers: its string arguments joined by '|'; "" when the
// request is no such call.
bool ExpectedEcho(const JsonValue& request, std::string* echo) {
  const JsonValue* op = request.Member("op");
  const JsonValue* method = request.Member("method");
  const JsonValue* args = request.Member("args");
  if (op == nullptr || op->type != JsonValue::String || op->text != "call") return false;
  if (method == nullptr || method->type != JsonValue::String) return false;
  if (method->text.compare(0, 3, "MV_") != 0 && !method->text.empty()) return false;
  if (method->text.find('\0') != std::string::npos) return false;
  echo->clear();
  if (args == nullptr) return true;
  if (args->type != JsonValue::Array || args->items.size() > 3) return false;
  for (size_t i = 0; i < args->items.size(); ++i) {
    if (args->items[i].type != JsonValue::String) return false;
    if (i > 0) *echo += '|';
    *echo += args->items[i].text;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  host::Browser* browser = StartedBrowser();
  const size_t objectsBefore = browser->LiveObjects();
  std::string stream(reinterpret_cast<const char*>(data), size);
  stream += '\0';  // fmemopen wants a buffer of at least one byte; the frames are the first size bytes
  FILE* in = fmemopen(&stream[0], size + 1, "rb");
  FUZZ_CHECK(in != nullptr);
  {
    BridgeSession session(browser, "");
    std::string message;
    size_t consumed = 0;
    for (;;) {
      const FrameStatus status = Frame_Read(in, &message);
      if (status == FRAME_END) break;
      consumed = static_cast<size_t>(ftell(in));
      if (consumed > size) break;  // the terminating byte of the buffer was read as frame data
      const std::string answer = status == FRAME_MESSAGE ? session.Answer(message.data(), message.size())
                                                          : BridgeSession::ErrorAnswer("null", "frame");
      JsonValue parsed;
      FUZZ_CHECK(Json_Parse(answer.data(), answer.size(), &parsed) && parsed.type == JsonValue::Object);
      const JsonValue* id = parsed.Member("id");
      FUZZ_CHECK(id != nullptr);
      FUZZ_CHECK(parsed.Member("result") == nullptr || parsed.Member("error") == nullptr);
      JsonValue request;
      if (status != FRAME_MESSAGE || !Json_Parse(message.data(), message.size(), &request) ||
          request.type != JsonValue::Object) {
        FUZZ_CHECK(id->type == JsonValue::Null && parsed.Member("error") != nullptr);
        continue;
      }
      const JsonValue* sent = request.Member("id");
      if (sent != nullptr && (sent->IsInt32() || sent->type == JsonValue::String)) {
        FUZZ_CHECK(id->type == sent->type && id->text == sent->text && id->number == sent->number);
      }
      std::string echo;
      const JsonValue* result = parsed.Member("result");
      if (result != nullptr) {
        FUZZ_CHECK(ExpectedEcho(request, &echo));
        FUZZ_CHECK(result->type == JsonValue::String && result->text == echo);
      }
    }
    FUZZ_CHECK(session.openObjects() <= 64);
  }
  fclose(in);
  FUZZ_CHECK(browser->LiveObjects() == objectsBefore && browser->OutstandingBlocks() == 0);
  return 0;
}
