#include "tools/nphost/script_host.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <vector>

#include "host/browser.h"
#include "duktape.h"
#include "tools/nphost/process_memory.h"

extern const char kEventLoopScript[];  // event_loop.cpp

namespace {

ScriptHost* g_host = nullptr;

// Hidden keys (never seen by page script, never passed to proxy traps).
#define KEY_NPOBJECT DUK_HIDDEN_SYMBOL("npobject")  // on a proxy's target: the NPObject pointer
#define KEY_HOLDER DUK_HIDDEN_SYMBOL("holder")      // on a method function: the proxy's target
#define KEY_NAME DUK_HIDDEN_SYMBOL("name")          // on a method function: the method name
#define KEY_METHODS DUK_HIDDEN_SYMBOL("methods")    // on a proxy's target: method functions made
#define STASH_OBJECTS "objects"                     // heap stash: script objects lent to the plug-in
#define STASH_HANDLER "handler"                     // heap stash: the proxy handler of plug-in objects
#define STASH_ELEMENTS "elements"                   // heap stash: elements by id
#define STASH_RUN_QUEUED "runQueued"                // heap stash: the event loop's runner

// Script objects that the plug-in holds: an NPObject of the host's class naming a stash slot.
struct ScriptObject : NPObject {
  uint32_t slot = 0;
};

uint32_t g_nextSlot = 1;

}  // namespace

// Everything that needs both the engine and the browser.
struct Bridge {
  static duk_context* Ctx() { return g_host->ctx_; }
  static NPNetscapeFuncs& Funcs() { return g_host->browser_.funcs(); }

  // --- the host's NPClass: script objects seen from the plug-in ---
  static NPClass scriptClass;

