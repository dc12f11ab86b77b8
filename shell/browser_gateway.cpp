#include "shell/browser_gateway.h"

#include <string.h>

NPNetscapeFuncs browserFuncs = {};

NPError Gateway_CheckBrowserFuncs(const NPNetscapeFuncs* funcs) {
  if (funcs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if ((funcs->version >> 8) > 0) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  if (funcs->size < NP_BROWSER_FUNCS_MIN_SIZE) return NPERR_INVALID_FUNCTABLE_ERROR;
  return NPERR_NO_ERROR;
}

void Gateway_KeepBrowserFuncs(const NPNetscapeFuncs* funcs) {
  browserFuncs.size = funcs->size;
  browserFuncs.version = funcs->version;
  // The entries geturl through setexception lie one after the other; nothing later is copied.
  const size_t first = offsetof(NPNetscapeFuncs, geturl);
  const size_t end = offsetof(NPNetscapeFuncs, setexception) + sizeof(funcs->setexception);
  memcpy(reinterpret_cast<char*>(&browserFuncs) + first, reinterpret_cast<const char*>(funcs) + first,
         end - first);
}

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
  return browserFuncs.getvalue(instance, variable, value);
}

NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value) {
  return browserFuncs.setvalue(instance, variable, value);
}

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) { return browserFuncs.getstringidentifier(name); }

bool NPN_IdentifierIsString(NPIdentifier identifier) { return browserFuncs.identifierisstring(identifier); }

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) { return browserFuncs.createobject(npp, aClass); }

NPObject* NPN_RetainObject(NPObject* obj) { return browserFuncs.retainobject(obj); }

void NPN_ReleaseObject(NPObject* obj) { browserFuncs.releaseobject(obj); }

bool NPN_Evaluate(NPP npp, NPObject* obj, NPString* script, NPVariant* result) {
  return browserFuncs.evaluate(npp, obj, script, result);
}

bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result) {
  return browserFuncs.getproperty(npp, obj, propertyName, result);
}

bool NPN_SetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, const NPVariant* value) {
  return browserFuncs.setproperty(npp, obj, propertyName, value);
}

void NPN_ReleaseVariantValue(NPVariant* variant) { browserFuncs.releasevariantvalue(variant); }

void* NPN_MemAlloc(uint32_t size) { return browserFuncs.memalloc(size); }
