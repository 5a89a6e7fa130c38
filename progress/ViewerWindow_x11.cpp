// The progress window on X11: one display connection per viewer thread, Xft for text, every
// frame composed on pixmaps and copied to the window in one XCopyArea.
#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "os/Time.h"
#include "progress/FpuControlGuard.h"
#include "progress/FrameLayout.h"
#include "progress/TextDrawingLock.h"
#include "progress/ViewerDrawing.h"
#include "progress/ViewerWindow.h"

namespace progress_internal {

namespace {

constexpr const char* kClassName = "ProgressViewerFormClass";
constexpr const char* kWindowName = "ProgressWnd";
constexpr double kScreenDpi = 96.0;

// Errors on a viewer's own connection (a window the window manager took away a moment
// earlier, a focus request that came too late) must not end the program, which Xlib's
// default handler or a toolkit's handler (the file dialog's ends the process) would do;
// errors on other connections go to the handler we replaced. A connection is counted, not
// just listed: the next connection may get the address of one that is closing.
struct ViewerConnections {
  std::mutex lock;
  std::multiset<Display*> displays;
  XErrorHandler previous = nullptr;
  std::atomic<int> errors{0};
};
ViewerConnections& Connections() {
  static ViewerConnections* connections = new ViewerConnections;
  return *connections;
}
int OnXError(Display* display, XErrorEvent* error) {
  XErrorHandler previous;
  {
    std::lock_guard<std::mutex> guard(Connections().lock);
    if (Connections().displays.count(display) != 0) {
      Connections().errors.fetch_add(1);
      std::fprintf(stderr, "ProgressViewer: X error %d (request %d.%d) on a progress window\n",
                   error->error_code, error->request_code, error->minor_code);
      return 0;
    }
    previous = Connections().previous;
  }
  return previous != nullptr ? previous(display, error) : 0;
}
// The handler is one per process, and the file dialog's toolkit installs its own when it is
// first shown: every new viewer puts ours back in front of whatever came last.
void TakeViewerErrors() {
  XErrorHandler current = XSetErrorHandler(OnXError);
  if (current != OnXError) {
    std::lock_guard<std::mutex> guard(Connections().lock);
    Connections().previous = current;
  }
}
Display* OpenViewerConnection() {
  Display* display = XOpenDisplay(nullptr);
  if (display != nullptr) {
    std::lock_guard<std::mutex> guard(Connections().lock);
    Connections().displays.insert(display);
  }
  return display;
}
void CloseViewerConnection(Display* display) {
  XCloseDisplay(display);
  std::lock_guard<std::mutex> guard(Connections().lock);
  Connections().displays.erase(Connections().displays.find(display));
}

// The rendering extension's per-connection record must be made before the font library's.
// At close the connection's hooks run newest first: were the font library's record older, the
// rendering record would be gone when the font library frees its glyph sets through it, and
// that call would make a new record that outlives the connection. The next viewer thread's
// connection usually gets the same address, finds that record and sends requests under a
// stale extension code: X errors, or a connection that the server closes. Called with the
// text-drawing lock held, as every use of the two libraries is.
void RegisterRenderingFirst(Display* display) {
  int eventBase = 0, errorBase = 0;
  XRenderQueryExtension(display, &eventBase, &errorBase);
}

WorkArea WorkAreaOf(Display* display) {
  int screen = DefaultScreen(display);
  Window root = RootWindow(display, screen);
  WorkArea area{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
  Atom workArea = XInternAtom(display, "_NET_WORKAREA", True);
  if (workArea == None) {
    return area;
  }
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, root, workArea, 0, 4, False, XA_CARDINAL, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    if (format == 32 && count >= 4) {
      const long* v = reinterpret_cast<const long*>(data);
      if (v[2] > 0 && v[3] > 0) {
        area = WorkArea{static_cast<int>(v[0]), static_cast<int>(v[1]),
                        static_cast<int>(v[0] + v[2]), static_cast<int>(v[1] + v[3])};
      }
    }
    XFree(data);
  }
  return area;
}

}  // namespace

// A shown progress window takes the keyboard focus, as a window shown on Windows is
// activated, so that Esc reaches it without a click. Window managers do not focus every
// new window by themselves.
void ActivateShownWindow(Display* display, Window window) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
    return;
  }
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = window;
  request.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  request.xclient.format = 32;
  request.xclient.data.l[0] = 1;  // from an application
  request.xclient.data.l[1] = CurrentTime;
  Window root = DefaultRootWindow(display);
  XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
  XFlush(display);
}

