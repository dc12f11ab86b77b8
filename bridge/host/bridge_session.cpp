#include "bridge/host/bridge_session.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "bridge/host/json.h"

namespace {

const size_t MAX_OBJECTS = 64;  // page objects one connection may hold at once
const size_t MAX_ARGUMENTS = 3;

// The request's id as JSON text: an integer or a string as sent, else "" (not usable).
std::string IdText(const JsonValue* id) {
  if (id == nullptr || id->type == JsonValue::Null) return "null";
  if (id->IsInt32()) return std::to_string(static_cast<long>(id->number));
  if (id->type != JsonValue::String) return std::string();
  std::string text;
  Json_AppendString(&text, id->text);
  return text;
}

std::string Done(const std::string& id) { return "{\"id\":" + id + "}"; }

std::string Result(const std::string& id, const host::PageValue& value) {
  switch (value.type) {
    case NPVariantType_String: {
      std::string answer = "{\"id\":" + id + ",\"result\":";
      Json_AppendString(&answer, value.text);
      return answer + "}";
    }
    case NPVariantType_Bool: return "{\"id\":" + id + ",\"result\":" + (value.boolValue ? "true" : "false") + "}";
    case NPVariantType_Int32: return "{\"id\":" + id + ",\"result\":" + std::to_string(value.intValue) + "}";
    default: return Done(id);  // void, null; the plug-in answers nothing else
  }
}

}  // namespace

BridgeSession::BridgeSession(host::Browser* browser, const std::string& loadError)
    : browser_(browser), loadError_(loadError) {}

std::string BridgeSession::ErrorAnswer(const std::string& id, const std::string& error) {
  std::string answer = "{\"id\":" + id + ",\"error\":";
  Json_AppendString(&answer, error);
  return answer + "}";
}

std::string BridgeSession::Answer(const char* message, size_t length) {
  JsonValue request;
  if (!Json_Parse(message, length, &request)) return ErrorAnswer("null", "the message is not JSON");
  if (request.type != JsonValue::Object) return ErrorAnswer("null", "a request is a JSON object");
  const std::string id = IdText(request.Member("id"));
  if (id.empty()) return ErrorAnswer("null", "\"id\" is not an integer or a string");
  const JsonValue* op = request.Member("op");
  if (op != nullptr && op->type == JsonValue::String && op->text == "status") return Status(id);
  if (browser_ == nullptr) return ErrorAnswer(id, loadError_);

  const JsonValue* object = request.Member("object");
  if (object == nullptr || !object->IsInt32() || object->number < 1) {
    return ErrorAnswer(id, "\"object\" is not a positive integer");
  }
  const int number = static_cast<int>(object->number);
  if (op != nullptr && op->type == JsonValue::String) {
    if (op->text == "call") return Call(id, number, request);
    if (op->text == "open") {
      // The extension names the page's origin: the plug-in reads it as window.location.
      const JsonValue* origin = request.Member("origin");
      if (origin != nullptr && origin->type == JsonValue::String) browser_->SetPageUrl(origin->text + "/");
      return Open(id, number);
    }
    if (op->text == "close") return Close(id, number);
  }
  return ErrorAnswer(id, "\"op\" is not one of \"open\", \"call\", \"close\", \"status\"");
}

std::string BridgeSession::Status(const std::string& id) const {
  std::string answer = "{\"id\":" + id + ",\"result\":{\"host\":";
  Json_AppendString(&answer, VEXO_BRIDGE_VERSION);
  answer += ",\"plugin\":";
  if (browser_ == nullptr) {
    answer += "null,\"error\":";
    Json_AppendString(&answer, loadError_);
  } else {
    Json_AppendString(&answer, browser_->library().Version());
  }
  return answer + "}}";
}

std::string BridgeSession::Open(const std::string& id, int object) {
  if (objects_.count(object) != 0) return ErrorAnswer(id, "the object is already open");
  if (objects_.size() >= MAX_OBJECTS) return ErrorAnswer(id, "too many objects");
  NPError error = NPERR_NO_ERROR;
  NPP instance = browser_->NewInstance(&error);
  if (instance == nullptr) return ErrorAnswer(id, "the plug-in made no instance (error " + std::to_string(error) + ")");
  NPObject* scriptable = browser_->ScriptableObject(instance, &error);
  if (scriptable == nullptr) {
    browser_->DestroyInstance(instance);
    return ErrorAnswer(id, "the plug-in gave no script object (error " + std::to_string(error) + ")");
  }
  objects_[object] = PageObject{instance, scriptable};
  return Done(id);
}

std::string BridgeSession::Call(const std::string& id, int object, const JsonValue& request) {
  auto found = objects_.find(object);
  if (found == objects_.end()) return ErrorAnswer(id, "unknown object");
  const JsonValue* method = request.Member("method");
  if (method == nullptr || method->type != JsonValue::String) return ErrorAnswer(id, "\"method\" is not a string");
  const JsonValue* args = request.Member("args");
  if (args != nullptr && (args->type != JsonValue::Array || args->items.size() > MAX_ARGUMENTS)) {
    return ErrorAnswer(id, "\"args\" is not an array of at most three strings");
  }
  std::vector<NPVariant> variants;
  for (size_t i = 0; args != nullptr && i < args->items.size(); ++i) {
    if (args->items[i].type != JsonValue::String) return ErrorAnswer(id, "\"args\" is not an array of at most three strings");
    variants.push_back(host::Browser::StringArg(args->items[i].text.data(), args->items[i].text.size()));
  }

  NPObject* scriptable = found->second.scriptable;
  host::PageValue value;
  if (method->text.empty()) {
    if (!browser_->InvokeDefault(scriptable, variants, &value)) return ErrorAnswer(id, "the object cannot be called");
    return Result(id, value);
  }
  const NPIdentifier name = browser_->Id(method->text.c_str());
  if (memchr(method->text.data(), 0, method->text.size()) != nullptr ||
      !browser_->funcs().hasmethod(found->second.instance, scriptable, name)) {
    return ErrorAnswer(id, "unknown method");
  }
  if (!browser_->Invoke(scriptable, method->text.c_str(), variants, &value)) return ErrorAnswer(id, "the call failed");
  return Result(id, value);
}

std::string BridgeSession::Close(const std::string& id, int object) {
  auto found = objects_.find(object);
  if (found == objects_.end()) return ErrorAnswer(id, "unknown object");
  Destroy(found->second);
  objects_.erase(found);
  return Done(id);
}

void BridgeSession::Destroy(const PageObject& object) {
  browser_->funcs().releaseobject(object.scriptable);
  browser_->DestroyInstance(object.instance);
}

void BridgeSession::CloseAll() {
  for (auto& entry : objects_) Destroy(entry.second);
  objects_.clear();
}
