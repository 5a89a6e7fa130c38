// The main window with FLTK, built from MainFormLayout.

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <stdexcept>

#include "app/Fonts_fltk.h"
#include "app/MainWindow.h"
#include "os/Files.h"
#include "progress/TextDrawingLock.h"

// FLTK last: its X11 headers define None, which DialogIcon::None needs undefined.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Tabs.H>
#include <FL/fl_draw.H>
#undef None

namespace {

constexpr int kBrowseButtonWidth = 24;

Fl_Color ColorOf(std::uint32_t rgb) {
  if (rgb == layout::kWindowText)
    return FL_FOREGROUND_COLOR;
  return fl_rgb_color((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A push button as Windows has it: Return presses it too while it has the focus.
class PushButton : public Fl_Button {
 public:
  using Fl_Button::Fl_Button;
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }
};

// The main window's drawing and the text-measuring event handling of its input field and
// tab strip go through the X font library, which progress windows use from their own threads
// at the same time. (Button clicks stay outside the lock: a workflow runs from them, and its
// progress windows must keep drawing meanwhile.)
class LockedDoubleWindow : public Fl_Double_Window {
 public:
  using Fl_Double_Window::Fl_Double_Window;
  void flush() override {
    std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
    Fl_Double_Window::flush();
  }
};

class LockedInput : public Fl_Input {
 public:
  using Fl_Input::Fl_Input;
  int handle(int event) override {
    std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
    return Fl_Input::handle(event);
  }
};

class LockedTabs : public Fl_Tabs {
 public:
  using Fl_Tabs::Fl_Tabs;
  int handle(int event) override {
    std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
    return Fl_Tabs::handle(event);
  }
};

}  // namespace

void InitializeApplication() {
  fl_open_display();
  // The system's button face, which the window's background takes.
  Fl::background(0xF0, 0xF0, 0xF0);
  Fl::visible_focus(1);
  WindowFont();
}

struct MainWindow::Impl : MainWindowView {
  explicit Impl(OperatorDialogs& d)
      : dialogs(d), platformDialogs(dynamic_cast<PlatformDialogs*>(&d)) {}

  OperatorDialogs& dialogs;
  PlatformDialogs* platformDialogs;
  Fl_Double_Window* window = nullptr;
  Fl_Tabs* pageControl = nullptr;
  Fl_Group* sheets[2] = {nullptr, nullptr};
  Fl_Input* fileInput = nullptr;
  Fl_Button* browseButton = nullptr;
  std::map<std::string, Fl_Widget*, std::less<>> controls;
  std::unique_ptr<TForm1> form;

  std::string FileName() const override { return fileInput->value(); }
  void SetFileName(const std::string& fileName) override { fileInput->value(fileName.c_str()); }
  int ActivePage() const override { return pageControl->value() == sheets[1] ? 1 : 0; }
  void SetActivePage(int index) override { pageControl->value(sheets[index == 1 ? 1 : 0]); }

  Fl_Widget* Control(std::string_view name) const {
    auto it = controls.find(name);
    if (it == controls.end())
      throw std::out_of_range("no control " + std::string(name));
    return it->second;
  }

  // Absolute position of a component inside the window.
  layout::Rect Place(const layout::ControlSpec& c) const {
    layout::Rect r = c.bounds;
    const std::string_view parent = c.parent;
    if (parent == "TabSheet1" || parent == "TabSheet2") {
      const layout::Rect& pc = layout::Component("PageControl1").bounds;
      const layout::Rect area = layout::TabSheetArea(pc);
      r.left += pc.left + area.left;
      r.top += pc.top + area.top;
    } else if (!parent.empty()) {
      const layout::Rect& p = layout::Component(parent).bounds;
      r.left += p.left;
      r.top += p.top;
    }
    return r;
  }

  void Build();
  void Browse();
};

void MainWindow::Impl::Build() {
  const layout::FormSpec& form = layout::Form1();
  const FltkWindowFont& font = WindowFont();
  std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
  window = new LockedDoubleWindow(form.clientWidth, form.clientHeight);
  window->copy_label(form.caption);
  // The desktop entry matches the window to its launcher by this class.
  window->xclass("VelmarDBRepair");
  window->user_data(this);
  // Only the window manager's close ends the program; Escape does not close this window.
  window->callback([](Fl_Widget* w, void* data) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
      return;
    static_cast<Impl*>(data)->form->FormClose();
    w->hide();
  });

  for (const layout::ControlSpec& c : layout::Components()) {
    const layout::Rect r = Place(c);
    Fl_Widget* widget = nullptr;
    switch (c.kind) {
      case layout::ControlKind::Panel: {
        auto* panel = new Fl_Group(r.left, r.top, r.width, r.height);
        panel->box(FL_THIN_UP_BOX);
        panel->end();
        widget = panel;
        break;
      }
      case layout::ControlKind::PageControl: {
        pageControl = new LockedTabs(r.left, r.top, r.width, r.height);
        pageControl->selection_color(FL_BACKGROUND_COLOR);
        pageControl->end();
        widget = pageControl;
        break;
      }
      case layout::ControlKind::TabSheet: {
        const layout::Rect& pc = layout::Component("PageControl1").bounds;
        const layout::Rect area = layout::TabSheetArea(pc);
        // FLTK takes the tab strip's height from the sheets' top.
        auto* sheet = new Fl_Group(pc.left, pc.top + area.top, pc.width, pc.height - area.top);
        sheet->box(FL_THIN_UP_BOX);
        sheet->copy_label(c.text);
        sheet->labelfont(font.regular);
        sheet->labelsize(font.size);
        sheet->end();
        pageControl->add(sheet);
        sheets[std::string_view(c.name) == "TabSheet2" ? 1 : 0] = sheet;
        widget = sheet;
        break;
      }
      case layout::ControlKind::Label: {
        layout::Rect place = r;
        if (c.wordWrap) {
          fl_font(c.font.bold ? font.bold : font.regular, font.size);
          int w = r.width, h = 0;
          fl_measure(c.text, w, h, 0);
          const int parentHeight =
              layout::TabSheetArea(layout::Component("PageControl1").bounds).height;
          place.height =
              std::max(c.bounds.height, std::min(h, layout::RoomToGrow(c, parentHeight)));
        }
        auto* label = new Fl_Box(place.left, place.top, place.width, place.height);
        label->copy_label(c.text);
        label->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE |
                     (c.wordWrap ? FL_ALIGN_WRAP : 0));
        label->labelfont(c.font.bold ? font.bold : font.regular);
        label->labelsize(font.size);
        label->labelcolor(ColorOf(c.font.color));
        widget = label;
        break;
      }
      case layout::ControlKind::FilenameEdit: {
        fileInput = new LockedInput(r.left, r.top, r.width - kBrowseButtonWidth, r.height);
        fileInput->textfont(font.regular);
        fileInput->textsize(font.size);
        fileInput->value(layout::InitialFileName().c_str());
        browseButton = new PushButton(r.Right() - kBrowseButtonWidth, r.top, kBrowseButtonWidth,
                                      r.height, "...");
        browseButton->labelfont(font.bold);
        browseButton->labelsize(font.size);
        browseButton->callback([](Fl_Widget*, void* data) { static_cast<Impl*>(data)->Browse(); },
                               this);
        controls["FilenameEdit1.Browse"] = browseButton;
        widget = fileInput;
        break;
      }
      case layout::ControlKind::Button: {
        auto* button = new PushButton(r.left, r.top, r.width, r.height);
        button->copy_label(c.text);
        button->labelfont(font.regular);
        button->labelsize(font.buttonSize);
        Fl_Callback* click = [](Fl_Widget*, void* data) {
          static_cast<Impl*>(data)->form->ClickCheck();
        };
        if (std::string_view(c.name) == "btnRepairDB") {
          click = [](Fl_Widget*, void* data) { static_cast<Impl*>(data)->form->ClickRepair(); };
        }
        button->callback(click, this);
        widget = button;
        break;
      }
      case layout::ControlKind::Invisible:
        continue;
    }
    // Components join their parent's group; groups close right after creation.
    if (c.kind != layout::ControlKind::TabSheet) {
      const std::string_view parent = c.parent;
      Fl_Group* group =
          parent.empty() ? static_cast<Fl_Group*>(window) : Control(parent)->as_group();
      if (widget->parent() != group)
        group->add(widget);
      if (c.kind == layout::ControlKind::FilenameEdit)
        group->add(browseButton);
    }
    controls[c.name] = widget;
  }
  window->end();
  window->size_range(form.clientWidth, form.clientHeight, form.clientWidth, form.clientHeight);
}

