// MVhelper70.dll, a DLL that a payment module imports (helper_user.cpp): counts its loads in the
// environment variable VEXO_HELPER_TRACE names, so that a test sees which copy was loaded (the one
// shipped beside the module, or one of the same name planted in the current directory).
#include "tools/sample_modules/payment_view.h"

namespace {
const ModuleLoadTrace g_trace(VEXO_HELPER_TRACE, VEXO_HELPER_TRACE "_UNLOADS");
}

MODULE_EXPORT int MODULE_CALL MVhelper_Ready() { return 1; }
