// Unix: the browser owns the X window; the plug-in neither replaces a procedure nor paints yet.
#include "shell/plugin_window.h"

void* PluginWindow_Subclass(void*, PluginInstance*) { return nullptr; }

void PluginWindow_Restore(void*, void*) {}
