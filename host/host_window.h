// A native window for the plug-in, as a browser gives one to NPP_SetWindow. On Windows it is a
// real, visible top-level window whose pixels can be read back after a paint; on Unix the
// plug-in draws nothing yet, so it is a made-up X window id.
#pragma once

#include <stdint.h>

#include <vector>

namespace host {

class HostWindow {
 public:
  HostWindow(int width, int height);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  void* handle() const { return handle_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // The window's current procedure and the one it was created with (Windows; null on Unix).
  void* CurrentProcedure() const;
  void* OriginalProcedure() const { return original_; }
  intptr_t UserData() const;
  void SetUserData(intptr_t value);
  // Invalidates the client area, has it painted now and takes a snapshot of its pixels.
  void Paint();
  // Colour of a client-area pixel in the last snapshot as 0x00RRGGBB (Windows; 0 on Unix).
  uint32_t Pixel(int x, int y) const;

 private:
  void* handle_ = nullptr;
  void* original_ = nullptr;
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;  // last snapshot, rows top to bottom
};

}  // namespace host
