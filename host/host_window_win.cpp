#include "host/host_window.h"

#include <windows.h>

namespace host {

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

// The browser's top-level window, shared by all plug-in windows of the process. Plug-in windows
// are its children, as in a browser; top-level windows would cost a window-manager round trip each.
HWND BrowserFrame() {
  static HWND frame = nullptr;
  if (frame == nullptr) {
    RegisterOnce();
    frame = CreateWindowExA(0, WINDOW_CLASS, "vexo host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(frame);
    PumpMessages();
  }
  return frame;
}

}  // namespace

HostWindow::HostWindow(int width, int height) : width_(width), height_(height) {
  HWND hwnd = CreateWindowExA(0, WINDOW_CLASS, "plugin", WS_CHILD | WS_VISIBLE, 10, 10, width, height,
                              BrowserFrame(), nullptr, GetModuleHandleA(nullptr), nullptr);
  handle_ = hwnd;
  if (hwnd != nullptr) {
    original_ = reinterpret_cast<void*>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    UpdateWindow(hwnd);
    PumpMessages();
  }
}

HostWindow::~HostWindow() {
  if (handle_ != nullptr) DestroyWindow(static_cast<HWND>(handle_));
  PumpMessages();
}

void* HostWindow::CurrentProcedure() const {
  return handle_ ? reinterpret_cast<void*>(GetWindowLongPtrA(static_cast<HWND>(handle_), GWLP_WNDPROC)) : nullptr;
}

intptr_t HostWindow::UserData() const {
  return handle_ ? GetWindowLongPtrA(static_cast<HWND>(handle_), GWLP_USERDATA) : 0;
}

void HostWindow::SetUserData(intptr_t value) {
  if (handle_) SetWindowLongPtrA(static_cast<HWND>(handle_), GWLP_USERDATA, static_cast<LONG_PTR>(value));
}

void HostWindow::Paint() {
  HWND hwnd = static_cast<HWND>(handle_);
  if (hwnd == nullptr) return;
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
  PumpMessages();
  GdiFlush();
  // Copy the client area into a 32-bit top-down bitmap in one go.
  pixels_.assign(static_cast<size_t>(width_) * height_, 0);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width_;
  bi.bmiHeader.biHeight = -height_;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC windowDc = GetDC(hwnd);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  HBITMAP bitmap = CreateDIBSection(windowDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, width_, height_, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = source[i] & 0xFFFFFF;
    SelectObject(memoryDc, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memoryDc);
  ReleaseDC(hwnd, windowDc);
}

uint32_t HostWindow::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || pixels_.empty()) return 0;
  return pixels_[static_cast<size_t>(y) * width_ + x];  // DIB order is 0x00RRGGBB already
}

}  // namespace host
