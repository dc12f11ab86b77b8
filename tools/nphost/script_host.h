// The script side of nphost: a Duktape engine whose global object is the page's window, bridged
// to NPAPI both ways, the way a browser bridges its JavaScript engine:
// - a plug-in object seen from script is a proxy: reading a name the object has a method for gives
//   a function that calls NPN invoke; calling the object itself calls invokeDefault; other names
//   read, write and delete its properties. An unknown name reads as undefined, so calling it throws.
// - a script object seen from the plug-in is an NPObject of the host's class whose properties and
//   methods are the script object's. The window NPObject the plug-in gets is the global object, so
//   properties the plug-in writes are script globals and script globals are window properties.
// Numbers go to the plug-in as Int32 when they are whole and fit, else as Double; strings as UTF-8.
#pragma once

#include <string>

#include "npapi/npapi.h"
#include "tools/nphost/page.h"

namespace host {
class Browser;
}
struct duk_hthread;

class ScriptHost {
 public:
  explicit ScriptHost(host::Browser& browser);
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  bool ready() const { return ctx_ != nullptr; }
  // Defines window, location (its href and search, when the page has an address), document (title,
  // getElementById over the page's elements), console, alert,
  // Promise and setTimeout (event_loop.cpp), and
  // the host object nphost. Plug-in elements are added with AddPluginElement.
  void SetUpPage(const Page& page);
  // A new reference to the NPObject of the global object, for the browser's window.
  NPObject* NewWindowObject();
  // Makes getElementById(id) answer the plug-in's scriptable object; takes over the reference.
  void AddPluginElement(const std::string& id, NPObject* scriptable);
  // Lists the loaded plug-in as a browser does: navigator.mimeTypes[mime].enabledPlugin, with the
  // version the browser read from the plug-in's file.
  void ListPlugin(const std::string& mime, const std::string& version);
  // Runs one script of the page, then what it queued (promise jobs, timers). False when it threw;
  // the error is reported with its file and line.
  bool Run(const PageScript& script);
  // Evaluates script text for NPN_Evaluate; the result goes to result (caller owns).
  bool Evaluate(const char* text, uint32_t length, NPVariant* result);
  // window.pageVerdict: 1 when true, 0 when false, -1 when not set to a boolean.
  int Verdict();
  // Destroys the engine; objects the script held are released (their finalizers run).
  void Shutdown();

  int errorCount() const { return errors_; }

 private:
  friend struct Bridge;
  bool RunQueued(const std::string& fileName);
  duk_hthread* ctx_ = nullptr;
  host::Browser& browser_;
  int errors_ = 0;
};