  static NPObject* Allocate(NPP, NPClass*) { return new ScriptObject(); }
  static void Deallocate(NPObject* object) {
    auto* o = static_cast<ScriptObject*>(object);
    if (g_host != nullptr && g_host->ctx_ != nullptr) {
      duk_context* ctx = Ctx();
      duk_push_heap_stash(ctx);
      duk_get_prop_string(ctx, -1, STASH_OBJECTS);
      duk_del_prop_index(ctx, -1, o->slot);
      duk_pop_2(ctx);
    }
    delete o;
  }
  // Pushes the script object behind an NPObject of the host's class.
  static void PushScriptObject(duk_context* ctx, NPObject* object) {
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, STASH_OBJECTS);
    duk_get_prop_index(ctx, -1, static_cast<ScriptObject*>(object)->slot);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
  }
  // Pushes the property key of an identifier.
  static void PushKey(duk_context* ctx, NPIdentifier id) {
    std::string text;
    int32_t number = 0;
    if (host::Browser::IdentifierName(id, &text, &number)) {
      duk_push_lstring(ctx, text.data(), text.size());
    } else {
      duk_push_int(ctx, number);
    }
  }

  // Runs f(ctx) protected: a script error inside becomes false (and is reported), never a longjmp
  // through the plug-in's frames.
  template <typename F>
  static bool Protected(F& f) {
    if (g_host == nullptr || g_host->ctx_ == nullptr) return false;
    duk_context* ctx = Ctx();
    const duk_int_t rc = duk_safe_call(
        ctx, [](duk_context* c, void* udata) -> duk_ret_t { return (*static_cast<F*>(udata))(c); }, &f, 0, 1);
    if (rc != DUK_EXEC_SUCCESS) {
      fprintf(stderr, "nphost: script error in a call from the plug-in: %s\n", duk_safe_to_string(ctx, -1));
    }
    const bool ok = rc == DUK_EXEC_SUCCESS && duk_to_boolean(ctx, -1);
    duk_pop(ctx);
    return ok;
  }

  static bool HasMethod(NPObject* o, NPIdentifier id) {
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      PushKey(ctx, id);
      duk_get_prop(ctx, -2);
      duk_push_boolean(ctx, duk_is_callable(ctx, -1));
      return 1;
    };
    return Protected(f);
  }
  static bool Invoke(NPObject* o, NPIdentifier id, const NPVariant* args, uint32_t count, NPVariant* result) {
    VOID_TO_NPVARIANT(*result);
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      PushKey(ctx, id);
      duk_get_prop(ctx, -2);  // [obj fn]
      duk_swap(ctx, -1, -2);  // [fn obj]
      for (uint32_t i = 0; i < count; ++i) PushVariant(ctx, args[i]);
      duk_call_method(ctx, static_cast<duk_idx_t>(count));
      ToVariant(ctx, -1, result);
      duk_push_true(ctx);
      return 1;
    };
    return Protected(f);
  }
  static bool InvokeDefault(NPObject* o, const NPVariant* args, uint32_t count, NPVariant* result) {
    VOID_TO_NPVARIANT(*result);
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      if (!duk_is_callable(ctx, -1)) return 0;
      duk_push_undefined(ctx);
      for (uint32_t i = 0; i < count; ++i) PushVariant(ctx, args[i]);
      duk_call_method(ctx, static_cast<duk_idx_t>(count));
      ToVariant(ctx, -1, result);
      duk_push_true(ctx);
      return 1;
    };
    return Protected(f);
  }
  static bool HasProperty(NPObject* o, NPIdentifier id) {
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      PushKey(ctx, id);
      duk_push_boolean(ctx, duk_has_prop(ctx, -2));
      return 1;
    };
    return Protected(f);
  }
  static bool GetProperty(NPObject* o, NPIdentifier id, NPVariant* result) {
    VOID_TO_NPVARIANT(*result);
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      PushKey(ctx, id);
      duk_get_prop(ctx, -2);
      ToVariant(ctx, -1, result);
      duk_push_true(ctx);
      return 1;
    };
    return Protected(f);
  }
  static bool SetProperty(NPObject* o, NPIdentifier id, const NPVariant* value) {
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      PushKey(ctx, id);
      PushVariant(ctx, *value);
      duk_put_prop(ctx, -3);
      duk_push_true(ctx);
      return 1;
    };
    return Protected(f);
  }
  static bool RemoveProperty(NPObject* o, NPIdentifier id) {
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      PushKey(ctx, id);
      duk_push_boolean(ctx, duk_del_prop(ctx, -2));
      return 1;
    };
    return Protected(f);
  }
  static bool Enumerate(NPObject* o, NPIdentifier** ids, uint32_t* count) {
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      std::vector<NPIdentifier> names;
      PushScriptObject(ctx, o);
      duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
      while (duk_next(ctx, -1, 0)) {
        names.push_back(Funcs().getstringidentifier(duk_to_string(ctx, -1)));
        duk_pop(ctx);
      }
      auto* block = static_cast<NPIdentifier*>(Funcs().memalloc(static_cast<uint32_t>(sizeof(NPIdentifier) * (names.size() + 1))));
      if (block == nullptr) return 0;
      for (size_t i = 0; i < names.size(); ++i) block[i] = names[i];
      *ids = block;
      *count = static_cast<uint32_t>(names.size());
      duk_push_true(ctx);
      return 1;
    };
    return Protected(f);
  }
  static bool Construct(NPObject* o, const NPVariant* args, uint32_t count, NPVariant* result) {
    VOID_TO_NPVARIANT(*result);
    auto f = [&](duk_context* ctx) -> duk_ret_t {
      PushScriptObject(ctx, o);
      for (uint32_t i = 0; i < count; ++i) PushVariant(ctx, args[i]);
      duk_new(ctx, static_cast<duk_idx_t>(count));
      ToVariant(ctx, -1, result);
      duk_push_true(ctx);
      return 1;
    };
    return Protected(f);
  }

  // --- conversions ---

  // A variant the receiver owns: strings in memalloc blocks, objects with a reference.
  static void ToVariant(duk_context* ctx, duk_idx_t idx, NPVariant* out) {
    VOID_TO_NPVARIANT(*out);
    switch (duk_get_type(ctx, idx)) {
      case DUK_TYPE_NULL: NULL_TO_NPVARIANT(*out); break;
      case DUK_TYPE_BOOLEAN:
        out->type = NPVariantType_Bool;
        out->value.boolValue = duk_get_boolean(ctx, idx) != 0;
        break;
      case DUK_TYPE_NUMBER: {
        const double d = duk_get_number(ctx, idx);
        if (d == floor(d) && d >= -2147483648.0 && d <= 2147483647.0 && !(d == 0 && signbit(d))) {
          INT32_TO_NPVARIANT(static_cast<int32_t>(d), *out);
        } else {
          out->type = NPVariantType_Double;
          out->value.doubleValue = d;
        }
        break;
      }
      case DUK_TYPE_STRING: {
        duk_size_t length = 0;
        const char* text = duk_get_lstring(ctx, idx, &length);
        char* copy = static_cast<char*>(Funcs().memalloc(static_cast<uint32_t>(length + 1)));
        if (copy == nullptr) break;
        memcpy(copy, text, length);
        copy[length] = '\0';
        STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(length), *out);
        break;
      }
      case DUK_TYPE_OBJECT: {
        NPObject* object = PluginObjectOf(ctx, idx);
        if (object != nullptr) {
          Funcs().retainobject(object);
        } else {
          object = LendScriptObject(ctx, idx);
        }
        if (object != nullptr) OBJECT_TO_NPVARIANT(object, *out);
        break;
      }
      default: break;  // undefined, buffers, pointers: void
    }
  }

  // The NPObject behind a proxy made by PushPluginObject, or null for any other value.
  static NPObject* PluginObjectOf(duk_context* ctx, duk_idx_t idx) {
    if (!duk_is_object(ctx, idx)) return nullptr;
    duk_get_prop_string(ctx, idx, KEY_NPOBJECT);
    NPObject* object = static_cast<NPObject*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return object;
  }

  // A new NPObject of the host's class for the script object at idx (one reference, the caller's).
  static NPObject* LendScriptObject(duk_context* ctx, duk_idx_t idx) {
    idx = duk_normalize_index(ctx, idx);
    NPObject* object = Funcs().createobject(nullptr, &scriptClass);
    if (object == nullptr) return nullptr;
    auto* o = static_cast<ScriptObject*>(object);
    o->slot = g_nextSlot++;
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, STASH_OBJECTS);
    duk_dup(ctx, idx);
    duk_put_prop_index(ctx, -2, o->slot);
    duk_pop_2(ctx);
    return object;
  }

  static void PushVariant(duk_context* ctx, const NPVariant& v) {
    switch (v.type) {
      case NPVariantType_Null: duk_push_null(ctx); break;
      case NPVariantType_Bool: duk_push_boolean(ctx, v.value.boolValue); break;
      case NPVariantType_Int32: duk_push_int(ctx, v.value.intValue); break;
      case NPVariantType_Double: duk_push_number(ctx, v.value.doubleValue); break;
      case NPVariantType_String:
        duk_push_lstring(ctx, v.value.stringValue.UTF8Characters ? v.value.stringValue.UTF8Characters : "",
                         v.value.stringValue.UTF8Length);
        break;
      case NPVariantType_Object:
        if (v.value.objectValue == nullptr) {
          duk_push_null(ctx);
        } else if (v.value.objectValue->_class == &scriptClass) {
          PushScriptObject(ctx, v.value.objectValue);
        } else {
          PushPluginObject(ctx, v.value.objectValue);
        }
        break;
      default: duk_push_undefined(ctx); break;
    }
  }

  // --- plug-in objects seen from script ---

  // Pushes a proxy for a plug-in object; the proxy holds a reference until it is collected.
  static void PushPluginObject(duk_context* ctx, NPObject* object) {
    duk_push_c_function(ctx, NotCalled, 0);  // a function target, so that the proxy is callable
    duk_push_pointer(ctx, Funcs().retainobject(object));
    duk_put_prop_string(ctx, -2, KEY_NPOBJECT);
    duk_push_c_function(ctx, FinalizePluginObject, 1);
    duk_set_finalizer(ctx, -2);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, STASH_HANDLER);
    duk_remove(ctx, -2);
    duk_push_proxy(ctx, 0);
  }
  static duk_ret_t NotCalled(duk_context*) { return 0; }
  static duk_ret_t FinalizePluginObject(duk_context* ctx) {
    duk_get_prop_string(ctx, 0, KEY_NPOBJECT);
    NPObject* object = static_cast<NPObject*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    if (object == nullptr) return 0;
    duk_push_pointer(ctx, nullptr);
    duk_put_prop_string(ctx, 0, KEY_NPOBJECT);
    Funcs().releaseobject(object);
    return 0;
  }
  static NPObject* TargetObject(duk_context* ctx, duk_idx_t target) {
    duk_get_prop_string(ctx, target, KEY_NPOBJECT);
    NPObject* object = static_cast<NPObject*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return object;
  }

  // Converts the count values from index first on into variants the caller releases.
  static void ArgumentsFrom(duk_context* ctx, duk_idx_t first, duk_idx_t count, std::vector<NPVariant>* args) {
    args->resize(static_cast<size_t>(count));
    for (duk_idx_t i = 0; i < count; ++i) ToVariant(ctx, first + i, &(*args)[static_cast<size_t>(i)]);
  }
  static void ReleaseAll(std::vector<NPVariant>* args) {
    for (NPVariant& v : *args) Funcs().releasevariantvalue(&v);
  }

  // get trap: [target key receiver]
  static duk_ret_t TrapGet(duk_context* ctx) {
    if (duk_is_symbol(ctx, 1) || !duk_is_string(ctx, 1)) return 0;
    NPObject* object = TargetObject(ctx, 0);
    if (object == nullptr) return 0;
    const char* name = duk_get_string(ctx, 1);
    NPIdentifier id = Funcs().getstringidentifier(name);
    if (Funcs().hasmethod(nullptr, object, id)) {
      PushMethod(ctx, 0, 1);
      return 1;
    }
    if (Funcs().hasproperty(nullptr, object, id)) {
      NPVariant value;
      VOID_TO_NPVARIANT(value);
      if (!Funcs().getproperty(nullptr, object, id, &value)) return 0;
      PushVariant(ctx, value);
      Funcs().releasevariantvalue(&value);
      return 1;
    }
    if (strcmp(name, "toString") == 0) {
      duk_push_c_function(ctx, ObjectToString, 0);
      return 1;
    }
    return 0;
  }
  static duk_ret_t ObjectToString(duk_context* ctx) {
    duk_push_string(ctx, "[object NPObject]");
    return 1;
  }
  // Pushes the method function of name (index nameIdx) for the proxy target at targetIdx; one
  // function per name and object, kept on the target.
  static void PushMethod(duk_context* ctx, duk_idx_t targetIdx, duk_idx_t nameIdx) {
    if (!duk_get_prop_string(ctx, targetIdx, KEY_METHODS)) {
      duk_pop(ctx);
      duk_push_bare_object(ctx);
      duk_dup_top(ctx);
      duk_put_prop_string(ctx, targetIdx, KEY_METHODS);
    }
    duk_dup(ctx, nameIdx);
    if (duk_get_prop(ctx, -2)) {
      duk_remove(ctx, -2);
      return;
    }
    duk_pop(ctx);
    duk_push_c_function(ctx, CallMethod, DUK_VARARGS);
    duk_dup(ctx, targetIdx);
    duk_put_prop_string(ctx, -2, KEY_HOLDER);
    duk_dup(ctx, nameIdx);
    duk_put_prop_string(ctx, -2, KEY_NAME);
    duk_dup(ctx, nameIdx);
    duk_dup(ctx, -2);
    duk_put_prop(ctx, -4);  // methods[name] = fn
    duk_remove(ctx, -2);
  }
  // A method function: NPN invoke with the call's arguments.
  static duk_ret_t CallMethod(duk_context* ctx) {
    const duk_idx_t count = duk_get_top(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, KEY_HOLDER);
    NPObject* object = TargetObject(ctx, -1);
    duk_get_prop_string(ctx, -2, KEY_NAME);
    NPIdentifier id = Funcs().getstringidentifier(duk_get_string(ctx, -1));
    duk_pop_3(ctx);
    if (object == nullptr) return duk_error(ctx, DUK_ERR_ERROR, "plug-in object is gone");
    const bool ok = CallWithArguments(ctx, 0, count, [&](const NPVariant* args, uint32_t n, NPVariant* result) {
      return Funcs().invoke(nullptr, object, id, args, n, result);
    });
    if (!ok) return duk_error(ctx, DUK_ERR_ERROR, "Error calling method on NPObject.");
    return 1;
  }
  // Converts count script values from index first into variants, makes the plug-in call and pushes
  // its result when the call succeeded. The variants are released before the caller may raise a
  // script error (which does not return).
  template <typename Call>
  static bool CallWithArguments(duk_context* ctx, duk_idx_t first, duk_idx_t count, Call call) {
    std::vector<NPVariant> args;
    ArgumentsFrom(ctx, first, count, &args);
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    const bool ok = call(args.data(), static_cast<uint32_t>(args.size()), &result);
    ReleaseAll(&args);
    if (ok) PushVariant(ctx, result);
    Funcs().releasevariantvalue(&result);
    return ok;
  }
  // Pushes the elements of the array at index array; returns the stack index of the first.
  static duk_idx_t SpreadArray(duk_context* ctx, duk_idx_t array, duk_idx_t* count) {
    *count = static_cast<duk_idx_t>(duk_get_length(ctx, array));
    for (duk_idx_t i = 0; i < *count; ++i) duk_get_prop_index(ctx, array, static_cast<duk_uarridx_t>(i));
    return duk_get_top(ctx) - *count;
  }
  // apply trap: [target thisArg argArray]
  static duk_ret_t TrapApply(duk_context* ctx) {
    NPObject* object = TargetObject(ctx, 0);
    if (object == nullptr) return duk_error(ctx, DUK_ERR_ERROR, "plug-in object is gone");
    duk_idx_t count = 0;
    const duk_idx_t first = SpreadArray(ctx, 2, &count);
    const bool ok = CallWithArguments(ctx, first, count, [&](const NPVariant* args, uint32_t n, NPVariant* result) {
      return Funcs().invokeDefault(nullptr, object, args, n, result);
    });
    if (!ok) return duk_error(ctx, DUK_ERR_ERROR, "Error calling method on NPObject.");
    return 1;
  }
  // construct trap: [target argArray newTarget]
  static duk_ret_t TrapConstruct(duk_context* ctx) {
    NPObject* object = TargetObject(ctx, 0);
    if (object == nullptr) return duk_error(ctx, DUK_ERR_ERROR, "plug-in object is gone");
    duk_idx_t count = 0;
    const duk_idx_t first = SpreadArray(ctx, 1, &count);
    const bool ok = CallWithArguments(ctx, first, count, [&](const NPVariant* args, uint32_t n, NPVariant* result) {
      return Funcs().construct(nullptr, object, args, n, result) && result->type == NPVariantType_Object;
    });
    if (!ok) return duk_error(ctx, DUK_ERR_TYPE_ERROR, "plug-in object is not a constructor");
    return 1;
  }
  // set trap: [target key value receiver]
  static duk_ret_t TrapSet(duk_context* ctx) {
    NPObject* object = TargetObject(ctx, 0);
    bool ok = false;
    if (object != nullptr && duk_is_string(ctx, 1) && !duk_is_symbol(ctx, 1)) {
      NPVariant value;
      ToVariant(ctx, 2, &value);
      ok = Funcs().setproperty(nullptr, object, Funcs().getstringidentifier(duk_get_string(ctx, 1)), &value);
      Funcs().releasevariantvalue(&value);
    }
    duk_push_boolean(ctx, ok);
    return 1;
  }
  // has trap: [target key]
  static duk_ret_t TrapHas(duk_context* ctx) {
    NPObject* object = TargetObject(ctx, 0);
    bool found = false;
    if (object != nullptr && duk_is_string(ctx, 1) && !duk_is_symbol(ctx, 1)) {
      NPIdentifier id = Funcs().getstringidentifier(duk_get_string(ctx, 1));
      found = Funcs().hasproperty(nullptr, object, id) || Funcs().hasmethod(nullptr, object, id);
    }
    duk_push_boolean(ctx, found);
    return 1;
  }
  // deleteProperty trap: [target key]
  static duk_ret_t TrapDelete(duk_context* ctx) {
    NPObject* object = TargetObject(ctx, 0);
    bool removed = false;
    if (object != nullptr && duk_is_string(ctx, 1) && !duk_is_symbol(ctx, 1)) {
      removed = Funcs().removeproperty(nullptr, object, Funcs().getstringidentifier(duk_get_string(ctx, 1)));
    }
    duk_push_boolean(ctx, removed);
    return 1;
  }

  // --- the page's globals ---

  static duk_ret_t ConsoleLog(duk_context* ctx) { return Print(ctx, stdout, nullptr); }
  static duk_ret_t ConsoleError(duk_context* ctx) { return Print(ctx, stderr, nullptr); }
  static duk_ret_t Alert(duk_context* ctx) { return Print(ctx, stdout, "alert: "); }
  static duk_ret_t Print(duk_context* ctx, FILE* out, const char* prefix) {
    const duk_idx_t count = duk_get_top(ctx);
    std::string line = prefix != nullptr ? prefix : "";
    for (duk_idx_t i = 0; i < count; ++i) {
      if (i > 0) line += ' ';
      line += duk_safe_to_string(ctx, i);
    }
    line += '\n';
    fwrite(line.data(), 1, line.size(), out);
    fflush(out);
    return 0;
  }
  static duk_ret_t GetElementById(duk_context* ctx) {
    const char* id = duk_safe_to_string(ctx, 0);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, STASH_ELEMENTS);
    if (!duk_get_prop_string(ctx, -1, id)) {
      duk_push_null(ctx);
    }
    return 1;
  }
  // nphost.counters(): what the browser side counts, and the process memory.
  static duk_ret_t Counters(duk_context* ctx) {
    host::Browser& b = g_host->browser_;
    duk_push_object(ctx);
    duk_push_number(ctx, static_cast<double>(b.LiveObjects()));
    duk_put_prop_string(ctx, -2, "objects");
    duk_push_number(ctx, static_cast<double>(b.OutstandingBlocks()));
    duk_put_prop_string(ctx, -2, "blocks");
    duk_push_number(ctx, static_cast<double>(b.BadFrees()));
    duk_put_prop_string(ctx, -2, "badFrees");
    duk_push_number(ctx, static_cast<double>(b.ReleasesOfDeadObjects()));
    duk_put_prop_string(ctx, -2, "deadReleases");
    duk_push_number(ctx, static_cast<double>(ProcessMemory_ResidentKb()));
    duk_put_prop_string(ctx, -2, "residentKb");
    return 1;
  }
  static duk_ret_t Now(duk_context* ctx) {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    duk_push_number(ctx, duration<double, std::milli>(steady_clock::now() - start).count());
    return 1;
  }
  static duk_ret_t GarbageCollect(duk_context* ctx) {
    duk_gc(ctx, 0);
    duk_gc(ctx, 0);
    return 0;
  }
  // nphost.windowProperty(name): the window's property read the way the plug-in reads it, through
  // NPN_GetProperty on the browser's window NPObject.
  static duk_ret_t WindowProperty(duk_context* ctx) {
    host::Browser& b = g_host->browser_;
    NPVariant value;
    VOID_TO_NPVARIANT(value);
    if (b.window() == nullptr ||
        !Funcs().getproperty(nullptr, b.window(), Funcs().getstringidentifier(duk_safe_to_string(ctx, 0)), &value)) {
      return 0;
    }
    PushVariant(ctx, value);
    Funcs().releasevariantvalue(&value);
    return 1;
  }

  static void PutFunction(duk_context* ctx, const char* name, duk_c_function fn, duk_idx_t args) {
    duk_push_c_function(ctx, fn, args);
    duk_put_prop_string(ctx, -2, name);
  }
};

