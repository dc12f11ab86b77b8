// Linked into a control module that imports MVhelper70.dll: the loader has to find that DLL
// before the module runs.
extern "C" __declspec(dllimport) int __cdecl MVhelper_Ready();

namespace {
const int g_helperReady = MVhelper_Ready();
}
