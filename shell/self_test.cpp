// The scripting sequence each new instance runs against the page's window object. It writes the
// window properties "foof", "plugindoc" and "pluginobj" and prints what it reads back.
#include <stdio.h>

#include "shell/browser_gateway.h"
#include "shell/plugin_instance.h"
#include "shell/script_object.h"

namespace {

const char EVALUATE_ALERT[] = "alert('NPN_IdentifierIsString() test failed!');";

// Takes the window object into the process-wide slot. A reference already held there (from an
// earlier instance) is released first, so that the slot never owns two references.
void KeepWindowObject(NPP npp) {
  NPObject* window = nullptr;
  NPN_GetValue(npp, NPNVWindowNPObject, &window);
  if (window == nullptr) return;  // a failed request leaves the slot as it was
  if (windowScriptObject != nullptr) NPN_ReleaseObject(windowScriptObject);
  windowScriptObject = window;
}

}  // namespace

void PluginInstance::runSelfTest() {
  NPVariant value;
  NPVariant result;

  KeepWindowObject(npp);
  NPObject* window = windowScriptObject;

  NPIdentifier foof = NPN_GetStringIdentifier("foof");
  INT32_TO_NPVARIANT(46, value);
  NPN_SetProperty(npp, window, foof, &value);

  VOID_TO_NPVARIANT(result);
  NPN_GetProperty(npp, window, foof, &result);
  if (result.type == NPVariantType_Int32) printf("rval = %d\n", static_cast<int>(result.value.intValue));

  NPIdentifier documentId = NPN_GetStringIdentifier("document");
  if (!NPN_IdentifierIsString(documentId)) {
    NPString script = {EVALUATE_ALERT, static_cast<uint32_t>(sizeof EVALUATE_ALERT - 1)};
    NPN_Evaluate(npp, window, &script, nullptr);
  }

  VOID_TO_NPVARIANT(result);
  NPN_GetProperty(npp, window, documentId, &result);
  if (result.type == NPVariantType_Object && result.value.objectValue != nullptr) {
    NPObject* document = result.value.objectValue;

    NPIdentifier titleId = NPN_GetStringIdentifier("title");
    VOID_TO_NPVARIANT(result);
    NPN_GetProperty(npp, document, titleId, &result);
    if (result.type == NPVariantType_String) {
      const NPString& title = result.value.stringValue;
      const char* chars = title.UTF8Characters != nullptr ? title.UTF8Characters : "";
      const int length = title.UTF8Characters != nullptr ? static_cast<int>(title.UTF8Length) : 0;
      printf("title = %.*s\n", length, chars);
      NPN_ReleaseVariantValue(&result);
    }

    NPIdentifier pluginDocId = NPN_GetStringIdentifier("plugindoc");
    OBJECT_TO_NPVARIANT(document, value);
    NPN_SetProperty(npp, window, pluginDocId, &value);
    NPN_ReleaseObject(document);
  }

  NPObject* commandObject = NPN_CreateObject(npp, &CommandObjectClass);
  if (commandObject == nullptr) {
    // Nothing to publish; the window keeps whatever "pluginobj" held.
    printf("Object set/get test FAILED!\n");
    return;
  }
  NPIdentifier pluginObjId = NPN_GetStringIdentifier("pluginobj");
  OBJECT_TO_NPVARIANT(commandObject, value);
  NPN_SetProperty(npp, window, pluginObjId, &value);

  VOID_TO_NPVARIANT(result);
  NPN_GetProperty(npp, window, pluginObjId, &result);
  printf("Object set/get test ");
  const bool same = result.type == NPVariantType_Object && result.value.objectValue == commandObject;
  printf(same ? "succeeded!\n" : "FAILED!\n");
  NPN_ReleaseVariantValue(&result);
  NPN_ReleaseObject(commandObject);
}
