#include <windows.h>

#include "tools/sample_modules/payment_view.h"

int ControlModule_Attach() {
  HMODULE control = GetModuleHandleA(CONTROL_MODULE_NAME);  // only when already loaded
  if (control == nullptr) return -1;
  FARPROC attach = GetProcAddress(control, CONTROL_ATTACH_EXPORT);
  return attach != nullptr ? reinterpret_cast<ControlAttachFn>(reinterpret_cast<void*>(attach))() : -1;
}
