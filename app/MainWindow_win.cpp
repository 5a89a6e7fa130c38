// The main window with Win32 and the common controls, built from MainFormLayout.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <stdexcept>
#include <vector>

#include "app/MainWindow.h"
#include "os/Files.h"
#include "os/win/Wide.h"

namespace {

constexpr wchar_t kFormClass[] = L"TForm1";
constexpr wchar_t kSheetClass[] = L"TTabSheet";
constexpr int kBrowseButtonWidth = 22;
constexpr int kBrowseId = 1100;
constexpr int kFirstControlId = 1200;

// Sizes in the layout are those of a 96 dots-per-inch screen. The manifest tells Windows that
// the program scales itself to the system's DPI (instead of being stretched as a blurred
// bitmap), so every size on the screen goes through Scaled.
int ScreenDpi() {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    const int d = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
      ReleaseDC(nullptr, screen);
    return d > 0 ? d : 96;
  }();
  return dpi;
}

int Scaled(int pixels) {
  return MulDiv(pixels, ScreenDpi(), 96);
}

// Back to layout units, rounded up so that what was measured still fits.
int Unscaled(int pixels) {
  return (pixels * 96 + ScreenDpi() - 1) / ScreenDpi();
}

layout::Rect Scaled(const layout::Rect& r) {
  return {Scaled(r.left), Scaled(r.top), Scaled(r.Right()) - Scaled(r.left),
          Scaled(r.Bottom()) - Scaled(r.top)};
}

HFONT MakeFont(const layout::FontSpec& f) {
  return CreateFontW(-Scaled(f.height), 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, os::win::ToWide(f.face).c_str());
}

COLORREF ColorOf(std::uint32_t rgb) {
  if (rgb == layout::kWindowText)
    return GetSysColor(COLOR_WINDOWTEXT);
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The height a word-wrapped text takes at this width in this font, in layout units.
int WrappedHeight(const std::string& text, const layout::FontSpec& font, int width) {
  HDC dc = GetDC(nullptr);
  HFONT f = MakeFont(font);
  HGDIOBJ old = SelectObject(dc, f);
  const std::wstring wide = os::win::ToWide(text);
  RECT need{0, 0, Scaled(width), 0};
  DrawTextW(dc, wide.c_str(), int(wide.size()), &need,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
  SelectObject(dc, old);
  DeleteObject(f);
  ReleaseDC(nullptr, dc);
  return Unscaled(need.bottom);
}

LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);

// Tab sheets are plain containers; what their controls report goes to the form.
LRESULT CALLBACK SheetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void RegisterClasses() {
  static bool registered = false;
  if (registered)
    return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = FormProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // The program's own icon (resource 1 of the executable); programs built without the
  // resources, such as the window tests, get the system's.
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  if (!wc.hIcon)
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = SheetProc;
  wc.hIcon = nullptr;
  wc.lpszClassName = kSheetClass;
  RegisterClassExW(&wc);
  registered = true;
}

}  // namespace

void InitializeApplication() {
  // The workflows run on the window's thread and keep it from its messages for minutes; a
  // ghosted "not responding" window would offer to end the program in the middle of a repair.
  DisableProcessWindowsGhosting();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClasses();
}

struct MainWindow::Impl : MainWindowView {
  explicit Impl(OperatorDialogs& d)
      : dialogs(d), platformDialogs(dynamic_cast<PlatformDialogs*>(&d)) {}
  ~Impl() override {
    for (HFONT f : fonts)
      DeleteObject(f);
  }

  OperatorDialogs& dialogs;
  PlatformDialogs* platformDialogs;
  HWND form = nullptr;
  HWND pageControl = nullptr;
  HWND sheets[2] = {nullptr, nullptr};
  HWND fileEdit = nullptr;
  HWND browseButton = nullptr;
  HWND lastFocus = nullptr;
  std::map<std::string, HWND, std::less<>> controls;
  std::map<HWND, COLORREF> labelColors;
  std::vector<HFONT> fonts;
  std::unique_ptr<TForm1> tform;

