// One browser connection of the bridge host: the page's plug-in objects, each one plug-in instance
// with its scriptable object, and the answer to every request.
//
// Requests (JSON objects):
//   {"id": I, "op": "open",  "object": N}                       a new plug-in instance for page object N
//                                            the extension adds "origin": the page's origin, which
//                                            the plug-in reads as its window.location
//   {"id": I, "op": "call",  "object": N, "method": M, "args": [up to three strings]}
//                                            M one of the plug-in's methods, "" the object's default call
//   {"id": I, "op": "close", "object": N}                       destroys the instance of page object N
//   {"id": I, "op": "status"}                   what this host has, without touching an instance:
//                                            {"host": version, "plugin": version} when the plug-in
//                                            loaded, {"host": version, "plugin": null, "error": why}
//                                            when it did not (the page's ready())
// Answers: {"id": I} (no value), {"id": I, "result": "text"}, or {"id": I, "error": "why"}; a
// status's result is the object above.
// I is an integer or a string and comes back as sent (null when the request had none or was
// unreadable); N is a positive integer.
#pragma once

#include <map>
#include <string>

#include "host/browser.h"

class BridgeSession {
 public:
  // browser has loaded the plug-in; nullptr when it could not, then every request gets loadError.
  BridgeSession(host::Browser* browser, const std::string& loadError);
  ~BridgeSession() { CloseAll(); }
  BridgeSession(const BridgeSession&) = delete;
  BridgeSession& operator=(const BridgeSession&) = delete;

  // The answer to one message (a request or something malformed).
  std::string Answer(const char* message, size_t length);
  // An answer without an id, for a message that could not be read at all.
  static std::string ErrorAnswer(const std::string& id, const std::string& error);
  // Destroys every instance (the connection is closing).
  void CloseAll();

  size_t openObjects() const { return objects_.size(); }

 private:
  struct PageObject {
    NPP instance;
    NPObject* scriptable;
  };
  std::string Status(const std::string& id) const;
  std::string Open(const std::string& id, int object);
  std::string Call(const std::string& id, int object, const struct JsonValue& request);
  std::string Close(const std::string& id, int object);
  void Destroy(const PageObject& object);

  host::Browser* browser_;
  std::string loadError_;
  std::map<int, PageObject> objects_;
};
