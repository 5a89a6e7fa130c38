// The progress window on Win32: class "ProgressViewerFormClass", a topmost tool popup with a
// hidden push button, every frame composed on memory bitmaps and put on the window by the
// frame message in one BitBlt. Texts are UTF-8 inside and drawn with the W functions.
#include <windows.h>

#include <map>
#include <tuple>

#include "os/Time.h"
#include "os/win/Wide.h"
#include "progress/FpuControlGuard.h"
#include "progress/FrameLayout.h"
#include "progress/ViewerDrawing.h"
#include "progress/ViewerWindow.h"

namespace progress_internal {

namespace {

constexpr const wchar_t* kClassName = L"ProgressViewerFormClass";
constexpr const wchar_t* kWindowName = L"ProgressWnd";

COLORREF RgbOf(TColorValue color) {
  if (color != kDefaultColor && (color & 0xFF000000u) == 0xFF000000u) {
    return GetSysColor(static_cast<int>(color & 0xFFu));
  }
  return ColorToRgb(color);
}

// One off-screen drawing surface: a memory device context with its bitmap.
struct Surface {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  int width = 0, height = 0;

  Surface() {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
  }
  ~Surface() {
    Release();
    if (dc != nullptr) {
      DeleteDC(dc);
    }
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  void Release() {
    if (bitmap != nullptr) {
      SelectObject(dc, oldBitmap);
      DeleteObject(bitmap);
      bitmap = nullptr;
    }
    width = height = 0;
  }
  void SetSize(int w, int h) {
    Release();
    width = w;
    height = h;
    if (w <= 0 || h <= 0) {
      return;
    }
    HDC screen = GetDC(nullptr);
    bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr) {
      throw EProgressException("Не удалось создать поверхность рисования");
    }
    oldBitmap = SelectObject(dc, bitmap);
  }
  // A rectangle as the toolkit draws it: 1-pixel black outline around the fill.
  void Rect(int x1, int y1, int x2, int y2, TColorValue fill) {
    HBRUSH brush = CreateSolidBrush(RgbOf(fill));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, x1, y1, x2, y2);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  }
};

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace

int ViewerConnectionErrorCount() {
  return 0;
}

bool RegisterProgressWindowClass() {
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = ProgressWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kClassName;
  if (RegisterClassW(&windowClass) != 0) {
    return true;
  }
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The program declares itself aware of the system's DPI and its main window scales itself,
// but this window's sizes are pixels of a 96 dpi screen, set through its API. Its thread
// therefore stays unaware of the DPI (Windows 10 1607 and later; older systems have no
// per-thread setting): on a scaled screen Windows stretches the whole window, so its text,
// strip and button keep their proportions.
void RunThreadUnawareOfDpi() {
  using SetContext = HANDLE(WINAPI*)(HANDLE);
  FARPROC entry = GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext");
  if (entry == nullptr) {
    return;
  }
  const auto unaware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1));  // ..._UNAWARE
  reinterpret_cast<SetContext>(reinterpret_cast<void*>(entry))(unaware);
}

WorkArea QueryWorkArea() {
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return WorkArea{area.left, area.top, area.right, area.bottom};
}

constexpr const char* kDialogFace = "MS Shell Dlg 2";

struct ViewerWindow::Platform {
  HWND window = nullptr;
  HWND button = nullptr;
  Surface frame, back, text, bar;
  int dpi = kBaseDpi;  // the screen's, as this thread sees it
  std::map<std::tuple<std::string, int, int>, HFONT> fonts;

  Platform() {
    HDC screen = GetDC(nullptr);
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    if (dpi <= 0) {
      dpi = kBaseDpi;
    }
    ReleaseDC(nullptr, screen);
  }
  ~Platform() {
    for (auto& [key, font] : fonts) {
      DeleteObject(font);
    }
  }

