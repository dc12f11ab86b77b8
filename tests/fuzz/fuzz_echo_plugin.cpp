// A plug-in for the bridge fuzz target: every instance's script object has the methods whose names
// start with "MV_" and a default call, each answering its string arguments joined by '|' (anything
// else in the list as '?'), so that the target can check what came through the host.
#include <string.h>

#include <string>

#include "npapi/npapi.h"

namespace {

NPNetscapeFuncs* g_browser = nullptr;

bool HasMethod(NPObject*, NPIdentifier name) {
  NPUTF8* text = g_browser->utf8fromidentifier(name);
  const bool found = text != nullptr && strncmp(text, "MV_", 3) == 0;
  g_browser->memfree(text);
  return found;
}

bool InvokeDefault(NPObject*, const NPVariant* args, uint32_t count, NPVariant* result) {
  std::string joined;
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) joined += '|';
    if (args[i].type == NPVariantType_String) {
      joined.append(args[i].value.stringValue.UTF8Characters, args[i].value.stringValue.UTF8Length);
    } else {
      joined += '?';
    }
  }
  char* copy = static_cast<char*>(g_browser->memalloc(static_cast<uint32_t>(joined.size()) + 1));
  if (copy == nullptr) return false;
  memcpy(copy, joined.data(), joined.size() + 1);
  STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(joined.size()), *result);
  return true;
}

bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result) {
  return HasMethod(object, name) && InvokeDefault(object, args, count, result);
}

NPClass g_class = {NP_CLASS_STRUCT_VERSION, nullptr, nullptr, nullptr, HasMethod, Invoke, InvokeDefault,
                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

NPError New(NPMIMEType, NPP, uint16_t, int16_t, char*[], char*[], NPSavedData*) { return NPERR_NO_ERROR; }
NPError Destroy(NPP, NPSavedData**) { return NPERR_NO_ERROR; }
NPError GetValue(NPP instance, NPPVariable variable, void* value) {
  if (variable != NPPVpluginScriptableNPObject) return NPERR_GENERIC_ERROR;
  *static_cast<NPObject**>(value) = g_browser->createobject(instance, &g_class);
  return NPERR_NO_ERROR;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) NPError NP_Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* plugin) {
  g_browser = browser;
  plugin->newp = New;
  plugin->destroy = Destroy;
  plugin->getvalue = GetValue;
  return NPERR_NO_ERROR;
}

extern "C" __attribute__((visibility("default"))) NPError NP_Shutdown() { return NPERR_NO_ERROR; }