void MainWindow::Impl::Browse() {
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
  // Open where the current file lies, or the nearest folder above it that exists: without a
  // folder the GTK chooser opens its recent files, which it cannot list here.
  const std::string folder = NearestExistingFolder(os::ExtractFileDir(FileName()));
  chooser.directory(folder.c_str());
  std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
  if (chooser.show() == 0 && chooser.filename() && *chooser.filename()) {
    SetFileName(chooser.filename());
  }
}

MainWindow::MainWindow(OperatorDialogs& dialogs) : impl_(std::make_unique<Impl>(dialogs)) {
  impl_->Build();
  if (impl_->platformDialogs)
    impl_->platformDialogs->SetOwner(impl_->window);
  impl_->form = std::make_unique<TForm1>(*impl_, dialogs);
  impl_->form->FormCreate();
}

MainWindow::~MainWindow() {
  impl_->form->FormDestroy();
  impl_->form.reset();
  if (impl_->platformDialogs)
    impl_->platformDialogs->SetOwner(nullptr);
  delete impl_->window;
}

void MainWindow::Show() {
  Fl_Window* w = impl_->window;
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh);
  w->position(sx + (sw - w->w()) / 2, sy + (sh - w->h()) / 2);
  impl_->form->FormShow();
  impl_->SetActivePage(0);
  w->show();
  impl_->Control("btnCheckDB")->take_focus();
}

