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
  if (GetWindowLongA(hwnd, GWL_USERDATA) != 0) {
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

void* PluginWindow_Subclass(void* window, PluginInstance* owner) {
  HWND hwnd = static_cast<HWND>(window);
  const LONG previous = SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG>(InstanceWindowProc));
  SetWindowLongA(hwnd, GWL_USERDATA, reinterpret_cast<LONG>(owner));
  return reinterpret_cast<void*>(previous);
}

void PluginWindow_Restore(void* window, void* procedure) {
  SetWindowLongA(static_cast<HWND>(window), GWL_WNDPROC, reinterpret_cast<LONG>(procedure));
}

void PluginWindow_Prepare(NPP) {}

int16_t PluginWindow_HandleEvent(void*, const NPWindow&) { return 0; }
