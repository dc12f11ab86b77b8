// The plug-in window on Windows: subclassing by the first NPP_SetWindow, restoring by NPP_Destroy,
// and the painted frame and caption read back from the screen.
#include <windows.h>

#include "host/host_window.h"
#include "common/plugin_fixture.h"

namespace {

using host::HostWindow;

const uint32_t BLACK = 0x000000;
const uint32_t WHITE = 0xFFFFFF;

class WindowTest : public PluginTest {
 protected:
  // Counts non-white pixels in a rectangle of the client area.
  static int InkIn(const HostWindow& w, int left, int top, int right, int bottom) {
    int ink = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (w.Pixel(x, y) != WHITE) ++ink;
    return ink;
  }
  static bool FrameIsBlack(const HostWindow& w) {
    const int r = w.width() - 1;
    const int b = w.height() - 1;
    for (int x = 0; x <= r; x += 7)
      if (w.Pixel(x, 0) != BLACK || w.Pixel(x, b) != BLACK) return false;
    for (int y = 0; y <= b; y += 5)
      if (w.Pixel(0, y) != BLACK || w.Pixel(r, y) != BLACK) return false;
    return w.Pixel(r, b) == BLACK;
  }
};

TEST_F(WindowTest, FirstSetWindowSubclassesAndDestroyRestores) {
  HostWindow window(200, 80);
  ASSERT_NE(nullptr, window.handle());
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  ASSERT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, window.handle(), 200, 80));
  EXPECT_NE(window.OriginalProcedure(), window.CurrentProcedure());
  EXPECT_EQ(reinterpret_cast<intptr_t>(instance->pdata), window.UserData());
  void* subclassed = window.CurrentProcedure();

  // Later calls, with the same window, a new size, another window or none, change nothing.
  HostWindow other(100, 40);
  EXPECT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, window.handle(), 300, 90));
  EXPECT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, other.handle(), 100, 40));
  EXPECT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, nullptr, 0, 0));
  EXPECT_EQ(subclassed, window.CurrentProcedure());
  EXPECT_EQ(other.OriginalProcedure(), other.CurrentProcedure());

  const intptr_t userData = window.UserData();
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(instance));
  EXPECT_EQ(window.OriginalProcedure(), window.CurrentProcedure());
  EXPECT_EQ(userData, window.UserData());  // left as it was
  ExpectNothingLeft();
}

TEST_F(WindowTest, InstanceNeverAttachedChangesNoWindowOnDestroy) {
  HostWindow window(120, 60);
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  EXPECT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, nullptr, 120, 60));
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(instance));
  EXPECT_EQ(window.OriginalProcedure(), window.CurrentProcedure());
  EXPECT_EQ(0, window.UserData());
}

TEST_F(WindowTest, TwoInstancesBothGetBackTheProcedureOfTheLaterAttachment) {
  HostWindow a(120, 60);
  HostWindow b(120, 60);
  // The second window already carries another procedure, so the two replaced ones differ.
  SetWindowLongPtrA(static_cast<HWND>(b.handle()), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
  void* bBefore = b.CurrentProcedure();
  NPP first = browser.NewInstance();
  NPP second = browser.NewInstance();
  ASSERT_EQ(NPERR_NO_ERROR, browser.SetWindow(first, a.handle(), 120, 60));
  ASSERT_EQ(NPERR_NO_ERROR, browser.SetWindow(second, b.handle(), 120, 60));
  EXPECT_EQ(a.CurrentProcedure(), b.CurrentProcedure());  // one procedure serves every instance
  browser.DestroyInstance(first);
  browser.DestroyInstance(second);
  EXPECT_EQ(bBefore, a.CurrentProcedure());
  EXPECT_EQ(bBefore, b.CurrentProcedure());
  // Give window a its own procedure back before it is destroyed.
  SetWindowLongPtrA(static_cast<HWND>(a.handle()), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(a.OriginalProcedure()));
}

TEST_F(WindowTest, PaintDrawsBlackFrameAndCentredCaption) {
  HostWindow window(240, 80);
  NPP instance = browser.NewInstance();
  ASSERT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, window.handle(), 240, 80));
  window.Paint();
  EXPECT_TRUE(FrameIsBlack(window));
  // The caption lies in a band around the centre; the corners inside the frame stay clear.
  EXPECT_GT(InkIn(window, 60, 30, 180, 50), 20);
  EXPECT_EQ(0, InkIn(window, 1, 1, 40, 20));
  EXPECT_EQ(0, InkIn(window, 200, 60, 239, 79));
  // Centred: about as much ink left of the middle as right of it.
  const int left = InkIn(window, 1, 20, 120, 60);
  const int right = InkIn(window, 120, 20, 239, 60);
  EXPECT_GT(left, 0);
  EXPECT_GT(right, 0);
  EXPECT_LT(abs(left - right), (left + right) / 3);
  browser.DestroyInstance(instance);
}

TEST_F(WindowTest, WithoutUserDataOnlyTheFrameIsDrawn) {
  HostWindow window(240, 80);
  NPP instance = browser.NewInstance();
  ASSERT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, window.handle(), 240, 80));
  window.SetUserData(0);
  window.Paint();
  EXPECT_TRUE(FrameIsBlack(window));
  EXPECT_EQ(0, InkIn(window, 1, 1, 239, 79));
  browser.DestroyInstance(instance);
}

TEST_F(WindowTest, SmallWindowGetsTheCaptionClippedOnOneLine) {
  HostWindow window(40, 30);
  NPP instance = browser.NewInstance();
  ASSERT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, window.handle(), 40, 30));
  window.Paint();
  EXPECT_TRUE(FrameIsBlack(window));
  // Text runs over the whole width in the middle rows, and nothing wraps into the top rows.
  EXPECT_GT(InkIn(window, 1, 10, 39, 20), 10);
  EXPECT_EQ(0, InkIn(window, 1, 1, 39, 4));
  browser.DestroyInstance(instance);
}

}  // namespace