void MainWindow::RunMessageLoop() {
  while (impl_->window->shown())
    Fl::wait();
}

TForm1& MainWindow::Form() {
  return *impl_->form;
}
void* MainWindow::NativeHandle() const {
  return impl_->window;
}
bool MainWindow::IsOpen() const {
  return impl_->window->shown();
}

void MainWindow::ProcessEvents(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  Fl::flush();
  for (;;) {
    const auto left = std::chrono::duration<double>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      break;
    Fl::wait(left.count());
  }
}

void MainWindow::RequestClose() {
  impl_->window->do_callback();
}

std::string MainWindow::FocusedControl() const {
  for (const auto& [name, widget] : impl_->controls) {
    if (Fl::focus() == widget)
      return name;
  }
  return "";
}

std::string MainWindow::ControlText(std::string_view name) const {
  if (name == "FilenameEdit1")
    return impl_->FileName();
  const char* label = impl_->Control(name)->label();
  return label ? label : "";
}

void MainWindow::SetControlText(std::string_view name, const std::string& text) {
  if (name == "FilenameEdit1") {
    impl_->SetFileName(text);
    return;
  }
  impl_->Control(name)->copy_label(text.c_str());
}

layout::Rect MainWindow::ControlBounds(std::string_view name) const {
  if (name == "TabSheet1" || name == "TabSheet2") {
    // The sheet's group spans the page control; its content starts inside the frame.
    const layout::Rect& pc = layout::Component("PageControl1").bounds;
    const layout::Rect area = layout::TabSheetArea(pc);
    return {pc.left + area.left, pc.top + area.top, area.width, area.height};
  }
  const Fl_Widget* w = impl_->Control(name);
  if (name == "FilenameEdit1")
    return {w->x(), w->y(), w->w() + kBrowseButtonWidth, w->h()};
  return {w->x(), w->y(), w->w(), w->h()};
}

int MainWindow::TextOverflow(std::string_view name) const {
  const Fl_Widget* w = impl_->Control(name);
  const std::string text = ControlText(name);
  if (name == "FilenameEdit1") {
    fl_font(impl_->fileInput->textfont(), impl_->fileInput->textsize());
    return int(fl_width(text.c_str())) - (w->w() - 6);
  }
  fl_font(w->labelfont(), w->labelsize());
  if (w->align() & FL_ALIGN_WRAP) {
    int width = w->w(), height = 0;
    fl_measure(text.c_str(), width, height, 0);
    return std::max(width - w->w(), height - w->h());
  }
  int width = 0, height = 0;
  fl_measure(text.c_str(), width, height, 0);
  const bool button = w->type() == FL_NORMAL_BUTTON && dynamic_cast<const Fl_Button*>(w);
  const int room = button ? w->w() - 8 : w->w();
  return std::max(width - room, height - w->h());
}

void MainWindow::ClickButton(std::string_view name) {
  impl_->Control(name)->do_callback();
}

void MainWindow::SelectPage(int index) {
  impl_->SetActivePage(index);
  impl_->pageControl->redraw();
}

int MainWindow::ActivePage() const {
  return impl_->ActivePage();
}
