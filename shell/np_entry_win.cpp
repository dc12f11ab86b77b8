// The three exports of the Windows DLL (undecorated through zoRozoridEverid.def).
#include "shell/plugin_entry.h"

extern "C" {

NPError NP_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* pFuncs) { return Plugin_GetEntryPoints(pFuncs); }

NPError NP_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* pFuncs) { return Plugin_Initialize(pFuncs); }

// Frees nothing: instances are gone through NPP_Destroy, script objects through reference counts.
NPError NP_EXPORT_CALL NP_Shutdown(void) { return NPERR_NO_ERROR; }

}  // extern "C"
