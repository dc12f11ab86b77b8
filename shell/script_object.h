// The base of every script object: the NPObject header, the instance handle and one virtual
// operation per NPClass member with safe default answers; static adapters turn the browser's
// NPClass calls into virtual calls.
#pragma once

#include "npapi/npapi.h"

class ScriptObjectBase : public NPObject {
 public:
  explicit ScriptObjectBase(NPP instance);
  virtual ~ScriptObjectBase();

  virtual void invalidate();
  virtual bool hasMethod(NPIdentifier name);
  virtual bool invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount, NPVariant* result);
  virtual bool invokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result);
  virtual bool hasProperty(NPIdentifier name);
  virtual bool getProperty(NPIdentifier name, NPVariant* result);
  virtual bool setProperty(NPIdentifier name, const NPVariant* value);
  virtual bool removeProperty(NPIdentifier name);
  virtual bool enumerate(NPIdentifier** identifiers, uint32_t* count);
  virtual bool construct(const NPVariant* args, uint32_t argCount, NPVariant* result);

  // Adapters with the NPClass signatures, shared by every class derived from this one.
  static void Deallocate(NPObject* obj);
  static void Invalidate(NPObject* obj);
  static bool HasMethod(NPObject* obj, NPIdentifier name);
  static bool Invoke(NPObject* obj, NPIdentifier name, const NPVariant* args, uint32_t argCount,
                     NPVariant* result);
  static bool InvokeDefault(NPObject* obj, const NPVariant* args, uint32_t argCount, NPVariant* result);
  static bool HasProperty(NPObject* obj, NPIdentifier name);
  static bool GetProperty(NPObject* obj, NPIdentifier name, NPVariant* result);
  static bool SetProperty(NPObject* obj, NPIdentifier name, const NPVariant* value);
  static bool RemoveProperty(NPObject* obj, NPIdentifier name);
  static bool Enumerate(NPObject* obj, NPIdentifier** identifiers, uint32_t* count);
  static bool Construct(NPObject* obj, const NPVariant* args, uint32_t argCount, NPVariant* result);

  NPP npp;
};

// The class of the command objects (ZAVavodur) handed to page script.
extern NPClass CommandObjectClass;
