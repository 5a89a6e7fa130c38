// Message boxes and the save dialog with FLTK. The box behaves like the system's message box:
// Return presses the focused button (the default one at first), Escape or the window's close
// button closes it with the Cancel (No) answer, and the owner takes no input meanwhile.

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/Fonts_fltk.h"
#include "app/MainFormLayout.h"
#include "app/PlatformDialogs.h"
#include "os/Files.h"
#include "progress/TextDrawingLock.h"

// FLTK last: its X11 headers define None, which DialogIcon::None needs undefined.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#undef None

namespace {

constexpr int kMargin = 14;
constexpr int kIconSize = 36;
constexpr int kMaxTextWidth = 640;
constexpr int kButtonHeight = 26;
constexpr int kButtonGap = 8;

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r')
      out += c;
  }
  return out;
}

// Draws the text as it is: no '@' symbols, no '&' shortcuts.
class PlainText : public Fl_Widget {
 public:
  PlainText(int x, int y, int w, int h, std::string text, Fl_Font font, int size)
      : Fl_Widget(x, y, w, h), text_(std::move(text)), font_(font), size_(size) {}
  void draw() override {
    fl_font(font_, size_);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(text_.c_str(), x(), y(), w(), h(),
            Fl_Align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP), nullptr, 0);
  }

 private:
  std::string text_;
  Fl_Font font_;
  int size_;
};

class IconBox : public Fl_Widget {
 public:
  IconBox(int x, int y, DialogIcon icon) : Fl_Widget(x, y, kIconSize, kIconSize), icon_(icon) {}
  void draw() override {
    const char* glyph = "i";
    Fl_Color fill = fl_rgb_color(0x1E, 0x5A, 0xC8), ink = FL_WHITE;
    if (icon_ == DialogIcon::Warning) {
      fill = fl_rgb_color(0xF5, 0xC2, 0x11);
      ink = FL_BLACK;
      glyph = "!";
      fl_color(fill);
      fl_polygon(x() + w() / 2, y() + 1, x() + w() - 1, y() + h() - 2, x() + 1, y() + h() - 2);
    } else {
      if (icon_ == DialogIcon::Error) {
        fill = fl_rgb_color(0xD0, 0x21, 0x21);
        glyph = "X";
      }
      fl_color(fill);
      fl_pie(x(), y(), w(), h(), 0, 360);
    }
    fl_color(ink);
    fl_font(FL_HELVETICA_BOLD, 22);
    fl_draw(glyph, x(), y() + (icon_ == DialogIcon::Warning ? 4 : 0), w(), h(), FL_ALIGN_CENTER,
            nullptr, 0);
  }

 private:
  DialogIcon icon_;
};

// The workflow may block right after a dialog is answered, and without a compositor the part
// of the main window that the dialog covered keeps its picture until the window repaints.
// The window manager takes the dialog's frame away a moment after the dialog itself, so keep
// repainting our windows for a short while: no answered box then seems to stay on the screen
// while a long tool runs.
struct RepaintOnReturn {
  ~RepaintOnReturn() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    do {
      for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w))
        w->redraw();
      Fl::flush();
      if (fl_display != nullptr)
        XSync(fl_display, False);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
  }
};

class BoxWindow : public Fl_Double_Window {
 public:
  BoxWindow(int w, int h, DialogButtons buttons) : Fl_Double_Window(w, h), buttons_(buttons) {
    answer_ = CloseAnswer(buttons);
    callback(
        [](Fl_Widget* w, void*) {
          auto* box = static_cast<BoxWindow*>(w);
          box->Finish(CloseAnswer(box->buttons_));
        },
        nullptr);
  }

  void AddButton(Fl_Button* button, DialogResult answer) {
    buttons_list_.push_back({button, answer});
  }
  void Finish(DialogResult answer) {
    answer_ = answer;
    hide();
  }
  DialogResult Answer() const { return answer_; }
  Fl_Button* ButtonAt(int index) const { return buttons_list_[index].first; }

  // Drawing and measuring share the X font library with the progress windows' threads.
  void flush() override {
    std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
    Fl_Double_Window::flush();
  }

  int handle(int event) override {
    std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
    if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
      const int key = Fl::event_key();
      if (key == FL_Enter || key == FL_KP_Enter) {
        for (const auto& [button, answer] : buttons_list_) {
          if (Fl::focus() == button) {
            Finish(answer);
            return 1;
          }
        }
        Finish(buttons_list_[defaultIndex_].second);
        return 1;
      }
      if (key == FL_Escape) {
        Finish(CloseAnswer(buttons_));
        return 1;
      }
    }
    return Fl_Double_Window::handle(event);
  }

  int defaultIndex_ = 0;

 private:
  DialogButtons buttons_;
  DialogResult answer_;
  std::vector<std::pair<Fl_Button*, DialogResult>> buttons_list_;
};

std::vector<const char*> ButtonLabels(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::Ok:
      return {"ОК"};
    case DialogButtons::OkCancel:
      return {"ОК", "Отмена"};
    case DialogButtons::YesNo:
      return {"Да", "Нет"};
  }
  return {"ОК"};
}

// Top-left corner for a window of w x h centred on the owner, or on the screen without one.
void CentreOn(Fl_Window* owner, int w, int h, int& x, int& y) {
  int sx, sy, sw, sh;
  if (owner && owner->shown()) {
    sx = owner->x(), sy = owner->y(), sw = owner->w(), sh = owner->h();
  } else {
    Fl::screen_work_area(sx, sy, sw, sh);
  }
  x = sx + (sw - w) / 2;
  y = sy + (sh - h) / 2;
}