  std::string FileName() const override {
    std::wstring text(GetWindowTextLengthW(fileEdit) + 1, L'\0');
    text.resize(GetWindowTextW(fileEdit, text.data(), int(text.size())));
    return os::win::FromWide(text);
  }
  void SetFileName(const std::string& fileName) override {
    SetWindowTextW(fileEdit, os::win::ToWide(fileName).c_str());
  }
  int ActivePage() const override { return TabCtrl_GetCurSel(pageControl) == 1 ? 1 : 0; }
  void SetActivePage(int index) override {
    index = index == 1 ? 1 : 0;
    TabCtrl_SetCurSel(pageControl, index);
    ShowSheet(index);
  }
  void ShowSheet(int index) {
    ShowWindow(sheets[index], SW_SHOW);
    ShowWindow(sheets[1 - index], SW_HIDE);
  }

  HWND Control(std::string_view name) const {
    auto it = controls.find(name);
    if (it == controls.end())
      throw std::out_of_range("no control " + std::string(name));
    return it->second;
  }

  HFONT Font(const layout::FontSpec& description) {
    fonts.push_back(MakeFont(description));
    return fonts.back();
  }

  HWND Child(const wchar_t* cls, const std::string& text, DWORD style, DWORD exStyle,
             const layout::Rect& bounds, HWND parent, int id, const layout::FontSpec& font) {
    const layout::Rect r = Scaled(bounds);
    HWND h = CreateWindowExW(exStyle, cls, os::win::ToWide(text).c_str(),
                             WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.width, r.height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font(font)), FALSE);
    return h;
  }

  void Build();
  void Browse();
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
};

namespace {

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<MainWindow::Impl*>(create->lpCreateParams)->form = hwnd;
  }
  auto* impl = reinterpret_cast<MainWindow::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!impl)
    return DefWindowProcW(hwnd, msg, wp, lp);
  return impl->Handle(msg, wp, lp);
}

}  // namespace

void MainWindow::Impl::Build() {
  const layout::FormSpec& described = layout::Form1();
  // A fixed dialog frame without minimise and maximise boxes; the window carries the
  // program's taskbar button itself.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, Scaled(described.clientWidth), Scaled(described.clientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  CreateWindowExW(exStyle, kFormClass, os::win::ToWide(described.caption).c_str(), style,
                  CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                  nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!form)
    throw std::runtime_error("the main window could not be created");
  SendMessageW(form, WM_SETFONT, reinterpret_cast<WPARAM>(Font(described.font)), FALSE);

  int nextId = kFirstControlId;
  for (const layout::ControlSpec& c : layout::Components()) {
    const std::string_view parentName = c.parent;
    const bool onSheet = parentName == "TabSheet1" || parentName == "TabSheet2";
    HWND parent = onSheet ? Control(parentName) : form;
    layout::Rect r = c.bounds;
    if (!parentName.empty() && !onSheet) {
      const layout::Rect& p = layout::Component(parentName).bounds;
      r.left += p.left;
      r.top += p.top;
    }
    HWND h = nullptr;
    switch (c.kind) {
      case layout::ControlKind::Panel:
        // Drawn by the form itself (a raised bevel); it only needs its place.
        continue;
      case layout::ControlKind::PageControl: {
        h = Child(WC_TABCONTROLW, "", WS_CLIPSIBLINGS | WS_TABSTOP, 0, r, form, nextId++, c.font);
        pageControl = h;
        break;
      }
      case layout::ControlKind::TabSheet: {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        std::wstring text = os::win::ToWide(c.text);
        item.pszText = text.data();
        const int index = std::string_view(c.name) == "TabSheet2" ? 1 : 0;
        TabCtrl_InsertItem(pageControl, index, &item);
        // The sheet covers the tab control's display area.
        RECT rc;
        GetClientRect(pageControl, &rc);
        TabCtrl_AdjustRect(pageControl, FALSE, &rc);
        MapWindowPoints(pageControl, form, reinterpret_cast<POINT*>(&rc), 2);
        h = CreateWindowExW(WS_EX_CONTROLPARENT, kSheetClass, L"", WS_CHILD | WS_CLIPSIBLINGS,
                            rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, form, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
        sheets[index] = h;
        SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        break;
      }
      case layout::ControlKind::Label: {
        const DWORD labelStyle = SS_NOPREFIX | (c.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
        if (c.wordWrap) {
          RECT pr;
          GetClientRect(parent, &pr);
          r.height = std::min(WrappedHeight(c.text, c.font, r.width),
                              layout::RoomToGrow(c, Unscaled(pr.bottom)));
          r.height = std::max(r.height, c.bounds.height);
        }
        h = Child(L"STATIC", c.text, labelStyle, 0, r, parent, nextId++, c.font);
        labelColors[h] = ColorOf(c.font.color);
        break;
      }
      case layout::ControlKind::FilenameEdit: {
        layout::Rect edit = r;
        edit.width -= kBrowseButtonWidth;
        h = Child(L"EDIT", layout::InitialFileName(), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                  edit, parent, nextId++, c.font);
        fileEdit = h;
        layout::Rect button{edit.Right(), r.top, kBrowseButtonWidth, r.height};
        browseButton = Child(L"BUTTON", "...", BS_PUSHBUTTON | WS_TABSTOP, 0, button, parent,
                             kBrowseId, c.font);
        controls["FilenameEdit1.Browse"] = browseButton;
        break;
      }
      case layout::ControlKind::Button:
        h = Child(L"BUTTON", c.text, BS_PUSHBUTTON | WS_TABSTOP, 0, r, parent, nextId++, c.font);
        break;
      case layout::ControlKind::Invisible:
        continue;
    }
    controls[c.name] = h;
  }
  SetActivePage(0);
}

void MainWindow::Impl::Browse() {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring folder =
      os::win::ToWide(NearestExistingFolder(os::ExtractFileDir(FileName())));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = form;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (GetOpenFileNameW(&ofn))
    SetFileName(os::win::FromWide(file.data()));
}

namespace {

// Clicks and keys given while a workflow held the window's thread wait in its queue; played
// afterwards they would start another check on a window the operator no longer watches. The
// boxes a workflow shows read their own input, so what is left here came while it was busy.
void DiscardQueuedInput() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
         PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) ||
         PeekMessageW(&msg, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
  }
}

}  // namespace

