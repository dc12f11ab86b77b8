#include "shell/plugin_instance.h"

#include "shell/browser_gateway.h"
#include "shell/plugin_window.h"
#include "shell/script_object.h"

void* previousWindowProc = nullptr;
NPObject* windowScriptObject = nullptr;

PluginInstance::PluginInstance(NPP instance)
    : npp(instance), hwnd(nullptr), attached(false), scriptObject(nullptr), area() {
  runSelfTest();
  PluginWindow_Prepare(instance);
}

PluginInstance::~PluginInstance() {
  if (windowScriptObject != nullptr) NPN_ReleaseObject(windowScriptObject);
  if (scriptObject != nullptr) NPN_ReleaseObject(scriptObject);
  windowScriptObject = nullptr;
}

bool PluginInstance::attachWindow(NPWindow* record) {
  if (record == nullptr) return false;
  hwnd = record->window;
  if (hwnd == nullptr) return false;
  previousWindowProc = PluginWindow_Subclass(hwnd, this);
  attached = true;
  return true;
}

void PluginInstance::detachWindow() {
  if (hwnd != nullptr) PluginWindow_Restore(hwnd, previousWindowProc);
  hwnd = nullptr;
  attached = false;
}

int16_t PluginInstance::onEvent(void* event) { return PluginWindow_HandleEvent(event, area); }

NPObject* PluginInstance::acquireScriptObject() {
  if (scriptObject == nullptr) scriptObject = NPN_CreateObject(npp, &CommandObjectClass);
  if (scriptObject != nullptr) NPN_RetainObject(scriptObject);
  return scriptObject;
}
