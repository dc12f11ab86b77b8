// Unix: the engines give a windowed plug-in no X window of its own, so the plug-in asks to draw
// windowless and paints the black frame and the centred caption into the browser's drawable when
// it is asked to (GraphicsExpose).
#include "shell/plugin_window.h"

#include <X11/Xlib.h>
#include <string.h>

#include "shell/browser_gateway.h"

namespace {

const char PLUGIN_CAPTION[] = "Vexo PlugIn";

void PaintArea(Display* display, Drawable drawable, const NPWindow& area) {
  if (area.width < 2 || area.height < 2) return;
  GC gc = XCreateGC(display, drawable, 0, nullptr);
  // An opaque windowless plug-in paints its whole area: a white ground, as a window's would be.
  XSetForeground(display, gc, WhitePixel(display, DefaultScreen(display)));
  XFillRectangle(display, drawable, gc, area.x, area.y, area.width, area.height);
  XSetForeground(display, gc, BlackPixel(display, DefaultScreen(display)));
  XDrawRectangle(display, drawable, gc, area.x, area.y, area.width - 1, area.height - 1);
  XFontStruct* font = XQueryFont(display, XGContextFromGC(gc));
  const int length = static_cast<int>(strlen(PLUGIN_CAPTION));
  const int textWidth = font != nullptr ? XTextWidth(font, PLUGIN_CAPTION, length) : 6 * length;
  const int ascent = font != nullptr ? font->ascent : 10;
  const int descent = font != nullptr ? font->descent : 3;
  const int x = area.x + (static_cast<int>(area.width) - textWidth) / 2;
  const int y = area.y + (static_cast<int>(area.height) + ascent - descent) / 2;
  XDrawString(display, drawable, gc, x, y, PLUGIN_CAPTION, length);
  if (font != nullptr) XFreeFontInfo(nullptr, font, 0);
  XFreeGC(display, gc);
}

}  // namespace

void* PluginWindow_Subclass(void*, PluginInstance*) { return nullptr; }

void PluginWindow_Restore(void*, void*) {}

void PluginWindow_Prepare(NPP npp) {
  // A browser without windowless support refuses; the instance then simply draws nothing.
  NPN_SetValue(npp, NPPVpluginWindowBool, nullptr);  // the value false, passed in the pointer
}

int16_t PluginWindow_HandleEvent(void* event, const NPWindow& area) {
  const XEvent* xevent = static_cast<const XEvent*>(event);
  if (xevent == nullptr || xevent->type != GraphicsExpose) return 0;
  const XGraphicsExposeEvent& expose = xevent->xgraphicsexpose;
  if (expose.display == nullptr || expose.drawable == 0) return 0;
  PaintArea(expose.display, expose.drawable, area);
  return 1;
}