LRESULT MainWindow::Impl::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      if (HIWORD(wp) != BN_CLICKED)
        break;
      HWND from = reinterpret_cast<HWND>(lp);
      // Return on a focused button reaches a window that is not a dialog as IDOK.
      if (LOWORD(wp) == IDOK && !from)
        from = GetFocus();
      if (from == browseButton) {
        Browse();
      } else if (from && from == controls["btnCheckDB"]) {
        tform->ClickCheck();
        DiscardQueuedInput();
      } else if (from && from == controls["btnRepairDB"]) {
        tform->ClickRepair();
        DiscardQueuedInput();
      }
      return 0;
    }
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->hwndFrom == pageControl && hdr->code == TCN_SELCHANGE) {
        ShowSheet(ActivePage());
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      auto it = labelColors.find(reinterpret_cast<HWND>(lp));
      SetTextColor(dc, it != labelColors.end() ? it->second : GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(form, &ps);
      const layout::Rect p = Scaled(layout::Component("Panel1").bounds);
      RECT panel{p.left, p.top, p.Right(), p.Bottom()};
      DrawEdge(dc, &panel, BDR_RAISEDINNER, BF_RECT);
      EndPaint(form, &ps);
      return 0;
    }
    case WM_ACTIVATE:
      // Like a dialog: the control that had the focus gets it back.
      if (LOWORD(wp) == WA_INACTIVE) {
        lastFocus = GetFocus();
      } else if (lastFocus && IsWindow(lastFocus)) {
        SetFocus(lastFocus);
        return 0;
      }
      break;
    case WM_CLOSE:
      tform->FormClose();
      DestroyWindow(form);
      return 0;
    case WM_DESTROY:
      form = nullptr;
      // Wakes the message loop, which ends now that the window is gone; a quit message would
      // also end the next message box this thread shows.
      PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(form, msg, wp, lp);
}

MainWindow::MainWindow(OperatorDialogs& dialogs) : impl_(std::make_unique<Impl>(dialogs)) {
  RegisterClasses();
  impl_->Build();
  if (impl_->platformDialogs)
    impl_->platformDialogs->SetOwner(impl_->form);
  impl_->tform = std::make_unique<TForm1>(*impl_, dialogs);
  impl_->tform->FormCreate();
}

