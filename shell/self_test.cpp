// The scripting sequence each new instance runs against the page's window object. It writes the
// window properties "foof", "plugindoc" and "pluginobj" and prints what it reads back.
#include <stdio.h>

#include "shell/browser_gateway.h"
#include "shell/plugin_instance.h"
#include "shell/script_object.h"

namespace {

const char EVALUATE_ALERT[] = "alert('NPN_IdentifierIsString() test failed!');";

// Keeps the window object this instance obtained in the process-wide slot. A reference already
// held there (from an earlier instance) is released first, so that the slot never owns two.
void KeepWindowObject(NPObject* window) {
  if (windowScriptObject != nullptr) NPN_ReleaseObject(windowScriptObject);
  windowScriptObject = window;
}

// Releases what a read returned, whatever its type: the page may have made the property a string
// or an object. An object value without an object holds nothing to release.
void ReleaseRead(NPVariant* value) {
  if (value->type == NPVariantType_Object && value->value.objectValue == nullptr) return;
  NPN_ReleaseVariantValue(value);
}

}  // namespace

// Works only on the window object the browser gave this instance. Without one it writes nothing
// anywhere (another instance's window may belong to another page) and the instance still starts.
void PluginInstance::runSelfTest() {
  NPVariant value;
  NPVariant result;

  NPObject* window = nullptr;
  NPN_GetValue(npp, NPNVWindowNPObject, &window);
  if (window == nullptr) {
    printf("Object set/get test FAILED!\n");
    return;  // the slot stays as it was
  }
  KeepWindowObject(window);

  NPIdentifier foof = NPN_GetStringIdentifier("foof");
  INT32_TO_NPVARIANT(46, value);
  NPN_SetProperty(npp, window, foof, &value);

  VOID_TO_NPVARIANT(result);
  NPN_GetProperty(npp, window, foof, &result);
  if (result.type == NPVariantType_Int32) printf("rval = %d\n", static_cast<int>(result.value.intValue));
  ReleaseRead(&result);

  NPIdentifier documentId = NPN_GetStringIdentifier("document");
  if (!NPN_IdentifierIsString(documentId)) {
    NPString script = {EVALUATE_ALERT, static_cast<uint32_t>(sizeof EVALUATE_ALERT - 1)};
    NPN_Evaluate(npp, window, &script, nullptr);
  }

  NPVariant documentRead;
  VOID_TO_NPVARIANT(documentRead);
  NPN_GetProperty(npp, window, documentId, &documentRead);
  if (documentRead.type == NPVariantType_Object && documentRead.value.objectValue != nullptr) {
    NPObject* document = documentRead.value.objectValue;

    NPIdentifier titleId = NPN_GetStringIdentifier("title");
    VOID_TO_NPVARIANT(result);
    NPN_GetProperty(npp, document, titleId, &result);
    if (result.type == NPVariantType_String) {
      const NPString& title = result.value.stringValue;
      const char* chars = title.UTF8Characters != nullptr ? title.UTF8Characters : "";
      const int length = title.UTF8Characters != nullptr ? static_cast<int>(title.UTF8Length) : 0;
      printf("title = %.*s\n", length, chars);
    }
    ReleaseRead(&result);

    NPIdentifier pluginDocId = NPN_GetStringIdentifier("plugindoc");
    OBJECT_TO_NPVARIANT(document, value);
    NPN_SetProperty(npp, window, pluginDocId, &value);
  }
  ReleaseRead(&documentRead);  // for the document: balances the reference the read returned

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
  ReleaseRead(&result);
  NPN_ReleaseObject(commandObject);
}
