// The platform part of the plug-in window: subclassing and painting.
#pragma once

class PluginInstance;

// Installs the instance window procedure on window and stores owner as the window's user data;
// returns the procedure it replaced (null where the platform has nothing to replace).
void* PluginWindow_Subclass(void* window, PluginInstance* owner);
// Sets the window's procedure back to procedure; the user data is left as it is.
void PluginWindow_Restore(void* window, void* procedure);
