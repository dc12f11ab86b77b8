// The platform part of the plug-in window: subclassing and painting.
#pragma once

#include "npapi/npapi.h"

class PluginInstance;

// Installs the instance window procedure on window and stores owner as the window's user data;
// returns the procedure it replaced (null where the platform has nothing to replace).
void* PluginWindow_Subclass(void* window, PluginInstance* owner);
// Sets the window's procedure back to procedure; the user data is left as it is.
void PluginWindow_Restore(void* window, void* procedure);

// Called for every new instance. Unix asks the browser to let the plug-in draw without a window
// of its own (the engines here give windowed plug-ins no X window); Windows needs nothing.
void PluginWindow_Prepare(NPP npp);
// Handles a platform event for the instance's drawing area (the latest NPP_SetWindow record);
// non-zero when it was handled. Windows handles none: the subclassed window paints itself.
int16_t PluginWindow_HandleEvent(void* event, const NPWindow& area);
