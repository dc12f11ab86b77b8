#include "host/browser.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace host {

namespace {

Browser* g_current = nullptr;

// Identifiers live for the whole process: the same text always gives the same identifier.
struct Identifier {
  bool isString;
  std::string text;
  int32_t number;
};
std::map<std::string, std::unique_ptr<Identifier>>& StringIds() {
  static std::map<std::string, std::unique_ptr<Identifier>> ids;
  return ids;
}
std::map<int32_t, std::unique_ptr<Identifier>>& IntIds() {
  static std::map<int32_t, std::unique_ptr<Identifier>> ids;
  return ids;
}
Identifier* AsIdentifier(NPIdentifier id) { return static_cast<Identifier*>(id); }

// Objects of the page (window, document, plain objects): a property map.
struct HostObject : NPObject {
  std::map<NPIdentifier, PageValue> properties;
};

}  // namespace

// The browser's table entries.
struct BrowserCallbacks {
  static Browser& B() { return *g_current; }
  // True when o is null: the call is refused loudly.
  static bool Null(const NPObject* o, const char* call) {
    if (o != nullptr) return false;
    ++B().nullObjectCalls_;
    fprintf(stderr, "test browser: %s on a null object\n", call);
    return true;
  }

  static void* MemAlloc(uint32_t size) {
    if (B().failMemAlloc) return nullptr;
    void* block = malloc(size == 0 ? 1 : size);
    if (block != nullptr) B().blocks_.insert(block);
    return block;
  }
  static void MemFree(void* block) {
    if (block == nullptr) return;
    if (B().blocks_.erase(block) == 0) {
      ++B().badFrees_;
      return;
    }
    free(block);
  }

  static NPIdentifier GetStringIdentifier(const NPUTF8* name) {
    if (name == nullptr) return nullptr;
    auto& slot = StringIds()[name];
    if (!slot) slot.reset(new Identifier{true, name, 0});
    return slot.get();
  }
  static void GetStringIdentifiers(const NPUTF8** names, int32_t count, NPIdentifier* ids) {
    for (int32_t i = 0; i < count; ++i) ids[i] = GetStringIdentifier(names[i]);
  }
  static NPIdentifier GetIntIdentifier(int32_t value) {
    auto& slot = IntIds()[value];
    if (!slot) slot.reset(new Identifier{false, std::string(), value});
    return slot.get();
  }
  static bool IdentifierIsString(NPIdentifier id) {
    if (g_current != nullptr && B().failIdentifierIsString) return false;
    return id != nullptr && AsIdentifier(id)->isString;
  }
  static NPUTF8* UTF8FromIdentifier(NPIdentifier id) {
    if (id == nullptr || !AsIdentifier(id)->isString) return nullptr;
    const std::string& text = AsIdentifier(id)->text;
    char* copy = static_cast<char*>(MemAlloc(static_cast<uint32_t>(text.size() + 1)));
    if (copy != nullptr) memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
  }
  static int32_t IntFromIdentifier(NPIdentifier id) {
    return id != nullptr && !AsIdentifier(id)->isString ? AsIdentifier(id)->number : 0;
  }

  static NPObject* CreateObject(NPP npp, NPClass* cls) {
    if (B().failCreateObject || cls == nullptr) return nullptr;
    NPObject* object = cls->allocate ? cls->allocate(npp, cls) : static_cast<NPObject*>(malloc(sizeof(NPObject)));
    if (object == nullptr) return nullptr;
    object->_class = cls;
    object->referenceCount = 1;
    B().live_.insert(object);
    return object;
  }
  static NPObject* RetainObject(NPObject* object) {
    if (object != nullptr) ++object->referenceCount;
    return object;
  }
  static void ReleaseObject(NPObject* object) {
    if (object == nullptr) return;
    if (!B().IsLive(object) || object->referenceCount == 0) {
      ++B().deadReleases_;
      return;
    }
    if (--object->referenceCount != 0) return;
    B().live_.erase(object);
    if (object->_class->deallocate) {
      object->_class->deallocate(object);
    } else {
      free(object);
    }
  }

