// Sample control module MVcontrol70: the plug-in loads it before the main module and calls
// nothing in it; the main module attaches to it during the payment.
#include "tools/sample_modules/payment_view.h"

namespace {
int g_attachCount = 0;  // starts at 0 on every load
const ModuleLoadTrace g_trace("VEXO_TRACE_CONTROL_LOADS", "VEXO_TRACE_CONTROL_UNLOADS");
}

MODULE_EXPORT int MODULE_CALL MVcontrol_Attach() { return ++g_attachCount; }
