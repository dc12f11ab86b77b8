#include "shell/plugin_entry.h"

#include <new>

#include "shell/browser_gateway.h"
#include "shell/plugin_instance.h"

const char PLUGIN_NAME[] = "DADazirerOdod";
const char PLUGIN_DESCRIPTION[] = "NPRuntime scriptability API test plugin";
const char PLUGIN_MIME_DESCRIPTION[] = "application/mirovanplugin:rts:mirovanplugin";

namespace {

PluginInstance* InstanceOf(NPP instance) { return static_cast<PluginInstance*>(instance->pdata); }

}  // namespace

NPError Plugin_CheckPluginFuncs(const NPPluginFuncs* table) {
  if (table == nullptr || table->size < NP_PLUGIN_FUNCS_MIN_SIZE) return NPERR_INVALID_FUNCTABLE_ERROR;
  return NPERR_NO_ERROR;
}

void Plugin_FillPluginFuncs(NPPluginFuncs* table) {
  table->version = NP_PLUGIN_VERSION;
  table->newp = NPP_New;
  table->destroy = NPP_Destroy;
  table->setwindow = NPP_SetWindow;
  table->newstream = NPP_NewStream;
  table->destroystream = NPP_DestroyStream;
  table->asfile = NPP_StreamAsFile;
  table->writeready = NPP_WriteReady;
  table->write = NPP_Write;
  table->print = NPP_Print;
  table->event = NPP_HandleEvent;
  table->urlnotify = NPP_URLNotify;
  table->javaClass = nullptr;
  table->getvalue = NPP_GetValue;
  table->setvalue = NPP_SetValue;
}

NPError Plugin_GetEntryPoints(NPPluginFuncs* table) {
  const NPError err = Plugin_CheckPluginFuncs(table);
  if (err != NPERR_NO_ERROR) return err;
  Plugin_FillPluginFuncs(table);
  return NPERR_NO_ERROR;
}

NPError Plugin_Initialize(NPNetscapeFuncs* funcs) {
  const NPError err = Gateway_CheckBrowserFuncs(funcs);
  if (err != NPERR_NO_ERROR) return err;
  Gateway_KeepBrowserFuncs(funcs);
  return NPERR_NO_ERROR;
}

NPError Plugin_GetValue(NPPVariable variable, void* value) {
  if (value == nullptr) return NPERR_INVALID_PARAM;
  switch (variable) {
    case NPPVpluginNameString:
      *static_cast<const char**>(value) = PLUGIN_NAME;
      return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
      *static_cast<const char**>(value) = PLUGIN_DESCRIPTION;
      return NPERR_NO_ERROR;
    default:
      return NPERR_GENERIC_ERROR;
  }
}

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t, char*[], char*[], NPSavedData*) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstance* plugin = new (std::nothrow) PluginInstance(instance);
  if (plugin == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
  instance->pdata = plugin;
  return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstance* plugin = InstanceOf(instance);
  if (plugin != nullptr) {
    plugin->detachWindow();
    delete plugin;
    // The browser drops the instance handle after this call; clearing pdata keeps a repeated
    // destroy from freeing the object twice.
    instance->pdata = nullptr;
  }
  return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (window == nullptr) return NPERR_GENERIC_ERROR;
  PluginInstance* plugin = InstanceOf(instance);
  if (plugin == nullptr) return NPERR_GENERIC_ERROR;
  plugin->noteWindow(*window);
  if (!plugin->isAttached() && window->window != nullptr) {
    if (!plugin->attachWindow(window)) {
      delete plugin;
      instance->pdata = nullptr;
      return NPERR_MODULE_LOAD_FAILED_ERROR;
    }
  }
  return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16_t*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) {}

int32_t NPP_WriteReady(NPP instance, NPStream*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : 0x0FFFFFFF;
}

int32_t NPP_Write(NPP instance, NPStream*, int32_t, int32_t len, void*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : len;
}

void NPP_Print(NPP, NPPrint*) {}

int16_t NPP_HandleEvent(NPP instance, void* event) {
  if (instance == nullptr || instance->pdata == nullptr) return 0;
  return InstanceOf(instance)->onEvent(event);
}

void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstance* plugin = InstanceOf(instance);
  if (plugin == nullptr) return NPERR_GENERIC_ERROR;
  switch (variable) {
    case NPPVpluginNameString:
    case NPPVpluginDescriptionString:
      return Plugin_GetValue(variable, value);
    case NPPVpluginScriptableNPObject:
      if (value == nullptr) return NPERR_INVALID_PARAM;  // a reference nobody could release
      *static_cast<NPObject**>(value) = plugin->acquireScriptObject();
      return NPERR_NO_ERROR;
    default:
      return NPERR_GENERIC_ERROR;
  }
}

NPError NPP_SetValue(NPP instance, NPNVariable, void*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}