  static void ReleaseVariantValue(NPVariant* v) {
    if (v == nullptr) return;
    if (v->type == NPVariantType_String) {
      MemFree(const_cast<NPUTF8*>(v->value.stringValue.UTF8Characters));
    } else if (v->type == NPVariantType_Object) {
      ReleaseObject(v->value.objectValue);
    }
    VOID_TO_NPVARIANT(*v);
  }

  static NPError GetValue(NPP, NPNVariable variable, void* value) {
    switch (variable) {
      case NPNVWindowNPObject:
        if (B().refuseWindowObjectOnce) {
          B().refuseWindowObjectOnce = false;
          return NPERR_GENERIC_ERROR;
        }
        if (B().failWindowObject || B().window_ == nullptr) return NPERR_GENERIC_ERROR;
        *static_cast<NPObject**>(value) = RetainObject(B().window_);
        return NPERR_NO_ERROR;
      case NPNVjavascriptEnabledBool:
        *static_cast<NPBool*>(value) = 1;
        return NPERR_NO_ERROR;
      default:
        return NPERR_GENERIC_ERROR;
    }
  }
  static NPError SetValue(NPP, NPPVariable, void*) { return NPERR_GENERIC_ERROR; }

  static bool Invoke(NPP, NPObject* o, NPIdentifier name, const NPVariant* args, uint32_t n, NPVariant* r) {
    return !Null(o, "invoke") && o->_class->invoke && o->_class->invoke(o, name, args, n, r);
  }
  static bool InvokeDefault(NPP, NPObject* o, const NPVariant* args, uint32_t n, NPVariant* r) {
    return !Null(o, "invokeDefault") && o->_class->invokeDefault && o->_class->invokeDefault(o, args, n, r);
  }
  static bool Evaluate(NPP, NPObject* o, NPString* script, NPVariant* result) {
    if (Null(o, "evaluate") || script == nullptr) return false;
    B().evaluated_.emplace_back(script->UTF8Characters, script->UTF8Length);
    if (result != nullptr) VOID_TO_NPVARIANT(*result);
    return true;
  }
  static bool GetProperty(NPP, NPObject* o, NPIdentifier name, NPVariant* r) {
    return !Null(o, "getproperty") && o->_class->getProperty && o->_class->getProperty(o, name, r);
  }
  static bool SetProperty(NPP, NPObject* o, NPIdentifier name, const NPVariant* v) {
    return !Null(o, "setproperty") && o->_class->setProperty && o->_class->setProperty(o, name, v);
  }
  static bool RemoveProperty(NPP, NPObject* o, NPIdentifier name) {
    return !Null(o, "removeproperty") && o->_class->removeProperty && o->_class->removeProperty(o, name);
  }
  static bool HasProperty(NPP, NPObject* o, NPIdentifier name) {
    return !Null(o, "hasproperty") && o->_class->hasProperty && o->_class->hasProperty(o, name);
  }
  static bool HasMethod(NPP, NPObject* o, NPIdentifier name) {
    return !Null(o, "hasmethod") && o->_class->hasMethod && o->_class->hasMethod(o, name);
  }
  static void SetException(NPObject*, const NPUTF8*) {}
  static bool Enumerate(NPP, NPObject* o, NPIdentifier** ids, uint32_t* count) {
    return !Null(o, "enumerate") && o->_class->structVersion >= 2 && o->_class->enumerate &&
           o->_class->enumerate(o, ids, count);
  }
  static bool Construct(NPP, NPObject* o, const NPVariant* args, uint32_t n, NPVariant* r) {
    return !Null(o, "construct") && o->_class->structVersion >= 2 && o->_class->construct &&
           o->_class->construct(o, args, n, r);
  }