bool RegisterProgressWindowClass() {
  // Every viewer thread opens its own connection; Xlib must know before the first call.
  if (XInitThreads() == 0) {
    return false;
  }
  TakeViewerErrors();
  return true;
}

int ViewerConnectionErrorCount() {
  return Connections().errors.load();
}

WorkArea QueryWorkArea() {
  Display* display = OpenViewerConnection();
  if (display == nullptr) {
    return WorkArea{};
  }
  WorkArea area = WorkAreaOf(display);
  CloseViewerConnection(display);
  return area;
}

struct ViewerWindow::Platform {
  Display* display = nullptr;
  int screen = 0;
  Visual* visual = nullptr;
  Colormap colormap = 0;
  int depth = 0;
  Window window = 0;
  Window button = 0;
  Atom wmProtocols = None;
  Atom wmDeleteWindow = None;
  GC gc = nullptr;
  // The four surfaces of the frame.
  Pixmap frame = 0, back = 0, text = 0, bar = 0;
  int frameW = 0, frameH = 0, textW = 0, textH = 0, barW = 0;
  Pixmap buttonFace = 0;
  bool buttonPressed = false;
  bool buttonMapped = false;
  bool activated = false;
  std::map<std::tuple<std::string, int, int>, XftFont*> fonts;
  std::map<std::uint32_t, XftColor> colors;

  ~Platform() {
    if (display == nullptr) {
      return;
    }
    for (auto& [key, font] : fonts) {
      XftFontClose(display, font);
    }
    for (auto& [rgb, color] : colors) {
      XftColorFree(display, visual, colormap, &color);
    }
    for (Pixmap p : {frame, back, text, bar, buttonFace}) {
      if (p != 0) {
        XFreePixmap(display, p);
      }
    }
    if (gc != nullptr) {
      XFreeGC(display, gc);
    }
    if (window != 0) {
      XDestroyWindow(display, window);  // takes the button with it
    }
    CloseViewerConnection(display);
  }