  HFONT Font(const std::string& name, int points, std::uint8_t style) {
    auto key = std::make_tuple(name, points, static_cast<int>(style));
    auto it = fonts.find(key);
    if (it != fonts.end()) {
      return it->second;
    }
    // The raster "MS Sans Serif" has Cyrillic letters only where the system's language for
    // non-Unicode programs is Russian; the dialog font, asked for in Cyrillic, has them
    // everywhere.
    const std::string face = name == "MS Sans Serif" ? kDialogFace : name;
    HFONT font = CreateFontW(
        -MulDiv(points, dpi, 72), 0, 0, 0, (style & fsBold) ? FW_BOLD : FW_NORMAL,
        (style & fsItalic) ? 1 : 0, (style & fsUnderline) ? 1 : 0, (style & fsStrikeOut) ? 1 : 0,
        RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_DONTCARE, os::win::ToWide(face).c_str());
    if (font == nullptr) {
      throw EProgressException("Не удалось создать шрифт " + name);
    }
    fonts.emplace(key, font);
    return font;
  }
};

ViewerWindow::ViewerWindow(TProgressViewer& viewer)
    : viewer_(viewer), p_(std::make_unique<Platform>()) {}

ViewerWindow::~ViewerWindow() = default;

bool ViewerWindow::HasWindow() const {
  return p_->window != nullptr;
}

std::unique_ptr<ViewerWindow> ViewerWindow::Create(TProgressViewer& viewer) {
  RunThreadUnawareOfDpi();  // before the screen's DPI is read for the fonts
  std::unique_ptr<ViewerWindow> self(new ViewerWindow(viewer));
  Platform& p = *self->p_;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (p.dpi != kBaseDpi) {
    // Windows 7 and 8.1 draw this window at the screen's DPI: its fonts grow with it, and so
    // must its size, given for 96 dpi. From here on the viewer's sizes are the screen's pixels.
    viewer.Width = Scaled(viewer.Width, p.dpi);
    viewer.Height = Scaled(viewer.Height, p.dpi);
    const WorkArea area = QueryWorkArea();
    const Placement place =
        PlaceOnWorkArea(area.left, area.top, area.right, area.bottom, viewer.Width, viewer.Height);
    viewer.Left = place.left;
    viewer.Top = place.top;
  }
  {
    FpuControlGuard fpu;
    p.window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, kWindowName,
                               WS_POPUP | WS_VISIBLE, viewer.Left, viewer.Top, viewer.Width,
                               viewer.Height, nullptr, nullptr, instance, nullptr);
  }
  if (p.window == nullptr) {
    return self;  // no window and no button; the cycles run without painting
  }
  ShowWindow(p.window, SW_SHOW);
  viewer.Handle = reinterpret_cast<TWindowHandle>(p.window);
  RegisterWindow(&viewer);

  {
    FpuControlGuard fpu;
    const Box button = LayOutFrame(viewer.Width, viewer.Height, p.dpi).button;
    p.button = CreateWindowExW(0, L"BUTTON", os::win::ToWide(CancelButtonCaption).c_str(), WS_CHILD,
                               button.left, button.top, button.width, button.height, p.window,
                               nullptr, instance, nullptr);
  }
  if (p.button != nullptr) {
    SendMessageW(p.button, WM_SETFONT, reinterpret_cast<WPARAM>(p.Font(kDialogFace, 8, 0)), FALSE);
    viewer.ButtonHandle = reinterpret_cast<TWindowHandle>(p.button);
    if (viewer.CanCancel) {
      ShowWindow(p.button, SW_SHOW);
      UpdateWindow(p.button);
    }
  }
  return self;
}

