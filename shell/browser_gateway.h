// The gateway to the browser: one process-wide copy of the browser's function table, filled by
// NP_Initialize, and one forwarding function per browser service the plug-in uses.
#pragma once

#include "npapi/npapi.h"

// All zero until NP_Initialize; holds the browser's size, version and the entries geturl through
// setexception. Later entries are never copied and stay null.
extern NPNetscapeFuncs browserFuncs;

// Checks a browser table: 0, NPERR_INVALID_FUNCTABLE_ERROR for null or too small,
// NPERR_INCOMPATIBLE_VERSION_ERROR for a major version above 0 (checked before the size).
NPError Gateway_CheckBrowserFuncs(const NPNetscapeFuncs* funcs);
// Copies size, version and the entries geturl through setexception into browserFuncs.
void Gateway_KeepBrowserFuncs(const NPNetscapeFuncs* funcs);

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value);
NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value);
NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name);
bool NPN_IdentifierIsString(NPIdentifier identifier);
NPObject* NPN_CreateObject(NPP npp, NPClass* aClass);
NPObject* NPN_RetainObject(NPObject* obj);
void NPN_ReleaseObject(NPObject* obj);
bool NPN_Evaluate(NPP npp, NPObject* obj, NPString* script, NPVariant* result);
bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result);
bool NPN_SetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, const NPVariant* value);
void NPN_ReleaseVariantValue(NPVariant* variant);
void* NPN_MemAlloc(uint32_t size);