NPClass Bridge::scriptClass = {
    NP_CLASS_STRUCT_VERSION, Bridge::Allocate,       Bridge::Deallocate,  nullptr,
    Bridge::HasMethod,       Bridge::Invoke,         Bridge::InvokeDefault, Bridge::HasProperty,
    Bridge::GetProperty,     Bridge::SetProperty,    Bridge::RemoveProperty, Bridge::Enumerate,
    Bridge::Construct,
};

ScriptHost::ScriptHost(host::Browser& browser) : browser_(browser) {
  ctx_ = duk_create_heap_default();
  if (ctx_ == nullptr) return;
  g_host = this;
  duk_context* ctx = ctx_;
  duk_push_heap_stash(ctx);
  duk_push_bare_object(ctx);
  duk_put_prop_string(ctx, -2, STASH_OBJECTS);
  duk_push_bare_object(ctx);
  duk_put_prop_string(ctx, -2, STASH_ELEMENTS);
  duk_push_object(ctx);  // the proxy handler of plug-in objects
  Bridge::PutFunction(ctx, "get", Bridge::TrapGet, 3);
  Bridge::PutFunction(ctx, "set", Bridge::TrapSet, 4);
  Bridge::PutFunction(ctx, "has", Bridge::TrapHas, 2);
  Bridge::PutFunction(ctx, "deleteProperty", Bridge::TrapDelete, 2);
  Bridge::PutFunction(ctx, "apply", Bridge::TrapApply, 3);
  Bridge::PutFunction(ctx, "construct", Bridge::TrapConstruct, 3);
  duk_put_prop_string(ctx, -2, STASH_HANDLER);
  duk_pop(ctx);
}

