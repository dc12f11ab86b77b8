// An in-process browser for the programs that host the plug-in (nphost, the bridge host, the
// tests): loads the real plug-in library, hands it a browser function table that behaves as a
// browser's does (object allocation and reference counts, interned identifiers, memalloc/memfree,
// variants, a page with a window object and a document), and counts what the plug-in leaves
// behind. One Browser exists at a time.
#pragma once

#include <stdint.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "npapi/npapi.h"
#include "host/plugin_library.h"

namespace host {

// A value the page holds (a property or a script result), owning what it refers to.
struct PageValue {
  NPVariantType type = NPVariantType_Void;
  bool boolValue = false;
  int32_t intValue = 0;
  double doubleValue = 0;
  std::string text;
  NPObject* object = nullptr;  // one reference owned while stored in an object
};

class Browser {
 public:
  Browser();
  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  // Loads the plug-in and runs its entry points the platform's way (NP_GetEntryPoints and
  // NP_Initialize on Windows, NP_Initialize with both tables on Unix). False on any failure;
  // lastError() then holds the NPError (or -1 when the library did not load).
  bool Start(const std::string& path);
  // Closes the page (releases its objects), calls NP_Shutdown and unloads the library.
  void Stop();
  // Drops the page: clears the window's and document's properties and releases the window and the
  // document. What the plug-in still holds afterwards shows in LiveObjects().
  void ClosePage();
  // Gives the page a window object of the host's own (e.g. one backed by a script engine's global
  // object) instead of the built-in one: the built-in window and document are dropped, and window
  // is retained until the page closes. Call before the first instance.
  void UseWindowObject(NPObject* window);

  NPError lastError() const { return lastError_; }
  PluginLibrary& library() { return library_; }
  NPNetscapeFuncs& funcs() { return funcs_; }    // the table handed to the plug-in
  NPPluginFuncs& pluginFuncs() { return plugin_; }  // the plug-in's table as it filled it

  // The page.
  NPObject* window() const { return window_; }
  NPObject* document() const { return document_; }
  void SetTitle(const std::string& title);  // a document "title" string property
  void SetDocumentValue(int32_t value);      // window.document reads as an integer, not an object
  // The page's address: window.location, an object whose "href" is url (empty: no location).
  void SetPageUrl(const std::string& url);
  // Property access as page script sees it (nullptr / void when absent).
  PageValue Property(NPObject* object, const char* name);
  bool HasOwnProperty(NPObject* object, const char* name);
  void SetProperty(NPObject* object, const char* name, const PageValue& value);

  // Instances, created and destroyed as the browser does for embedding elements.
  NPP NewInstance(NPError* error = nullptr);
  NPError DestroyInstance(NPP instance);
  NPError SetWindow(NPP instance, void* nativeWindow, uint32_t width, uint32_t height);
  // NPPVpluginScriptableNPObject: the object with the reference the browser now owns.
  NPObject* ScriptableObject(NPP instance, NPError* error = nullptr);

  // Page script calls. Arguments are UTF-8 strings; the result variant is converted to a
  // PageValue and released as a browser does.
  bool Invoke(NPObject* object, const char* method, const std::vector<NPVariant>& args, PageValue* result);
  bool InvokeDefault(NPObject* object, const std::vector<NPVariant>& args, PageValue* result);
  // String arguments refer to the caller's text, which must outlive the call.
  static NPVariant StringArg(const char* utf8);
  static NPVariant StringArg(const char* utf8, size_t length);
  static NPVariant IntArg(int32_t value);
  static NPVariant ObjectArg(NPObject* object);

  // Bookkeeping.
  size_t OutstandingBlocks() const { return blocks_.size(); }  // memalloc blocks not yet freed
  size_t BadFrees() const { return badFrees_; }                 // memfree of an unknown pointer
  size_t LiveObjects() const { return live_.size(); }           // objects made by createobject
  bool IsLive(NPObject* object) const { return live_.count(object) != 0; }
  uint32_t RefCount(NPObject* object) const { return IsLive(object) ? object->referenceCount : 0; }
  size_t ReleasesOfDeadObjects() const { return deadReleases_; }
  // Scripting calls (property, method, evaluate) made on a null object: a real browser crashes on
  // them; this one refuses them, says so on stderr and counts them.
  size_t NullObjectCalls() const { return nullObjectCalls_; }
  const std::vector<std::string>& evaluated() const { return evaluated_; }
  NPIdentifier Id(const char* name) const;
  // The text of a string identifier (true), or the number of an integer identifier (false).
  static bool IdentifierName(NPIdentifier id, std::string* text, int32_t* number);

  // Failure injection.
  bool failWindowObject = false;  // getvalue(NPNVWindowNPObject) fails
  bool refuseWindowObjectOnce = false;  // only the next getvalue(NPNVWindowNPObject) fails: one
                                        // instance (of another page) gets no window object
  bool failCreateObject = false;  // createobject answers null
  bool failMemAlloc = false;      // memalloc answers null
  bool failIdentifierIsString = false;  // identifierisstring answers false

  // The running browser, for the C callbacks of the table.
  static Browser* current();

 private:
  friend struct BrowserCallbacks;
  NPObject* CreateHostObject();
  PageValue TakeVariant(NPVariant* variant);  // converts and releases
  void FillFuncs();

  PluginLibrary library_;
  NPNetscapeFuncs funcs_;
  NPPluginFuncs plugin_;
  NPError lastError_ = NPERR_NO_ERROR;
  bool started_ = false;
  NPObject* window_ = nullptr;
  NPObject* document_ = nullptr;
  std::set<void*> blocks_;
  std::set<NPObject*> live_;
  size_t badFrees_ = 0;
  size_t deadReleases_ = 0;
  size_t nullObjectCalls_ = 0;
  std::vector<std::string> evaluated_;
  std::set<NPP> instances_;
};

}  // namespace host
