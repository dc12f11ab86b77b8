#include "shell/script_object.h"

#include <new>

#include "command/zavavodur.h"

namespace {

ScriptObjectBase* Base(NPObject* obj) { return static_cast<ScriptObjectBase*>(obj); }

NPObject* AllocateCommandObject(NPP npp, NPClass*) {
  ZAVavodur* object = new (std::nothrow) ZAVavodur(npp);
  return object;  // the NPObject part, or null
}

}  // namespace

ScriptObjectBase::ScriptObjectBase(NPP instance) : NPObject{nullptr, 0}, npp(instance) {}
ScriptObjectBase::~ScriptObjectBase() = default;

void ScriptObjectBase::invalidate() {}
bool ScriptObjectBase::hasMethod(NPIdentifier) { return false; }
bool ScriptObjectBase::invoke(NPIdentifier, const NPVariant*, uint32_t, NPVariant*) { return false; }
bool ScriptObjectBase::invokeDefault(const NPVariant*, uint32_t, NPVariant*) { return false; }
bool ScriptObjectBase::hasProperty(NPIdentifier) { return false; }
bool ScriptObjectBase::getProperty(NPIdentifier, NPVariant*) { return false; }
bool ScriptObjectBase::setProperty(NPIdentifier, const NPVariant*) { return false; }
bool ScriptObjectBase::removeProperty(NPIdentifier) { return false; }
bool ScriptObjectBase::enumerate(NPIdentifier**, uint32_t*) { return false; }
bool ScriptObjectBase::construct(const NPVariant*, uint32_t, NPVariant*) { return false; }

void ScriptObjectBase::Deallocate(NPObject* obj) {
  if (obj != nullptr) delete Base(obj);
}
void ScriptObjectBase::Invalidate(NPObject* obj) { Base(obj)->invalidate(); }
bool ScriptObjectBase::HasMethod(NPObject* obj, NPIdentifier name) { return Base(obj)->hasMethod(name); }
bool ScriptObjectBase::Invoke(NPObject* obj, NPIdentifier name, const NPVariant* args, uint32_t argCount,
                              NPVariant* result) {
  return Base(obj)->invoke(name, args, argCount, result);
}
bool ScriptObjectBase::InvokeDefault(NPObject* obj, const NPVariant* args, uint32_t argCount,
                                     NPVariant* result) {
  return Base(obj)->invokeDefault(args, argCount, result);
}
bool ScriptObjectBase::HasProperty(NPObject* obj, NPIdentifier name) { return Base(obj)->hasProperty(name); }
bool ScriptObjectBase::GetProperty(NPObject* obj, NPIdentifier name, NPVariant* result) {
  return Base(obj)->getProperty(name, result);
}
bool ScriptObjectBase::SetProperty(NPObject* obj, NPIdentifier name, const NPVariant* value) {
  return Base(obj)->setProperty(name, value);
}
bool ScriptObjectBase::RemoveProperty(NPObject* obj, NPIdentifier name) {
  return Base(obj)->removeProperty(name);
}
bool ScriptObjectBase::Enumerate(NPObject* obj, NPIdentifier** identifiers, uint32_t* count) {
  return Base(obj)->enumerate(identifiers, count);
}
bool ScriptObjectBase::Construct(NPObject* obj, const NPVariant* args, uint32_t argCount, NPVariant* result) {
  return Base(obj)->construct(args, argCount, result);
}

NPClass CommandObjectClass = {
    NP_CLASS_STRUCT_VERSION,
    AllocateCommandObject,
    ScriptObjectBase::Deallocate,
    ScriptObjectBase::Invalidate,
    ScriptObjectBase::HasMethod,
    ScriptObjectBase::Invoke,
    ScriptObjectBase::InvokeDefault,
    ScriptObjectBase::HasProperty,
    ScriptObjectBase::GetProperty,
    ScriptObjectBase::SetProperty,
    ScriptObjectBase::RemoveProperty,
    ScriptObjectBase::Enumerate,
    ScriptObjectBase::Construct,
};