void ViewerWindow::DispatchMessages() {
  Platform& p = *p_;
  if (p.window == nullptr) {
    return;
  }
  MSG message;
  while (PeekMessageW(&message, p.window, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
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
  WorkArea area = QueryWorkArea();
  Placement place =
      PlaceOnWorkArea(area.left, area.top, area.right, area.bottom, newWidth, newHeight);
  v.Left = place.left;
  v.Top = place.top;
  if (p.window != nullptr) {
    SetWindowPos(p.window, HWND_TOPMOST, place.left, place.top, newWidth, newHeight,
                 SWP_SHOWWINDOW);
  }
  if (p.button != nullptr) {
    const Box button = LayOutFrame(newWidth, newHeight, p.dpi).button;
    SetWindowPos(p.button, HWND_TOP, button.left, button.top, button.width, button.height,
                 SWP_HIDEWINDOW);
    if (v.CanCancel) {
      ShowWindow(p.button, SW_SHOW);
      UpdateWindow(p.button);
    }
  }
  v.LayoutValid = false;
}

void ViewerWindow::LayOut() {
  LayOutTextBlock();
  ComposeBackground();
}

void ViewerWindow::LayOutTextBlock() {
  Platform& p = *p_;
  TProgressViewer& v = viewer_;
  const int w = LayOutFrame(v.Width, v.Height, p.dpi).textWidth;
  p.text.SetSize(0, 0);

  // Measure each line on the block's surface.
  int sum = 0;
  for (TStringInfo& line : v.Strings) {
    HGDIOBJ old = SelectObject(p.text.dc, p.Font(line.FontName, line.FontSize, line.FontStyle));
    RECT r{0, 0, w, 0};
    std::wstring text = os::win::ToWide(line.Text);
    DrawTextW(p.text.dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | (line.WordWrap ? DT_WORDBREAK : 0));
    SelectObject(p.text.dc, old);
    line.Height = r.bottom;
    sum += line.Height;
  }

  p.text.SetSize(w, sum);
  if (sum > 0) {
    HBRUSH brush = CreateSolidBrush(RgbOf(v.TextBackColor));
    RECT all{0, 0, w, sum};
    FillRect(p.text.dc, &all, brush);
    DeleteObject(brush);
    SetBkMode(p.text.dc, OPAQUE);
    SetBkColor(p.text.dc, RgbOf(v.TextBackColor));
    int y = 0;
    for (const TStringInfo& line : v.Strings) {
      HGDIOBJ old = SelectObject(p.text.dc, p.Font(line.FontName, line.FontSize, line.FontStyle));
      SetTextColor(p.text.dc, RgbOf(line.Color));
      UINT format = line.Alignment == taLeft    ? DT_LEFT
                    : line.Alignment == taRight ? DT_RIGHT
                                                : DT_CENTER;
      RECT r{0, y, w, y + line.Height};
      std::wstring text = os::win::ToWide(line.Text);
      DrawTextW(p.text.dc, text.c_str(), static_cast<int>(text.size()), &r,
                format | DT_NOPREFIX | (line.WordWrap ? DT_WORDBREAK : 0));
      SelectObject(p.text.dc, old);
      y += line.Height;
    }
    Resize(-1, FrameHeightForText(sum, p.dpi));
  }
}

void ViewerWindow::ComposeBackground() {
  Platform& p = *p_;
  TProgressViewer& v = viewer_;
  p.frame.SetSize(v.Width, v.Height);
  p.frame.Rect(0, 0, p.frame.width, p.frame.height, kButtonFaceColor);
  p.back.SetSize(p.frame.width, p.frame.height);
  BitBlt(p.back.dc, 0, 0, p.back.width, p.back.height, p.frame.dc, 0, 0, SRCCOPY);
  if (p.text.height > 0) {
    const Origin block = LayOutFrame(p.frame.width, p.frame.height, p.dpi).textBlock;
    BitBlt(p.back.dc, block.x, block.y, p.text.width, p.text.height, p.text.dc, 0, 0, SRCCOPY);
  }
}

void ViewerWindow::PaintFrame() {
  Platform& p = *p_;
  TProgressViewer& v = viewer_;
  if (p.frame.bitmap == nullptr || p.back.bitmap == nullptr) {
    ComposeBackground();
  }
  try {
    BitBlt(p.frame.dc, 0, 0, p.frame.width, p.frame.height, p.back.dc, 0, 0, SRCCOPY);

    // The strip.
    const FrameLayout layout = LayOutFrame(p.frame.width, p.frame.height, p.dpi);
    const int barW = layout.strip.width;
    p.bar.SetSize(barW, layout.strip.height);
    p.bar.Rect(0, 0, barW, layout.strip.height, 0xFFFFFF);
    if (!v.ShowPercent) {
      double position = NextBlockPosition(v.Position.load(), barW, p.dpi);
      v.Position.store(position);
      const Box block = MovingBlock(layout.strip.height, position, p.dpi);
      p.bar.Rect(block.left, block.top, block.right(), block.bottom(), BarColor);
    } else {
      double position = ClampPercent(v.Position.load());
      v.Position.store(position);
      const Box fill = PercentFill(barW, layout.strip.height, position, p.dpi);
      p.bar.Rect(fill.left, fill.top, fill.right(), fill.bottom(), BarColor);
      if (ShowPercentText) {
        std::wstring label = os::win::ToWide(std::to_string(static_cast<int>(position)) + " %");
        HGDIOBJ old = SelectObject(p.bar.dc, p.Font(GlobalFontName, GlobalFontSize, fsBold));
        SIZE size{};
        GetTextExtentPoint32W(p.bar.dc, label.c_str(), static_cast<int>(label.size()), &size);
        SetBkMode(p.bar.dc, TRANSPARENT);
        SetTextColor(p.bar.dc, 0);
        const Origin at = PercentLabel(barW, size.cx, p.dpi);
        TextOutW(p.bar.dc, at.x, at.y, label.c_str(), static_cast<int>(label.size()));
        SelectObject(p.bar.dc, old);
      }
    }

    // The elapsed time, at the left beside the button or at the right without one.
    if (ShowTotalTime) {
      std::wstring text = os::win::ToWide(TotalTimeText(os::MonotonicMs() - v.StartTime));
      HGDIOBJ old = SelectObject(p.frame.dc, p.Font(GlobalFontName, GlobalFontSize, 0));
      SIZE size{};
      GetTextExtentPoint32W(p.frame.dc, text.c_str(), static_cast<int>(text.size()), &size);
      SetBkMode(p.frame.dc, TRANSPARENT);
      SetTextColor(p.frame.dc, 0);
      const Origin at = ElapsedText(layout, p.frame.width, v.CanCancel, size.cx);
      TextOutW(p.frame.dc, at.x, at.y, text.c_str(), static_cast<int>(text.size()));
      SelectObject(p.frame.dc, old);
    }

    BitBlt(p.frame.dc, layout.strip.left, layout.strip.top, barW, layout.strip.height, p.bar.dc, 0,
           0, SRCCOPY);
  } catch (...) {
    SendMessageW(p.window, kFrameMessage, reinterpret_cast<WPARAM>(&v), 0);
    throw;
  }
  SendMessageW(p.window, kFrameMessage, reinterpret_cast<WPARAM>(&v), 0);
}

void ViewerWindow::PutFrameOnWindow(TProgressViewer* viewer, TWindowHandle window) {
  // Only the registered viewer of that window may draw on it: the frame message can come
  // from anywhere, and its wParam is trusted only when it names that viewer.
  if (viewer == nullptr || FindViewer(window) != viewer || viewer->Window == nullptr) {
    return;
  }
  Platform& p = *viewer->Window->p_;
  HWND hwnd = reinterpret_cast<HWND>(window);
  PAINTSTRUCT paint;
  BeginPaint(hwnd, &paint);
  HDC dc = GetDC(hwnd);
  BitBlt(dc, 0, 0, p.frame.width, p.frame.height, p.frame.dc, 0, 0, SRCCOPY);
  ReleaseDC(hwnd, dc);
  EndPaint(hwnd, &paint);
}

void ViewerWindow::RefreshButton() {
  if (p_->button != nullptr) {
    InvalidateRect(p_->button, nullptr, FALSE);
  }
  DispatchMessages();
}

void ViewerWindow::Close() {
  Platform& p = *p_;
  if (p.window == nullptr) {
    return;
  }
  ShowWindow(p.window, SW_HIDE);
  // Destroying it here (WM_DESTROY posts the quit message) releases the window before its
  // surfaces go, instead of leaving that to the end of the thread.
  DestroyWindow(p.window);
  p.window = nullptr;
  p.button = nullptr;
}

namespace {

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TWindowHandle handle = reinterpret_cast<TWindowHandle>(window);
  switch (message) {
    case kFrameMessage:
      if (wParam == 0) {
        return DefWindowProcW(window, message, wParam, lParam);
      }
      ViewerWindow::PutFrameOnWindow(reinterpret_cast<TProgressViewer*>(wParam), handle);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        if (TProgressViewer* viewer = FindViewer(handle)) {
          viewer->Cancel();
        }
      }
      return 0;
    case WM_COMMAND:
      if (lParam != 0) {
        if (TProgressViewer* viewer = FindViewer(handle)) {
          viewer->Cancel();
        }
      }
      return 0;
    case WM_CLOSE:
      return 0;  // only the caller ends a progress window
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

}  // namespace progress_internal