ScriptHost::~ScriptHost() { Shutdown(); }

void ScriptHost::Shutdown() {
  if (ctx_ == nullptr) return;
  duk_destroy_heap(ctx_);  // runs the finalizers: plug-in objects held by script are released
  ctx_ = nullptr;
  if (g_host == this) g_host = nullptr;
}

void ScriptHost::SetUpPage(const Page& page) {
  duk_context* ctx = ctx_;
  duk_push_global_object(ctx);
  duk_dup_top(ctx);
  duk_put_prop_string(ctx, -2, "window");
  duk_dup_top(ctx);
  duk_put_prop_string(ctx, -2, "self");
  Bridge::PutFunction(ctx, "alert", Bridge::Alert, DUK_VARARGS);

  duk_push_object(ctx);
  Bridge::PutFunction(ctx, "log", Bridge::ConsoleLog, DUK_VARARGS);
  Bridge::PutFunction(ctx, "info", Bridge::ConsoleLog, DUK_VARARGS);
  Bridge::PutFunction(ctx, "warn", Bridge::ConsoleError, DUK_VARARGS);
  Bridge::PutFunction(ctx, "error", Bridge::ConsoleError, DUK_VARARGS);
  duk_put_prop_string(ctx, -2, "console");

  duk_push_object(ctx);
  duk_push_lstring(ctx, page.title.data(), page.title.size());
  duk_put_prop_string(ctx, -2, "title");
  Bridge::PutFunction(ctx, "getElementById", Bridge::GetElementById, 1);
  duk_put_prop_string(ctx, -2, "document");

  if (!page.url.empty()) {
    duk_push_object(ctx);
    duk_push_lstring(ctx, page.url.data(), page.url.size());
    duk_put_prop_string(ctx, -2, "href");
    const size_t query = page.url.find('?');
    duk_push_string(ctx, query == std::string::npos ? "" : page.url.substr(query, page.url.find('#', query) - query).c_str());
    duk_put_prop_string(ctx, -2, "search");
    duk_put_prop_string(ctx, -2, "location");
  }

  duk_push_object(ctx);
  Bridge::PutFunction(ctx, "counters", Bridge::Counters, 0);
  Bridge::PutFunction(ctx, "now", Bridge::Now, 0);
  Bridge::PutFunction(ctx, "gc", Bridge::GarbageCollect, 0);
  Bridge::PutFunction(ctx, "windowProperty", Bridge::WindowProperty, 1);
#if defined(_WIN32)
  duk_push_string(ctx, "win32");
#else
  duk_push_string(ctx, "native");
#endif
  duk_put_prop_string(ctx, -2, "platform");
  duk_put_prop_string(ctx, -2, "nphost");
  duk_pop(ctx);

  // Promise and setTimeout, and the function that runs what they queued.
  duk_push_heap_stash(ctx);
  duk_push_string(ctx, "nphost event loop");
  if (duk_pcompile_string_filename(ctx, DUK_COMPILE_EVAL, kEventLoopScript) == 0 && duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS) {
    duk_put_prop_string(ctx, -2, STASH_RUN_QUEUED);
  } else {
    fprintf(stderr, "nphost: event loop: %s\n", duk_safe_to_string(ctx, -1));
    duk_pop(ctx);
  }
  duk_pop(ctx);

  // Plain elements: objects with the element's id, tag, attributes and text.
  duk_push_heap_stash(ctx);
  duk_get_prop_string(ctx, -1, STASH_ELEMENTS);
  for (const PageElement& e : page.elements) {
    duk_push_object(ctx);
    for (const auto& a : e.attributes) {
      duk_push_lstring(ctx, a.second.data(), a.second.size());
      duk_put_prop_string(ctx, -2, a.first.c_str());
    }
    duk_push_string(ctx, e.tag.c_str());
    duk_put_prop_string(ctx, -2, "tagName");
    duk_push_lstring(ctx, e.text.data(), e.text.size());
    duk_put_prop_string(ctx, -2, "textContent");
    duk_put_prop_string(ctx, -2, e.Attribute("id").c_str());
  }
  duk_pop_2(ctx);
}

