// The plug-in's side of the browser interface: its identity, the callback table and the instance
// callbacks. The exported entry points of each platform (np_entry_win.cpp, np_entry_posix.cpp)
// are thin wrappers over these.
#pragma once

#include "npapi/npapi.h"

extern const char PLUGIN_NAME[];             // "DADazirerOdod"
extern const char PLUGIN_DESCRIPTION[];      // "NPRuntime scriptability API test plugin"
extern const char PLUGIN_MIME_DESCRIPTION[]; // "application/mirovanplugin:rts:mirovanplugin"

// NPERR_INVALID_FUNCTABLE_ERROR for a null table or one smaller than the layout through setvalue.
NPError Plugin_CheckPluginFuncs(const NPPluginFuncs* table);
// Writes version 19 and every callback slot; size is left as the browser set it.
void Plugin_FillPluginFuncs(NPPluginFuncs* table);
// NP_GetEntryPoints: check, then fill.
NPError Plugin_GetEntryPoints(NPPluginFuncs* table);
// NP_Initialize of the Windows variant: check the browser table, then keep a copy.
NPError Plugin_Initialize(NPNetscapeFuncs* funcs);
// NP_GetValue of the Unix variant: name and description without an instance.
NPError Plugin_GetValue(NPPVariable variable, void* value);

NPError NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                NPSavedData* saved);
NPError NPP_Destroy(NPP instance, NPSavedData** save);
NPError NPP_SetWindow(NPP instance, NPWindow* window);
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype);
NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
int32_t NPP_WriteReady(NPP instance, NPStream* stream);
int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer);
void NPP_Print(NPP instance, NPPrint* platformPrint);
int16_t NPP_HandleEvent(NPP instance, void* event);
void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);
NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value);
NPError NPP_SetValue(NPP instance, NPNVariable variable, void* value);