  XftColor& Color(TColorValue value) {
    std::uint32_t rgb = ColorToRgb(value);
    auto it = colors.find(rgb);
    if (it != colors.end()) {
      return it->second;
    }
    XRenderColor render;
    render.red = static_cast<unsigned short>((rgb & 0xFF) * 0x101);
    render.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 0x101);
    render.blue = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 0x101);
    render.alpha = 0xFFFF;
    XftColor color{};
    XftColorAllocValue(display, visual, colormap, &render, &color);
    return colors.emplace(rgb, color).first->second;
  }
  unsigned long Pixel(TColorValue value) { return Color(value).pixel; }

  // A face by name at `points` on a 96 dpi screen. Names the system lacks ("MS Sans Serif")
  // fall back to faces of similar width before the generic sans-serif face.
  XftFont* Font(const std::string& name, int points, std::uint8_t style) {
    auto key = std::make_tuple(name, points, static_cast<int>(style & (fsBold | fsItalic)));
    auto it = fonts.find(key);
    if (it != fonts.end()) {
      return it->second;
    }
    FcPattern* pattern = FcPatternCreate();
    for (const char* family : {name.c_str(), "Tahoma", "Arial", "Liberation Sans", "sans-serif"}) {
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    }
    FcPatternAddDouble(pattern, FC_SIZE, points > 0 ? points : 1);
    FcPatternAddDouble(pattern, FC_DPI, kScreenDpi);
    FcPatternAddInteger(pattern, FC_WEIGHT, (style & fsBold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, (style & fsItalic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    XftResult result;
    FcPattern* match = XftFontMatch(display, screen, pattern, &result);
    FcPatternDestroy(pattern);
    XftFont* font = match != nullptr ? XftFontOpenPattern(display, match) : nullptr;
    if (font == nullptr) {
      if (match != nullptr) {
        FcPatternDestroy(match);
      }
      font = XftFontOpenName(display, screen, "sans-serif:size=8");
    }
    if (font == nullptr) {
      throw EProgressException("Не удалось открыть шрифт " + name);
    }
    fonts.emplace(key, font);
    return font;
  }

  int TextWidth(XftFont* font, const std::string& text) {
    if (text.empty()) {
      return 0;
    }
    XGlyphInfo extents;
    XftTextExtentsUtf8(display, font, reinterpret_cast<const FcChar8*>(text.data()),
                       static_cast<int>(text.size()), &extents);
    return extents.xOff;
  }

  static int LineHeight(XftFont* font) { return font->ascent + font->descent; }

  // Text with its top at y, in the style's decorations; nothing behind it.
  void DrawText(XftDraw* draw, XftFont* font, std::uint8_t style, TColorValue color, int x, int y,
                const std::string& text) {
    if (text.empty()) {
      return;
    }
    XftColor& c = Color(color);
    XftDrawStringUtf8(draw, &c, font, x, y + font->ascent,
                      reinterpret_cast<const FcChar8*>(text.data()), static_cast<int>(text.size()));
    int width = TextWidth(font, text);
    int thickness = std::max(1, font->height / 14);
    if (style & fsUnderline) {
      XftDrawRect(draw, &c, x, y + font->ascent + std::max(1, font->descent / 2), width, thickness);
    }
    if (style & fsStrikeOut) {
      XftDrawRect(draw, &c, x, y + font->ascent - font->ascent / 3, width, thickness);
    }
  }

  Pixmap NewPixmap(int w, int h) {
    return XCreatePixmap(display, window, std::max(1, w), std::max(1, h),
                         static_cast<unsigned>(depth));
  }
  void Free(Pixmap& p) {
    if (p != 0) {
      XFreePixmap(display, p);
      p = 0;
    }
  }
  // A rectangle as the toolkit draws it: 1-pixel black outline around the fill.
  void Rectangle(Drawable d, int x1, int y1, int x2, int y2, TColorValue fill) {
    if (x2 - x1 < 1 || y2 - y1 < 1) {
      return;
    }
    XSetForeground(display, gc, Pixel(fill));
    XFillRectangle(display, d, gc, x1, y1, static_cast<unsigned>(x2 - x1),
                   static_cast<unsigned>(y2 - y1));
    XSetForeground(display, gc, Pixel(0));
    XDrawRectangle(display, d, gc, x1, y1, static_cast<unsigned>(x2 - x1 - 1),
                   static_cast<unsigned>(y2 - y1 - 1));
  }
};

ViewerWindow::ViewerWindow(TProgressViewer& viewer)
    : viewer_(viewer), p_(std::make_unique<Platform>()) {}

ViewerWindow::~ViewerWindow() {
  std::lock_guard<std::recursive_mutex> xft(TextDrawingLock());
  p_.reset();
}

bool ViewerWindow::HasWindow() const {
  return p_->window != 0;
}

std::unique_ptr<ViewerWindow> ViewerWindow::Create(TProgressViewer& viewer) {
  TakeViewerErrors();
  Display* display = OpenViewerConnection();
  if (display == nullptr) {
    return nullptr;
  }
  std::unique_ptr<ViewerWindow> self(new ViewerWindow(viewer));
  Platform& p = *self->p_;
  std::lock_guard<std::recursive_mutex> xft(TextDrawingLock());
  p.display = display;
  RegisterRenderingFirst(display);
  p.screen = DefaultScreen(display);
  p.visual = DefaultVisual(display, p.screen);
  p.colormap = DefaultColormap(display, p.screen);
  p.depth = DefaultDepth(display, p.screen);
  Window root = RootWindow(display, p.screen);

  XSetWindowAttributes attributes{};
  attributes.background_pixel = p.Pixel(0xFF000000u | 5);  // the class background: window colour
  attributes.event_mask = KeyPressMask | ExposureMask | StructureNotifyMask | FocusChangeMask;
  {
    FpuControlGuard fpu;
    p.window = XCreateWindow(display, root, viewer.Left, viewer.Top,
                             static_cast<unsigned>(viewer.Width.load()),
                             static_cast<unsigned>(viewer.Height.load()), 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
  }
  if (p.window == 0) {
    return self;  // the viewer works on without a window
  }
  p.gc = XCreateGC(display, p.window, 0, nullptr);

  // Name, class, focus and placement as a window manager reads them.
  XStoreName(display, p.window, kWindowName);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, p.window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(kWindowName),
                  static_cast<int>(std::strlen(kWindowName)));
  XClassHint classHint;
  classHint.res_name = const_cast<char*>(kWindowName);
  classHint.res_class = const_cast<char*>(kClassName);
  XSetClassHint(display, p.window, &classHint);
  XWMHints wmHints{};
  wmHints.flags = InputHint | StateHint;
  wmHints.input = True;
  wmHints.initial_state = NormalState;
  XSetWMHints(display, p.window, &wmHints);
  XSizeHints sizeHints{};
  sizeHints.flags = USPosition | PPosition | USSize | PSize | PMinSize;
  sizeHints.x = viewer.Left;
  sizeHints.y = viewer.Top;
  sizeHints.width = viewer.Width;
  sizeHints.height = viewer.Height;
  sizeHints.min_width = kMinWidth;
  sizeHints.min_height = kMinHeight;
  XSetWMNormalHints(display, p.window, &sizeHints);
  long pid = static_cast<long>(getpid());
  XChangeProperty(display, p.window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);

  // Close requests are taken and ignored: only the caller ends the window.
  p.wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
  p.wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, p.window, &p.wmDeleteWindow, 1);

  // No caption bar, always on top, no task-bar button.
  long motifHints[5] = {2 /* decorations field set */, 0, 0 /* no decorations */, 0, 0};
  Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, p.window, motif, motif, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(motifHints), 5);
  Atom states[] = {XInternAtom(display, "_NET_WM_STATE_ABOVE", False),
                   XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                   XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
  XChangeProperty(display, p.window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(states), 3);
  Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE_UTILITY", False);
  XChangeProperty(display, p.window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM,
                  32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);

  XMapRaised(display, p.window);
  viewer.Handle = static_cast<TWindowHandle>(p.window);
  RegisterWindow(&viewer);

  // The cancel button: a child window drawn by the viewer, shown only when it may cancel.
  XSetWindowAttributes buttonAttributes{};
  buttonAttributes.background_pixel = p.Pixel(kButtonFaceColor);
  buttonAttributes.event_mask =
      ButtonPressMask | ButtonReleaseMask | ExposureMask | EnterWindowMask | LeaveWindowMask;
  {
    FpuControlGuard fpu;
    const Box button = LayOutFrame(viewer.Width, viewer.Height).button;
    p.button = XCreateWindow(display, p.window, button.left, button.top,
                             static_cast<unsigned>(button.width),
                             static_cast<unsigned>(button.height), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel | CWEventMask, &buttonAttributes);
  }
  if (p.button != 0) {
    viewer.ButtonHandle = static_cast<TWindowHandle>(p.button);
    if (viewer.CanCancel) {
      XMapWindow(display, p.button);
      p.buttonMapped = true;
    }
  }
  XFlush(display);
  return self;
}

void ViewerWindow::DispatchMessages() {
  Platform& p = *p_;
  if (p.window == 0) {
    return;
  }
  while (XPending(p.display) > 0) {
    XEvent event;
    XNextEvent(p.display, &event);
    switch (event.type) {
      case KeyPress:
        if (XLookupKeysym(&event.xkey, 0) == XK_Escape) {
          if (TProgressViewer* v = FindViewer(static_cast<TWindowHandle>(p.window))) {
            v->Cancel();
          }
        }
        break;
      case ButtonPress:
        if (event.xbutton.window == p.button && event.xbutton.button == Button1) {
          p.buttonPressed = true;
        }
        break;
      case ButtonRelease:
        if (event.xbutton.window == p.button && event.xbutton.button == Button1 &&
            p.buttonPressed) {
          p.buttonPressed = false;
          bool inside = event.xbutton.x >= 0 && event.xbutton.y >= 0 &&
                        event.xbutton.x < kButtonWidth && event.xbutton.y < kButtonHeight;
          if (inside) {
            if (TProgressViewer* v = FindViewer(static_cast<TWindowHandle>(p.window))) {
              v->Cancel();
            }
          }
        }
        break;
      case MapNotify:
        if (event.xmap.window == p.window && !p.activated) {
          p.activated = true;
          ActivateShownWindow(p.display, p.window);
        }
        break;
      case ClientMessage:
        // WM_DELETE_WINDOW and every other request of the window manager: nothing.
        break;
      default:
        break;
    }
  }
}

void ViewerWindow::Resize(int newWidth, int newHeight) {
  Platform& p = *p_;
  TProgressViewer& v = viewer_;
  const WindowSize size = RequestedSize({v.Width, v.Height}, newWidth, newHeight);
  if (size.width == v.Width && size.height == v.Height) {
    return;
  }
  v.Width = newWidth = size.width;
  v.Height = newHeight = size.height;
  WorkArea area = WorkAreaOf(p.display);
  Placement place =
      PlaceOnWorkArea(area.left, area.top, area.right, area.bottom, newWidth, newHeight);
  v.Left = place.left;
  v.Top = place.top;
  if (p.window != 0) {
    XSizeHints sizeHints{};
    sizeHints.flags = USPosition | PPosition | USSize | PSize | PMinSize;
    sizeHints.x = place.left;
    sizeHints.y = place.top;
    sizeHints.width = newWidth;
    sizeHints.height = newHeight;
    sizeHints.min_width = kMinWidth;
    sizeHints.min_height = kMinHeight;
    XSetWMNormalHints(p.display, p.window, &sizeHints);
    XMoveResizeWindow(p.display, p.window, place.left, place.top, static_cast<unsigned>(newWidth),
                      static_cast<unsigned>(newHeight));
    XRaiseWindow(p.display, p.window);
  }
  if (p.button != 0) {
    const Box button = LayOutFrame(newWidth, newHeight).button;
    XMoveWindow(p.display, p.button, button.left, button.top);
    if (v.CanCancel && !p.buttonMapped) {
      XMapWindow(p.display, p.button);
      p.buttonMapped = true;
    }
  }
  v.LayoutValid = false;
}

void ViewerWindow::LayOut() {
  std::lock_guard<std::recursive_mutex> xft(TextDrawingLock());
  LayOutTextBlock();
  ComposeBackground();
}

void ViewerWindow::LayOutTextBlock() {
  Platform& p = *p_;
  TProgressViewer& v = viewer_;
  const int w = LayOutFrame(v.Width, v.Height).textWidth;
  p.Free(p.text);
  p.textH = 0;
  p.textW = w;

  // Measure.
  std::vector<std::vector<std::string>> broken;
  int sum = 0;
  for (TStringInfo& line : v.Strings) {
    XftFont* font = p.Font(line.FontName, line.FontSize, line.FontStyle);
    broken.push_back(BreakText(line.Text, line.WordWrap, w,
                               [&](const std::string& s) { return p.TextWidth(font, s); }));
    line.Height = static_cast<std::int32_t>(broken.back().size()) * Platform::LineHeight(font);
    sum += line.Height;
  }

  // Draw, top to bottom, on the block's colour.
  if (sum > 0) {
    p.text = p.NewPixmap(w, sum);
    p.textH = sum;
    XSetForeground(p.display, p.gc, p.Pixel(v.TextBackColor));
    XFillRectangle(p.display, p.text, p.gc, 0, 0, static_cast<unsigned>(w),
                   static_cast<unsigned>(sum));
    XftDraw* draw = XftDrawCreate(p.display, p.text, p.visual, p.colormap);
    int y = 0;
    for (std::size_t i = 0; i < v.Strings.size(); ++i) {
      const TStringInfo& line = v.Strings[i];
      XftFont* font = p.Font(line.FontName, line.FontSize, line.FontStyle);
      int lineY = y;
      for (const std::string& text : broken[i]) {
        int tw = p.TextWidth(font, text);
        int x = line.Alignment == taLeft ? 0 : line.Alignment == taRight ? w - tw : (w - tw) / 2;
        p.DrawText(draw, font, line.FontStyle, line.Color, x, lineY, text);
        lineY += Platform::LineHeight(font);
      }
      y += line.Height;
    }
    XftDrawDestroy(draw);
  }
  if (sum > 0) {
    Resize(-1, FrameHeightForText(sum));
  }
}

void ViewerWindow::ComposeBackground() {
  Platform& p = *p_;
  TProgressViewer& v = viewer_;
  p.Free(p.frame);
  p.Free(p.back);
  p.frameW = v.Width;
  p.frameH = v.Height;
  p.frame = p.NewPixmap(p.frameW, p.frameH);
  p.Rectangle(p.frame, 0, 0, p.frameW, p.frameH, kButtonFaceColor);
  p.back = p.NewPixmap(p.frameW, p.frameH);
  XCopyArea(p.display, p.frame, p.back, p.gc, 0, 0, static_cast<unsigned>(p.frameW),
            static_cast<unsigned>(p.frameH), 0, 0);
  if (p.text != 0 && p.textH > 0) {
    const Origin block = LayOutFrame(p.frameW, p.frameH).textBlock;
    XCopyArea(p.display, p.text, p.back, p.gc, 0, 0, static_cast<unsigned>(p.textW),
              static_cast<unsigned>(p.textH), block.x, block.y);
  }
}

void ViewerWindow::PaintFrame() {
  Platform& p = *p_;
  TProgressViewer& v = viewer_;
  std::lock_guard<std::recursive_mutex> xft(TextDrawingLock());
  if (p.frame == 0 || p.back == 0) {
    ComposeBackground();
  }
  try {
    XCopyArea(p.display, p.back, p.frame, p.gc, 0, 0, static_cast<unsigned>(p.frameW),
              static_cast<unsigned>(p.frameH), 0, 0);

    // The strip.
    const FrameLayout layout = LayOutFrame(p.frameW, p.frameH);
    const int barW = layout.strip.width, barH = layout.strip.height;
    if (p.bar == 0 || p.barW != barW) {
      p.Free(p.bar);
      p.bar = p.NewPixmap(barW, barH);
      p.barW = barW;
    }
    p.Rectangle(p.bar, 0, 0, barW, barH, 0xFFFFFF);
    if (!v.ShowPercent) {
      double position = NextBlockPosition(v.Position.load(), barW);
      v.Position.store(position);
      const Box block = MovingBlock(barH, position);
      p.Rectangle(p.bar, block.left, block.top, block.right(), block.bottom(), BarColor);
    } else {
      double position = ClampPercent(v.Position.load());
      v.Position.store(position);
      const Box fill = PercentFill(barW, barH, position);
      p.Rectangle(p.bar, fill.left, fill.top, fill.right(), fill.bottom(), BarColor);
      if (ShowPercentText) {
        std::string label = std::to_string(static_cast<int>(position)) + " %";
        XftFont* font = p.Font(GlobalFontName, GlobalFontSize, fsBold);
        XftDraw* draw = XftDrawCreate(p.display, p.bar, p.visual, p.colormap);
        const Origin at = PercentLabel(barW, p.TextWidth(font, label));
        p.DrawText(draw, font, fsBold, 0, at.x, at.y, label);
        XftDrawDestroy(draw);
      }
    }

    // The elapsed time, at the left beside the button or at the right without one.
    if (ShowTotalTime) {
      std::string text = TotalTimeText(os::MonotonicMs() - v.StartTime);
      XftFont* font = p.Font(GlobalFontName, GlobalFontSize, 0);
      const Origin at = ElapsedText(layout, p.frameW, v.CanCancel, p.TextWidth(font, text));
      XftDraw* draw = XftDrawCreate(p.display, p.frame, p.visual, p.colormap);
      p.DrawText(draw, font, 0, 0, at.x, at.y, text);
      XftDrawDestroy(draw);
    }

    XCopyArea(p.display, p.bar, p.frame, p.gc, 0, 0, static_cast<unsigned>(barW),
              static_cast<unsigned>(barH), layout.strip.left, layout.strip.top);
  } catch (...) {
    // The frame still goes out; the error is the caller's to discard.
    PutFrameOnWindow(&v, static_cast<TWindowHandle>(p.window));
    throw;
  }
  PutFrameOnWindow(&v, static_cast<TWindowHandle>(p.window));
}

void ViewerWindow::PutFrameOnWindow(TProgressViewer* viewer, TWindowHandle window) {
  // Only the registered viewer of that window may draw on it.
  if (viewer == nullptr || FindViewer(window) != viewer || viewer->Window == nullptr) {
    return;
  }
  Platform& p = *viewer->Window->p_;
  // The window gets the finished frame in one copy.
  XCopyArea(p.display, p.frame, p.window, p.gc, 0, 0, static_cast<unsigned>(p.frameW),
            static_cast<unsigned>(p.frameH), 0, 0);
  XFlush(p.display);
}

void ViewerWindow::RefreshButton() {
  Platform& p = *p_;
  if (p.button == 0 || !p.buttonMapped) {
    DispatchMessages();
    return;
  }
  {
    std::lock_guard<std::recursive_mutex> xft(TextDrawingLock());
    if (p.buttonFace == 0) {
      p.buttonFace = p.NewPixmap(kButtonWidth, kButtonHeight);
    }
    const int w = kButtonWidth, h = kButtonHeight;
    bool down = p.buttonPressed;
    XSetForeground(p.display, p.gc, p.Pixel(kButtonFaceColor));
    XFillRectangle(p.display, p.buttonFace, p.gc, 0, 0, w, h);
    // A raised (or, while pressed, sunken) bevel like the system's push button.
    unsigned long light = p.Pixel(0xFF000000u | 20), shadow = p.Pixel(0xFF000000u | 16),
                  dark = p.Pixel(0xFF000000u | 21);
    XSetForeground(p.display, p.gc, down ? dark : light);
    XDrawLine(p.display, p.buttonFace, p.gc, 0, 0, w - 1, 0);
    XDrawLine(p.display, p.buttonFace, p.gc, 0, 0, 0, h - 1);
    XSetForeground(p.display, p.gc, down ? light : dark);
    XDrawLine(p.display, p.buttonFace, p.gc, 0, h - 1, w - 1, h - 1);
    XDrawLine(p.display, p.buttonFace, p.gc, w - 1, 0, w - 1, h - 1);
    XSetForeground(p.display, p.gc, shadow);
    if (!down) {
      XDrawLine(p.display, p.buttonFace, p.gc, 1, h - 2, w - 2, h - 2);
      XDrawLine(p.display, p.buttonFace, p.gc, w - 2, 1, w - 2, h - 2);
    }
    XftFont* font = p.Font(GlobalFontName, GlobalFontSize, 0);
    int tw = p.TextWidth(font, CancelButtonCaption);
    int th = Platform::LineHeight(font);
    XftDraw* draw = XftDrawCreate(p.display, p.buttonFace, p.visual, p.colormap);
    int shift = down ? 1 : 0;
    p.DrawText(draw, font, 0, 0, (w - tw) / 2 + shift, (h - th) / 2 + shift, CancelButtonCaption);
    XftDrawDestroy(draw);
    XCopyArea(p.display, p.buttonFace, p.button, p.gc, 0, 0, w, h, 0, 0);
    XFlush(p.display);
  }
  DispatchMessages();
}

void ViewerWindow::Close() {
  Platform& p = *p_;
  if (p.window == 0) {
    return;
  }
  XUnmapWindow(p.display, p.window);
  XSync(p.display, False);
}

}  // namespace progress_internal