  // The class of the page's own objects.
  static NPObject* HostAllocate(NPP, NPClass*) { return new HostObject(); }
  static void HostDeallocate(NPObject* o) { delete static_cast<HostObject*>(o); }
  static HostObject* Host(NPObject* o) { return static_cast<HostObject*>(o); }
  static bool HostHasProperty(NPObject* o, NPIdentifier name) { return Host(o)->properties.count(name) != 0; }
  static bool HostGetProperty(NPObject* o, NPIdentifier name, NPVariant* r) {
    auto it = Host(o)->properties.find(name);
    if (it == Host(o)->properties.end()) {
      VOID_TO_NPVARIANT(*r);
      return false;
    }
    ToVariant(it->second, r);
    return true;
  }
  static bool HostSetProperty(NPObject* o, NPIdentifier name, const NPVariant* v) {
    PageValue value = FromVariant(*v);
    if (value.object != nullptr) RetainObject(value.object);
    PageValue& slot = Host(o)->properties[name];
    NPObject* old = slot.object;
    slot = value;
    ReleaseObject(old);
    return true;
  }
  static bool HostRemoveProperty(NPObject* o, NPIdentifier name) {
    auto it = Host(o)->properties.find(name);
    if (it == Host(o)->properties.end()) return false;
    NPObject* old = it->second.object;
    Host(o)->properties.erase(it);
    ReleaseObject(old);
    return true;
  }

  // A copy of the variant's value; an object is not retained here.
  static PageValue FromVariant(const NPVariant& v) {
    PageValue value;
    value.type = v.type;
    switch (v.type) {
      case NPVariantType_Bool: value.boolValue = v.value.boolValue; break;
      case NPVariantType_Int32: value.intValue = v.value.intValue; break;
      case NPVariantType_Double: value.doubleValue = v.value.doubleValue; break;
      case NPVariantType_String:
        if (v.value.stringValue.UTF8Characters != nullptr)
          value.text.assign(v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length);
        break;
      case NPVariantType_Object: value.object = v.value.objectValue; break;
      default: break;
    }
    return value;
  }
  // A variant that the receiver owns: strings in memalloc blocks, objects retained.
  static void ToVariant(const PageValue& value, NPVariant* r) {
    VOID_TO_NPVARIANT(*r);
    r->type = value.type;
    switch (value.type) {
      case NPVariantType_Bool: r->value.boolValue = value.boolValue; break;
      case NPVariantType_Int32: r->value.intValue = value.intValue; break;
      case NPVariantType_Double: r->value.doubleValue = value.doubleValue; break;
      case NPVariantType_String: {
        char* chars = static_cast<char*>(MemAlloc(static_cast<uint32_t>(value.text.size() + 1)));
        if (chars == nullptr) {
          VOID_TO_NPVARIANT(*r);
          break;
        }
        memcpy(chars, value.text.c_str(), value.text.size() + 1);
        STRINGN_TO_NPVARIANT(chars, static_cast<uint32_t>(value.text.size()), *r);
        break;
      }
      case NPVariantType_Object: r->value.objectValue = RetainObject(value.object); break;
      default: break;
    }
  }

  static NPClass hostClass;
};

NPClass BrowserCallbacks::hostClass = {
    NP_CLASS_STRUCT_VERSION,         BrowserCallbacks::HostAllocate,
    BrowserCallbacks::HostDeallocate, nullptr,
    nullptr,                          nullptr,
    nullptr,                          BrowserCallbacks::HostHasProperty,
    BrowserCallbacks::HostGetProperty, BrowserCallbacks::HostSetProperty,
    BrowserCallbacks::HostRemoveProperty, nullptr,
    nullptr,
};

Browser* Browser::current() { return g_current; }

Browser::Browser() {
  g_current = this;
  memset(&plugin_, 0, sizeof plugin_);
  FillFuncs();
  window_ = CreateHostObject();
  document_ = CreateHostObject();
  PageValue doc;
  doc.type = NPVariantType_Object;
  doc.object = document_;
  SetProperty(window_, "document", doc);
}

Browser::~Browser() {
  Stop();
  if (g_current == this) g_current = nullptr;
}