MainWindow::~MainWindow() {
  impl_->tform->FormDestroy();
  if (impl_->platformDialogs)
    impl_->platformDialogs->SetOwner(nullptr);
  if (impl_->form) {
    HWND form = impl_->form;
    SetWindowLongPtrW(form, GWLP_USERDATA, 0);
    impl_->form = nullptr;
    DestroyWindow(form);
  }
}

void MainWindow::Show() {
  HWND form = impl_->form;
  RECT r;
  GetWindowRect(form, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(form, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  impl_->tform->FormShow();
  impl_->SetActivePage(0);
  ShowWindow(form, SW_SHOWNORMAL);
  UpdateWindow(form);
  SetForegroundWindow(form);
  SetFocus(impl_->Control("btnCheckDB"));
  impl_->lastFocus = impl_->Control("btnCheckDB");
}

void MainWindow::RunMessageLoop() {
  MSG msg;
  while (impl_->form && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (impl_->form && IsDialogMessageW(impl_->form, &msg))
      continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

TForm1& MainWindow::Form() {
  return *impl_->tform;
}
void* MainWindow::NativeHandle() const {
  return impl_->form;
}
bool MainWindow::IsOpen() const {
  return impl_->form && IsWindowVisible(impl_->form);
}

void MainWindow::ProcessEvents(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT)
        continue;
      if (impl_->form && IsDialogMessageW(impl_->form, &msg))
        continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left.count()), QS_ALLINPUT);
  }
}

void MainWindow::RequestClose() {
  if (impl_->form)
    SendMessageW(impl_->form, WM_CLOSE, 0, 0);
}

std::string MainWindow::FocusedControl() const {
  HWND focus = GetFocus();
  for (const auto& [name, hwnd] : impl_->controls) {
    if (hwnd == focus)
      return name;
  }
  return "";
}

std::string MainWindow::ControlText(std::string_view name) const {
  HWND h = impl_->Control(name);
  if (h == impl_->sheets[0] || h == impl_->sheets[1]) {
    wchar_t text[256] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 255;
    TabCtrl_GetItem(impl_->pageControl, h == impl_->sheets[1] ? 1 : 0, &item);
    return os::win::FromWide(text);
  }
  std::wstring text(GetWindowTextLengthW(h) + 1, L'\0');
  text.resize(GetWindowTextW(h, text.data(), int(text.size())));
  return os::win::FromWide(text);
}

void MainWindow::SetControlText(std::string_view name, const std::string& text) {
  SetWindowTextW(impl_->Control(name), os::win::ToWide(text).c_str());
}

layout::Rect MainWindow::ControlBounds(std::string_view name) const {
  HWND h = impl_->Control(name);
  RECT r;
  GetWindowRect(h, &r);
  if (name == "FilenameEdit1") {
    RECT b;
    GetWindowRect(impl_->browseButton, &b);
    r.right = b.right;
  }
  MapWindowPoints(HWND_DESKTOP, impl_->form, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int MainWindow::TextOverflow(std::string_view name) const {
  HWND h = impl_->Control(name);
  const std::wstring text = os::win::ToWide(ControlText(name));
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
  RECT client;
  GetClientRect(h, &client);
  int overflow = 0;
  wchar_t cls[32] = {};
  GetClassNameW(h, cls, 32);
  const bool wraps =
      lstrcmpiW(cls, L"STATIC") == 0 && (GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT;
  if (wraps) {
    RECT need{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), int(text.size()), &need,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
    overflow = std::max(int(need.right - client.right), int(need.bottom - client.bottom));
  } else {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    const bool button = lstrcmpiW(cls, L"BUTTON") == 0;
    const int room = client.right - (button ? 8 : 0);
    overflow = std::max(int(size.cx - room), int(size.cy - client.bottom));
  }
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return overflow;
}

void MainWindow::ClickButton(std::string_view name) {
  HWND h = impl_->Control(name);
  SendMessageW(impl_->form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), BN_CLICKED),
               reinterpret_cast<LPARAM>(h));
}

void MainWindow::SelectPage(int index) {
  impl_->SetActivePage(index);
}
int MainWindow::ActivePage() const {
  return impl_->ActivePage();
}
