#include "browser/test_window.h"

#include <windows.h>

namespace testbrowser {

namespace {

const char WINDOW_CLASS[] = "VexoTestBrowserWindow";

// The browser's own procedure: paints the client area white.
LRESULT CALLBACK BrowserWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return 1;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterOnce() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = BrowserWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = WINDOW_CLASS;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassA(&wc);
  registered = true;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

TestWindow::TestWindow(int width, int height) : width_(width), height_(height) {
  RegisterOnce();
  RECT frame = {0, 0, width, height};
  AdjustWindowRect(&frame, WS_POPUP, FALSE);
  HWND hwnd = CreateWindowExA(0, WINDOW_CLASS, "plugin", WS_POPUP | WS_VISIBLE, 10, 10, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  handle_ = hwnd;
  if (hwnd != nullptr) {
    original_ = reinterpret_cast<void*>(GetWindowLongA(hwnd, GWL_WNDPROC));
    UpdateWindow(hwnd);
    PumpMessages();
  }
}

TestWindow::~TestWindow() {
  if (handle_ != nullptr) DestroyWindow(static_cast<HWND>(handle_));
  PumpMessages();
}

void* TestWindow::CurrentProcedure() const {
  return handle_ ? reinterpret_cast<void*>(GetWindowLongA(static_cast<HWND>(handle_), GWL_WNDPROC)) : nullptr;
}

intptr_t TestWindow::UserData() const {
  return handle_ ? GetWindowLongA(static_cast<HWND>(handle_), GWL_USERDATA) : 0;
}

void TestWindow::SetUserData(intptr_t value) {
  if (handle_) SetWindowLongA(static_cast<HWND>(handle_), GWL_USERDATA, static_cast<LONG>(value));
}

void TestWindow::Paint() {
  HWND hwnd = static_cast<HWND>(handle_);
  if (hwnd == nullptr) return;
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
  PumpMessages();
  GdiFlush();
}

uint32_t TestWindow::Pixel(int x, int y) const {
  HWND hwnd = static_cast<HWND>(handle_);
  if (hwnd == nullptr) return 0;
  HDC dc = GetDC(hwnd);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(hwnd, dc);
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

}  // namespace testbrowser
