#include "host/host_window.h"

namespace host {

namespace {
uintptr_t g_nextWindowId = 0x3a00001;  // X window ids are small integers handed out by the server
}

HostWindow::HostWindow(int width, int height) : width_(width), height_(height) {
  handle_ = reinterpret_cast<void*>(g_nextWindowId++);
}
HostWindow::~HostWindow() = default;

void* HostWindow::CurrentProcedure() const { return nullptr; }
intptr_t HostWindow::UserData() const { return 0; }
void HostWindow::SetUserData(intptr_t) {}
void HostWindow::Paint() {}
uint32_t HostWindow::Pixel(int, int) const { return 0; }

}  // namespace host