NPObject* ScriptHost::NewWindowObject() {
  duk_push_global_object(ctx_);
  NPObject* window = Bridge::LendScriptObject(ctx_, -1);
  duk_pop(ctx_);
  return window;
}

void ScriptHost::ListPlugin(const std::string& mime, const std::string& version) {
  duk_context* ctx = ctx_;
  duk_push_global_object(ctx);
  duk_push_object(ctx);  // navigator
  duk_push_object(ctx);  // its mimeTypes
  duk_push_object(ctx);  // the type
  duk_push_object(ctx);  // the plug-in that handles it
  duk_push_string(ctx, version.c_str());
  duk_put_prop_string(ctx, -2, "version");
  duk_put_prop_string(ctx, -2, "enabledPlugin");
  duk_put_prop_string(ctx, -2, mime.c_str());
  duk_put_prop_string(ctx, -2, "mimeTypes");
  duk_put_prop_string(ctx, -2, "navigator");
  duk_pop(ctx);
}

void ScriptHost::AddPluginElement(const std::string& id, NPObject* scriptable) {
  duk_context* ctx = ctx_;
  duk_push_heap_stash(ctx);
  duk_get_prop_string(ctx, -1, STASH_ELEMENTS);
  if (scriptable != nullptr) {
    Bridge::PushPluginObject(ctx, scriptable);
    browser_.funcs().releaseobject(scriptable);  // the proxy holds its own reference
  } else {
    duk_push_null(ctx);
  }
  duk_put_prop_string(ctx, -2, id.c_str());
  duk_pop_2(ctx);
}

