// The exports of the Unix shared object: the MIME description, name and description without an
// instance, and NP_Initialize taking the browser's table and filling the plug-in's in one call.
#include "shell/browser_gateway.h"
#include "shell/plugin_entry.h"

#define NP_EXPORT extern "C" __attribute__((visibility("default")))

NP_EXPORT const char* NP_GetMIMEDescription(void) { return PLUGIN_MIME_DESCRIPTION; }

NP_EXPORT NPError NP_GetValue(void*, NPPVariable variable, void* value) { return Plugin_GetValue(variable, value); }

// Both tables are checked before either is touched.
NP_EXPORT NPError NP_Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* plugin) {
  NPError err = Gateway_CheckBrowserFuncs(browser);
  if (err == NPERR_NO_ERROR) err = Plugin_CheckPluginFuncs(plugin);
  if (err != NPERR_NO_ERROR) return err;
  Gateway_KeepBrowserFuncs(browser);
  Plugin_FillPluginFuncs(plugin);
  return NPERR_NO_ERROR;
}

NP_EXPORT NPError NP_Shutdown(void) { return NPERR_NO_ERROR; }