// FLTK's chooser shows a filter as "name (pattern)": a name that already ends in its pattern,
// as "База данных (*.FDB)" does, loses that ending so the pattern is not shown twice.
std::string FilterForChooser(const std::string& name, const std::string& pattern) {
  std::string shown = name;
  const std::string tail = "(" + pattern + ")";
  if (shown.size() >= tail.size() &&
      shown.compare(shown.size() - tail.size(), tail.size(), tail) == 0) {
    shown.erase(shown.size() - tail.size());
    while (!shown.empty() && shown.back() == ' ')
      shown.pop_back();
  }
  return shown + "\t" + pattern;
}

}  // namespace

DialogResult PlatformDialogs::ShowMessage(const std::string& caption, const std::string& text,
                                          DialogButtons buttons, DialogIcon icon,
                                          int defaultButton) {
  const FltkWindowFont& font = WindowFont();
  const std::string body = WithoutCarriageReturns(text);

  std::unique_lock<std::recursive_mutex> measuring(TextDrawingLock());
  fl_font(font.regular, font.size);
  int textW = 0, textH = 0;
  fl_measure(body.c_str(), textW, textH, 0);
  if (textW > kMaxTextWidth) {
    textW = kMaxTextWidth;
    textH = 0;
    fl_measure(body.c_str(), textW, textH, 0);
  }
  textW = std::max(textW, 1);

  const std::vector<const char*> labels = ButtonLabels(buttons);
  int buttonW = 86;
  for (const char* label : labels)
    buttonW = std::max(buttonW, int(fl_width(label)) + 24);
  const int buttonsW = int(labels.size()) * buttonW + int(labels.size() - 1) * kButtonGap;

  const int textX = kMargin + (icon == DialogIcon::None ? 0 : kIconSize + kMargin);
  const int contentH = std::max(textH, icon == DialogIcon::None ? 0 : kIconSize);
  const int w = std::max({textX + textW + kMargin, buttonsW + 2 * kMargin, 220});
  const int h = kMargin + contentH + kMargin + kButtonHeight + kMargin;

  RepaintOnReturn repaintAfterTheBoxIsGone;
  BoxWindow window(w, h, buttons);
  window.label(caption.c_str());
  if (icon != DialogIcon::None)
    new IconBox(kMargin, kMargin, icon);
  new PlainText(textX, kMargin + std::max(0, (contentH - textH) / 2), textW, textH, body,
                font.regular, font.size);
  int bx = (w - buttonsW) / 2;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    auto* button =
        new Fl_Button(bx, h - kMargin - kButtonHeight, buttonW, kButtonHeight, labels[i]);
    button->labelfont(font.regular);
    button->labelsize(font.size);
    window.AddButton(button, ButtonAnswer(buttons, int(i)));
    bx += buttonW + kButtonGap;
  }
  window.defaultIndex_ = std::clamp(defaultButton, 0, int(labels.size()) - 1);
  window.end();
  window.size_range(w, h, w, h);
  int x, y;
  CentreOn(static_cast<Fl_Window*>(Owner()), w, h, x, y);
  window.position(x, y);
  window.set_modal();
  window.show();
  window.ButtonAt(window.defaultIndex_)->take_focus();
  measuring.unlock();
  while (window.shown())
    Fl::wait();
  return window.Answer();
}

std::optional<std::string> PlatformDialogs::ShowSaveDialog(const SaveDialogSettings& requested) {
  const SaveDialogSettings s = layout::WithSaveDialog1Defaults(requested);
  std::string preset = s.fileName;
  // A folder that is gone would leave the GTK chooser on its recent files, which it cannot
  // list here.
  std::string folder = NearestExistingFolder(s.initialDir);
  for (;;) {
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.title(s.title.c_str());
    const std::string filter = FilterForChooser(s.filterName, s.filterPattern);
    chooser.filter(filter.c_str());
    if (!folder.empty())
      chooser.directory(folder.c_str());
    chooser.preset_file(preset.c_str());
    chooser.options(Fl_Native_File_Chooser::NEW_FOLDER |
                    (s.overwritePrompt ? Fl_Native_File_Chooser::SAVEAS_CONFIRM : 0));
    {
      RepaintOnReturn repaintAfterTheChooserIsGone;
      std::lock_guard<std::recursive_mutex> text(TextDrawingLock());
      if (chooser.show() != 0 || !chooser.filename() || !*chooser.filename())
        return std::nullopt;
    }

    std::string path = chooser.filename();
    // A name typed without an extension gets the default one, as the system's dialog adds it;
    // the file that name now points at has not been confirmed yet.
    const std::string ext = BareExtension(s.defaultExt);
    if (ext.empty() || !os::ExtractFileExt(path).empty())
      return path;
    path += "." + ext;
    if (!s.overwritePrompt || !os::FileExists(path))
      return path;
    const std::string question =
        os::ExtractFileName(path) + " уже существует.\nВы хотите заменить его?";
    if (ShowMessage(s.title, question, DialogButtons::YesNo, DialogIcon::Warning, 1) ==
        DialogResult::Yes) {
      return path;
    }
    // Back to the dialog, as the system's one goes back.
    preset = os::ExtractFileName(path);
    folder = os::ExtractFileDir(path);
  }
}
