// The browser plug-in interface (NPAPI) as this plug-in uses it: scalar types, records, the two
// function tables, the script object class and the constants. Written from the published interface
// facts; the Windows variant is the product, the Unix variant serves the native build.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Exported entry points use the Windows API convention on Windows; every callback in the tables
// uses the default C convention.
#if defined(_WIN32)
#define NP_EXPORT_CALL __stdcall
#else
#define NP_EXPORT_CALL
#endif

typedef int16_t NPError;
typedef int16_t NPReason;
typedef unsigned char NPBool;
typedef char NPUTF8;
typedef void* NPIdentifier;
typedef char* NPMIMEType;

typedef struct _NPP {
  void* pdata;  // the plug-in's
  void* ndata;  // the browser's
} NPP_t;
typedef NPP_t* NPP;

struct NPObject;
struct NPClass;

typedef struct _NPString {
  const NPUTF8* UTF8Characters;  // not NUL-terminated
  uint32_t UTF8Length;           // in bytes
} NPString;

typedef enum : int32_t {
  NPVariantType_Void = 0,
  NPVariantType_Null = 1,
  NPVariantType_Bool = 2,
  NPVariantType_Int32 = 3,
  NPVariantType_Double = 4,
  NPVariantType_String = 5,
  NPVariantType_Object = 6
} NPVariantType;

typedef struct _NPVariant {
  NPVariantType type;
  union {
    bool boolValue;
    int32_t intValue;
    double doubleValue;
    NPString stringValue;
    NPObject* objectValue;
  } value;
} NPVariant;

typedef NPObject* (*NPAllocateFunctionPtr)(NPP npp, NPClass* aClass);
typedef void (*NPDeallocateFunctionPtr)(NPObject* npobj);
typedef void (*NPInvalidateFunctionPtr)(NPObject* npobj);
typedef bool (*NPHasMethodFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPInvokeFunctionPtr)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                    uint32_t argCount, NPVariant* result);
typedef bool (*NPInvokeDefaultFunctionPtr)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                           NPVariant* result);
typedef bool (*NPHasPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPGetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name, NPVariant* result);
typedef bool (*NPSetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name, const NPVariant* value);
typedef bool (*NPRemovePropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPEnumerationFunctionPtr)(NPObject* npobj, NPIdentifier** value, uint32_t* count);
typedef bool (*NPConstructFunctionPtr)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                       NPVariant* result);

constexpr uint32_t NP_CLASS_STRUCT_VERSION = 3;  // the layout with enumerate and construct

struct NPClass {
  uint32_t structVersion;
  NPAllocateFunctionPtr allocate;
  NPDeallocateFunctionPtr deallocate;
  NPInvalidateFunctionPtr invalidate;
  NPHasMethodFunctionPtr hasMethod;
  NPInvokeFunctionPtr invoke;
  NPInvokeDefaultFunctionPtr invokeDefault;
  NPHasPropertyFunctionPtr hasProperty;
  NPGetPropertyFunctionPtr getProperty;
  NPSetPropertyFunctionPtr setProperty;
  NPRemovePropertyFunctionPtr removeProperty;
  NPEnumerationFunctionPtr enumerate;
  NPConstructFunctionPtr construct;
};

struct NPObject {
  NPClass* _class;
  uint32_t referenceCount;
};

typedef struct _NPRect {
  uint16_t top;
  uint16_t left;
  uint16_t bottom;
  uint16_t right;
} NPRect;

typedef enum : int32_t { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 } NPWindowType;

typedef struct _NPWindow {
  void* window;  // HWND on Windows, an X window id on Unix
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
#if !defined(_WIN32)
  void* ws_info;  // NPSetWindowCallbackStruct*
#endif
  NPWindowType type;
} NPWindow;

typedef struct _NPSavedData {
  int32_t len;
  void* buf;
} NPSavedData;

typedef struct _NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  uint32_t end;
  uint32_t lastmodified;
  void* notifyData;
  const char* headers;
} NPStream;

typedef struct _NPPrint NPPrint;  // never looked at

typedef enum : int32_t {
  NPPVpluginNameString = 1,
  NPPVpluginDescriptionString = 2,
  NPPVpluginWindowBool = 3,
  NPPVpluginTransparentBool = 4,
  NPPVpluginNeedsXEmbed = 14,
  NPPVpluginScriptableNPObject = 15
} NPPVariable;

typedef enum : int32_t {
  NPNVxDisplay = 1,
  NPNVnetscapeWindow = 3,
  NPNVjavascriptEnabledBool = 4,
  NPNVToolkit = 13,
  NPNVSupportsXEmbedBool = 14,
  NPNVWindowNPObject = 15,
  NPNVPluginElementNPObject = 16,
  NPNVSupportsWindowless = 17
} NPNVariable;