namespace {

// "file:line: message" of the error on the stack top. The line is the one the engine blames;
// for errors raised in host functions the stack trace names the script line that called them.
std::string ErrorText(duk_context* ctx, const std::string& fileName) {
  duk_dup_top(ctx);
  const std::string text = duk_safe_to_string(ctx, -1);
  duk_pop(ctx);
  int line = 0;
  std::string where = fileName;
  if (duk_is_error(ctx, -1)) {
    duk_get_prop_string(ctx, -1, "stack");
    const std::string stack = duk_safe_to_string(ctx, -1);
    duk_pop(ctx);
    // First stack entry in a script file: "at name (file:line)".
    const std::string marker = fileName + ":";
    const size_t at = stack.find(marker);
    if (at != std::string::npos) line = atoi(stack.c_str() + at + marker.size());
    if (line == 0) {
      duk_get_prop_string(ctx, -1, "lineNumber");
      line = duk_get_int(ctx, -1);
      duk_pop(ctx);
    }
  }
  return where + ":" + std::to_string(line) + ": " + text;
}

}  // namespace

bool ScriptHost::Run(const PageScript& script) {
  duk_context* ctx = ctx_;
  // Leading newlines put the code on its own lines of the file, so that errors name file lines.
  const std::string code = std::string(static_cast<size_t>(script.firstLine > 1 ? script.firstLine - 1 : 0), '\n') + script.code;
  duk_push_string(ctx, script.fileName.c_str());
  bool ok = duk_pcompile_lstring_filename(ctx, 0, code.data(), code.size()) == 0;
  if (ok) ok = duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
  if (!ok) {
    ++errors_;
    fprintf(stderr, "nphost: script error: %s\n", ErrorText(ctx, script.fileName).c_str());
  }
  duk_pop(ctx);
  return RunQueued(script.fileName) && ok;
}