void Browser::FillFuncs() {
  using C = BrowserCallbacks;
  memset(&funcs_, 0, sizeof funcs_);
  funcs_.size = sizeof funcs_;
  funcs_.version = 19;  // major 0, minor 19
  funcs_.memalloc = C::MemAlloc;
  funcs_.memfree = C::MemFree;
  funcs_.getvalue = C::GetValue;
  funcs_.setvalue = C::SetValue;
  funcs_.getstringidentifier = C::GetStringIdentifier;
  funcs_.getstringidentifiers = C::GetStringIdentifiers;
  funcs_.getintidentifier = C::GetIntIdentifier;
  funcs_.identifierisstring = C::IdentifierIsString;
  funcs_.utf8fromidentifier = C::UTF8FromIdentifier;
  funcs_.intfromidentifier = C::IntFromIdentifier;
  funcs_.createobject = C::CreateObject;
  funcs_.retainobject = C::RetainObject;
  funcs_.releaseobject = C::ReleaseObject;
  funcs_.invoke = C::Invoke;
  funcs_.invokeDefault = C::InvokeDefault;
  funcs_.evaluate = C::Evaluate;
  funcs_.getproperty = C::GetProperty;
  funcs_.setproperty = C::SetProperty;
  funcs_.removeproperty = C::RemoveProperty;
  funcs_.hasproperty = C::HasProperty;
  funcs_.hasmethod = C::HasMethod;
  funcs_.releasevariantvalue = C::ReleaseVariantValue;
  funcs_.setexception = C::SetException;
  funcs_.enumerate = C::Enumerate;
  funcs_.construct = C::Construct;
}

NPObject* Browser::CreateHostObject() { return BrowserCallbacks::CreateObject(nullptr, &BrowserCallbacks::hostClass); }

bool Browser::Start(const std::string& path) {
  if (!library_.Load(path)) {
    lastError_ = -1;
    return false;
  }
  memset(&plugin_, 0, sizeof plugin_);
  plugin_.size = sizeof plugin_;
  lastError_ = library_.GetEntryPoints(&plugin_, &funcs_);
  if (lastError_ == NPERR_NO_ERROR) lastError_ = library_.Initialize(&funcs_);
  started_ = lastError_ == NPERR_NO_ERROR;
  return started_;
}

void Browser::Stop() {
  for (NPP instance : std::set<NPP>(instances_)) DestroyInstance(instance);
  ClosePage();
  if (started_) library_.Shutdown();
  started_ = false;
  library_.Unload();
}

void Browser::ClosePage() {
  for (NPObject* object : {window_, document_}) {
    if (object == nullptr || object->_class != &BrowserCallbacks::hostClass) continue;
    auto* host = static_cast<HostObject*>(object);
    std::vector<NPObject*> held;
    for (auto& entry : host->properties) {
      if (entry.second.object != nullptr) held.push_back(entry.second.object);
    }
    host->properties.clear();
    for (NPObject* o : held) BrowserCallbacks::ReleaseObject(o);
  }
  BrowserCallbacks::ReleaseObject(document_);
  BrowserCallbacks::ReleaseObject(window_);
  document_ = nullptr;
  window_ = nullptr;
}

void Browser::UseWindowObject(NPObject* window) {
  ClosePage();
  window_ = BrowserCallbacks::RetainObject(window);
}

NPIdentifier Browser::Id(const char* name) const { return BrowserCallbacks::GetStringIdentifier(name); }

bool Browser::IdentifierName(NPIdentifier id, std::string* text, int32_t* number) {
  if (id == nullptr) return false;
  const Identifier* identifier = AsIdentifier(id);
  if (text != nullptr) *text = identifier->text;
  if (number != nullptr) *number = identifier->number;
  return identifier->isString;
}

void Browser::SetTitle(const std::string& title) {
  if (document_ == nullptr) return;
  PageValue value;
  value.type = NPVariantType_String;
  value.text = title;
  SetProperty(document_, "title", value);
}

void Browser::SetDocumentValue(int32_t number) {
  PageValue value;
  value.type = NPVariantType_Int32;
  value.intValue = number;
  SetProperty(window_, "document", value);
}

void Browser::SetPageUrl(const std::string& url) {
  if (window_ == nullptr) return;
  if (url.empty()) {
    BrowserCallbacks::RemoveProperty(nullptr, window_, Id("location"));
    return;
  }
  PageValue location;
  location.type = NPVariantType_Object;
  location.object = CreateHostObject();
  PageValue href;
  href.type = NPVariantType_String;
  href.text = url;
  SetProperty(location.object, "href", href);
  SetProperty(window_, "location", location);
  BrowserCallbacks::ReleaseObject(location.object);  // the window holds it now
}

PageValue Browser::Property(NPObject* object, const char* name) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  if (!BrowserCallbacks::GetProperty(nullptr, object, Id(name), &v)) return PageValue();
  return TakeVariant(&v);
}

