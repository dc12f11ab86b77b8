#include <dlfcn.h>

#include "tools/sample_modules/payment_view.h"

int ControlModule_Attach() {
  // By its soname, and only when already loaded.
  void* control = dlopen(CONTROL_MODULE_NAME, RTLD_LAZY | RTLD_NOLOAD);
  if (control == nullptr) return -1;
  void* attach = dlsym(control, CONTROL_ATTACH_EXPORT);
  const int count = attach != nullptr ? reinterpret_cast<ControlAttachFn>(attach)() : -1;
  dlclose(control);  // drops the reference RTLD_NOLOAD added
  return count;
}