bool ScriptHost::RunQueued(const std::string& fileName) {
  duk_context* ctx = ctx_;
  duk_push_heap_stash(ctx);
  if (!duk_get_prop_string(ctx, -1, STASH_RUN_QUEUED)) {
    duk_pop_2(ctx);
    return true;
  }
  const bool ok = duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
  if (!ok) {
    ++errors_;
    fprintf(stderr, "nphost: script error: %s\n", ErrorText(ctx, fileName).c_str());
  }
  duk_pop_2(ctx);
  return ok;
}

bool ScriptHost::Evaluate(const char* text, uint32_t length, NPVariant* result) {
  duk_context* ctx = ctx_;
  if (result != nullptr) VOID_TO_NPVARIANT(*result);
  duk_push_string(ctx, "NPN_Evaluate");
  bool ok = duk_pcompile_lstring_filename(ctx, DUK_COMPILE_EVAL, text, length) == 0;
  if (ok) ok = duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
  if (ok && result != nullptr) Bridge::ToVariant(ctx, -1, result);
  if (!ok) fprintf(stderr, "nphost: NPN_Evaluate: %s\n", duk_safe_to_string(ctx, -1));
  duk_pop(ctx);
  return ok;
}

int ScriptHost::Verdict() {
  duk_push_global_object(ctx_);
  duk_get_prop_string(ctx_, -1, "pageVerdict");
  const int verdict = duk_is_boolean(ctx_, -1) ? (duk_get_boolean(ctx_, -1) ? 1 : 0) : -1;
  duk_pop_2(ctx_);
  return verdict;
}