constexpr NPError NPERR_NO_ERROR = 0;
constexpr NPError NPERR_GENERIC_ERROR = 1;
constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
constexpr NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
constexpr NPError NPERR_INVALID_PLUGIN_ERROR = 6;
constexpr NPError NPERR_INVALID_PLUGIN_DIR_ERROR = 7;
constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;
constexpr NPError NPERR_INVALID_PARAM = 9;

// The plug-in's table.
typedef NPError (*NPP_NewProcPtr)(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc,
                                  char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProcPtr)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProcPtr)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProcPtr)(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                                        uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProcPtr)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPP_StreamAsFileProcPtr)(NPP instance, NPStream* stream, const char* fname);
typedef int32_t (*NPP_WriteReadyProcPtr)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProcPtr)(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer);
typedef void (*NPP_PrintProcPtr)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProcPtr)(NPP instance, void* event);
typedef void (*NPP_URLNotifyProcPtr)(NPP instance, const char* url, NPReason reason, void* notifyData);
typedef NPError (*NPP_GetValueProcPtr)(NPP instance, NPPVariable variable, void* value);
typedef NPError (*NPP_SetValueProcPtr)(NPP instance, NPNVariable variable, void* value);

typedef struct _NPPluginFuncs {
  uint16_t size;
  uint16_t version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
  NPP_URLNotifyProcPtr urlnotify;
  void* javaClass;
  NPP_GetValueProcPtr getvalue;
  NPP_SetValueProcPtr setvalue;
  // Later browsers append further entries, which this plug-in does not fill.
} NPPluginFuncs;

// The browser's table. Entries the plug-in never calls are declared as untyped pointers.
typedef void* NPN_UnusedProcPtr;
typedef void* (*NPN_MemAllocProcPtr)(uint32_t size);
typedef void (*NPN_MemFreeProcPtr)(void* ptr);
typedef NPError (*NPN_GetValueProcPtr)(NPP instance, NPNVariable variable, void* value);
typedef NPError (*NPN_SetValueProcPtr)(NPP instance, NPPVariable variable, void* value);
typedef NPIdentifier (*NPN_GetStringIdentifierProcPtr)(const NPUTF8* name);
typedef void (*NPN_GetStringIdentifiersProcPtr)(const NPUTF8** names, int32_t nameCount,
                                                NPIdentifier* identifiers);
typedef NPIdentifier (*NPN_GetIntIdentifierProcPtr)(int32_t intid);
typedef bool (*NPN_IdentifierIsStringProcPtr)(NPIdentifier identifier);
typedef NPUTF8* (*NPN_UTF8FromIdentifierProcPtr)(NPIdentifier identifier);
typedef int32_t (*NPN_IntFromIdentifierProcPtr)(NPIdentifier identifier);
typedef NPObject* (*NPN_CreateObjectProcPtr)(NPP npp, NPClass* aClass);
typedef NPObject* (*NPN_RetainObjectProcPtr)(NPObject* obj);
typedef void (*NPN_ReleaseObjectProcPtr)(NPObject* obj);
typedef bool (*NPN_InvokeProcPtr)(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args,
                                  uint32_t argCount, NPVariant* result);
typedef bool (*NPN_InvokeDefaultProcPtr)(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount,
                                         NPVariant* result);
typedef bool (*NPN_EvaluateProcPtr)(NPP npp, NPObject* obj, NPString* script, NPVariant* result);
typedef bool (*NPN_GetPropertyProcPtr)(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result);
typedef bool (*NPN_SetPropertyProcPtr)(NPP npp, NPObject* obj, NPIdentifier propertyName,
                                       const NPVariant* value);
typedef bool (*NPN_RemovePropertyProcPtr)(NPP npp, NPObject* obj, NPIdentifier propertyName);
typedef bool (*NPN_HasPropertyProcPtr)(NPP npp, NPObject* obj, NPIdentifier propertyName);
typedef bool (*NPN_HasMethodProcPtr)(NPP npp, NPObject* obj, NPIdentifier propertyName);
typedef void (*NPN_ReleaseVariantValueProcPtr)(NPVariant* variant);
typedef void (*NPN_SetExceptionProcPtr)(NPObject* obj, const NPUTF8* message);
typedef bool (*NPN_EnumerateProcPtr)(NPP npp, NPObject* obj, NPIdentifier** identifier, uint32_t* count);
typedef bool (*NPN_ConstructProcPtr)(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount,
                                     NPVariant* result);

