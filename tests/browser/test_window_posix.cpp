#include "browser/test_window.h"

namespace testbrowser {

namespace {
uintptr_t g_nextWindowId = 0x3a00001;  // X window ids are small integers handed out by the server
}

TestWindow::TestWindow(int width, int height) : width_(width), height_(height) {
  handle_ = reinterpret_cast<void*>(g_nextWindowId++);
}
TestWindow::~TestWindow() = default;

void* TestWindow::CurrentProcedure() const { return nullptr; }
intptr_t TestWindow::UserData() const { return 0; }
void TestWindow::SetUserData(intptr_t) {}
void TestWindow::Paint() {}
uint32_t TestWindow::Pixel(int, int) const { return 0; }

}  // namespace testbrowser
