// Windows: the element's window is subclassed; the instance procedure paints a black frame and,
// while the window carries its instance as user data, the centred caption.
#include "shell/plugin_window.h"

#include <string.h>
#include <windows.h>

#include "support/string_util.h"

namespace {

const char PLUGIN_CAPTION[] = "Vexo PlugIn";

void PaintWindow(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client;
  GetClientRect(hwnd, &client);
  FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (GetWindowLongPtrA(hwnd, GWLP_USERDATA) != 0) {
    char caption[256];
    memset(caption, 0, sizeof caption);
    String_Copy(caption, PLUGIN_CAPTION, sizeof caption - 1, 0);
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, caption, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  }
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK InstanceWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) PaintWindow(hwnd);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

// The ...LongPtr names are the same calls (SetWindowLongA, GWL_WNDPROC) in the 32-bit product.
void* PluginWindow_Subclass(void* window, PluginInstance* owner) {
  HWND hwnd = static_cast<HWND>(window);
  const LONG_PTR previous = SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InstanceWindowProc));
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return reinterpret_cast<void*>(previous);
}

void PluginWindow_Restore(void* window, void* procedure) {
  SetWindowLongPtrA(static_cast<HWND>(window), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

void PluginWindow_Prepare(NPP) {}

int16_t PluginWindow_HandleEvent(void*, const NPWindow&) { return 0; }