typedef struct _NPNetscapeFuncs {
  uint16_t size;
  uint16_t version;  // major version in the high byte, minor in the low byte
  NPN_UnusedProcPtr geturl;
  NPN_UnusedProcPtr posturl;
  NPN_UnusedProcPtr requestread;
  NPN_UnusedProcPtr newstream;
  NPN_UnusedProcPtr write;
  NPN_UnusedProcPtr destroystream;
  NPN_UnusedProcPtr status;
  NPN_UnusedProcPtr uagent;
  NPN_MemAllocProcPtr memalloc;
  NPN_MemFreeProcPtr memfree;
  NPN_UnusedProcPtr memflush;
  NPN_UnusedProcPtr reloadplugins;
  NPN_UnusedProcPtr getJavaEnv;
  NPN_UnusedProcPtr getJavaPeer;
  NPN_UnusedProcPtr geturlnotify;
  NPN_UnusedProcPtr posturlnotify;
  NPN_GetValueProcPtr getvalue;
  NPN_SetValueProcPtr setvalue;
  NPN_UnusedProcPtr invalidaterect;
  NPN_UnusedProcPtr invalidateregion;
  NPN_UnusedProcPtr forceredraw;
  NPN_GetStringIdentifierProcPtr getstringidentifier;
  NPN_GetStringIdentifiersProcPtr getstringidentifiers;
  NPN_GetIntIdentifierProcPtr getintidentifier;
  NPN_IdentifierIsStringProcPtr identifierisstring;
  NPN_UTF8FromIdentifierProcPtr utf8fromidentifier;
  NPN_IntFromIdentifierProcPtr intfromidentifier;
  NPN_CreateObjectProcPtr createobject;
  NPN_RetainObjectProcPtr retainobject;
  NPN_ReleaseObjectProcPtr releaseobject;
  NPN_InvokeProcPtr invoke;
  NPN_InvokeDefaultProcPtr invokeDefault;
  NPN_EvaluateProcPtr evaluate;
  NPN_GetPropertyProcPtr getproperty;
  NPN_SetPropertyProcPtr setproperty;
  NPN_RemovePropertyProcPtr removeproperty;
  NPN_HasPropertyProcPtr hasproperty;
  NPN_HasMethodProcPtr hasmethod;
  NPN_ReleaseVariantValueProcPtr releasevariantvalue;
  NPN_SetExceptionProcPtr setexception;
  NPN_UnusedProcPtr pushpopupsenabledstate;
  NPN_UnusedProcPtr poppopupsenabledstate;
  NPN_EnumerateProcPtr enumerate;
  NPN_UnusedProcPtr pluginthreadasynccall;
  NPN_ConstructProcPtr construct;
  // Later browsers append further entries, which this plug-in never reads.
} NPNetscapeFuncs;

// Table sizes the plug-in checks: the layouts through NPPluginFuncs::setvalue and through
// NPNetscapeFuncs::construct, computed from the declarations (60 and 184 on 32-bit Windows).
constexpr uint16_t NP_PLUGIN_FUNCS_MIN_SIZE =
    static_cast<uint16_t>(offsetof(NPPluginFuncs, setvalue) + sizeof(void*));
constexpr uint16_t NP_BROWSER_FUNCS_MIN_SIZE =
    static_cast<uint16_t>(offsetof(NPNetscapeFuncs, construct) + sizeof(void*));
// The plug-in speaks interface version 19 (major 0 in the high byte).
constexpr uint16_t NP_PLUGIN_VERSION = 19;

#if defined(_WIN32) && !defined(_WIN64)  // the 32-bit product (not the 64-bit check build)
static_assert(sizeof(void*) == 4, "the plug-in is a 32-bit DLL");
static_assert(NP_PLUGIN_FUNCS_MIN_SIZE == 60, "NPPluginFuncs through setvalue is 60 bytes");
static_assert(sizeof(NPPluginFuncs) == 60, "NPPluginFuncs as declared is 60 bytes");
static_assert(NP_BROWSER_FUNCS_MIN_SIZE == 184, "NPNetscapeFuncs through construct is 184 bytes");
static_assert(offsetof(NPNetscapeFuncs, setexception) + sizeof(void*) == 164,
              "NPNetscapeFuncs through setexception is 164 bytes");
static_assert(offsetof(NPVariant, value) == 8, "the NPVariant value is 8-aligned");
static_assert(sizeof(NPVariant) == 16, "NPVariant is 16 bytes");
#endif

// Variant helpers in the manner of the interface's macros.
inline void VOID_TO_NPVARIANT(NPVariant& v) {
  v.type = NPVariantType_Void;
  v.value.stringValue = NPString{nullptr, 0};  // the widest member: clears the whole value
}
inline void NULL_TO_NPVARIANT(NPVariant& v) {
  v.type = NPVariantType_Null;
  v.value.stringValue = NPString{nullptr, 0};
}
inline void INT32_TO_NPVARIANT(int32_t i, NPVariant& v) {
  v.type = NPVariantType_Int32;
  v.value.intValue = i;
}
inline void OBJECT_TO_NPVARIANT(NPObject* o, NPVariant& v) {
  v.type = NPVariantType_Object;
  v.value.objectValue = o;
}
inline void STRINGN_TO_NPVARIANT(const char* s, uint32_t len, NPVariant& v) {
  v.type = NPVariantType_String;
  v.value.stringValue.UTF8Characters = s;
  v.value.stringValue.UTF8Length = len;
}