bool Browser::HasOwnProperty(NPObject* object, const char* name) {
  return BrowserCallbacks::HasProperty(nullptr, object, Id(name));
}

void Browser::SetProperty(NPObject* object, const char* name, const PageValue& value) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  v.type = value.type;
  switch (value.type) {
    case NPVariantType_Int32: v.value.intValue = value.intValue; break;
    case NPVariantType_Bool: v.value.boolValue = value.boolValue; break;
    case NPVariantType_Double: v.value.doubleValue = value.doubleValue; break;
    case NPVariantType_String:
      STRINGN_TO_NPVARIANT(value.text.c_str(), static_cast<uint32_t>(value.text.size()), v);
      break;
    case NPVariantType_Object: v.value.objectValue = value.object; break;
    default: break;
  }
  BrowserCallbacks::SetProperty(nullptr, object, Id(name), &v);
}

PageValue Browser::TakeVariant(NPVariant* v) {
  PageValue value = BrowserCallbacks::FromVariant(*v);
  // The page keeps an object only as long as the caller looks at it: no reference is taken, so
  // the value's object is valid while something else holds it.
  value.object = nullptr;
  if (v->type == NPVariantType_Object) value.object = v->value.objectValue;
  BrowserCallbacks::ReleaseVariantValue(v);
  return value;
}

NPP Browser::NewInstance(NPError* error) {
  NPP instance = new NPP_t{nullptr, nullptr};
  char mime[] = "application/mirovanplugin";
  const NPError err = plugin_.newp ? plugin_.newp(mime, instance, 1, 0, nullptr, nullptr, nullptr)
                                   : NPERR_INVALID_PLUGIN_ERROR;
  if (error != nullptr) *error = err;
  if (err != NPERR_NO_ERROR) {
    delete instance;
    return nullptr;
  }
  instances_.insert(instance);
  return instance;
}

NPError Browser::DestroyInstance(NPP instance) {
  const NPError err = plugin_.destroy(instance, nullptr);
  if (instances_.erase(instance) != 0) delete instance;
  return err;
}

NPError Browser::SetWindow(NPP instance, void* nativeWindow, uint32_t width, uint32_t height) {
  NPWindow window;
  memset(&window, 0, sizeof window);
  window.window = nativeWindow;
  window.width = width;
  window.height = height;
  window.clipRect.right = static_cast<uint16_t>(width);
  window.clipRect.bottom = static_cast<uint16_t>(height);
  window.type = NPWindowTypeWindow;
  return plugin_.setwindow(instance, &window);
}

NPObject* Browser::ScriptableObject(NPP instance, NPError* error) {
  NPObject* object = nullptr;
  const NPError err = plugin_.getvalue(instance, NPPVpluginScriptableNPObject, &object);
  if (error != nullptr) *error = err;
  return object;
}

bool Browser::Invoke(NPObject* object, const char* method, const std::vector<NPVariant>& args, PageValue* result) {
  NPVariant r;
  VOID_TO_NPVARIANT(r);
  const bool ok = BrowserCallbacks::Invoke(nullptr, object, Id(method), args.data(),
                                           static_cast<uint32_t>(args.size()), &r);
  PageValue value = TakeVariant(&r);
  if (result != nullptr) *result = value;
  return ok;
}

bool Browser::InvokeDefault(NPObject* object, const std::vector<NPVariant>& args, PageValue* result) {
  NPVariant r;
  VOID_TO_NPVARIANT(r);
  const bool ok = BrowserCallbacks::InvokeDefault(nullptr, object, args.data(),
                                                  static_cast<uint32_t>(args.size()), &r);
  PageValue value = TakeVariant(&r);
  if (result != nullptr) *result = value;
  return ok;
}

NPVariant Browser::StringArg(const char* utf8) { return StringArg(utf8, strlen(utf8)); }

NPVariant Browser::StringArg(const char* utf8, size_t length) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  STRINGN_TO_NPVARIANT(utf8, static_cast<uint32_t>(length), v);
  return v;
}

NPVariant Browser::IntArg(int32_t number) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  INT32_TO_NPVARIANT(number, v);
  return v;
}

NPVariant Browser::ObjectArg(NPObject* object) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  OBJECT_TO_NPVARIANT(object, v);
  return v;
}

}  // namespace host
