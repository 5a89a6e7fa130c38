// The main window as the operator sees it: every component with its kind, parent, position,
// size, font and text, in pixels at 96 dots per inch. Both views (Win32 and FLTK) build the
// window from this one description, so texts and geometry cannot drift apart.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/OperatorDialogs.h"

namespace layout {

enum class ControlKind { Panel, Label, FilenameEdit, PageControl, TabSheet, Button, Invisible };

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
};

inline constexpr std::uint32_t kWindowText = 0xFFFFFFFF;  // the system's window text colour
inline constexpr std::uint32_t kBlue = 0x0000FF;

struct FontSpec {
  const char* face = "Tahoma";
  int height = 13;  // character height in pixels
  bool bold = false;
  std::uint32_t color = kWindowText;  // or 0xRRGGBB
};
struct ControlSpec {
  const char* name;
  ControlKind kind;
  const char* parent;  // "" for the window itself
  Rect bounds;         // relative to the parent's client area; empty for tabs and invisibles
  const char* text;    // caption or label text; "" when the content is set elsewhere
  FontSpec font;
  bool wordWrap = false;
};

struct FormSpec {
  const char* name;
  const char* caption;
  int clientWidth;
  int clientHeight;
  FontSpec font;
};

const FormSpec& Form1();
// Every component of the window in declaration order.
const std::vector<ControlSpec>& Components();
// The component called `name`; throws std::out_of_range for an unknown name.
const ControlSpec& Component(std::string_view name);
// Components whose parent is `parent`, in declaration order.
std::vector<const ControlSpec*> ChildrenOf(std::string_view parent);

// Where a tab sheet's client area lies inside its page control (the tab strip above it and the
// thin frame around it, as a 96-dpi tab control draws them).
Rect TabSheetArea(const Rect& pageControl);

// The tallest a word-wrapped component may grow when the platform's font needs more lines than
// the layout gives it: down to the next component below it in the same parent, or to the
// parent's bottom (`parentHeight`), so that it never covers another component.
int RoomToGrow(const ControlSpec& c, int parentHeight);

// The file field's text before anything is restored: the suite's default database.
std::string InitialFileName();

// SaveDialog1: everything but the folder and file name the repair sets before each use.
SaveDialogSettings SaveDialog1();
// `requested` with every setting the caller left empty taken from SaveDialog1.
SaveDialogSettings WithSaveDialog1Defaults(SaveDialogSettings requested);

// Texts of the program itself, outside the window's components.
inline constexpr const char* kProgressHeading = "Velmar: Диагностика базы данных";
inline constexpr const char* kErrorCaption = "Ошибка";
inline constexpr const char* kStartedRecord = "Программа запущена";
inline constexpr const char* kExitRecord = "Выход из программы";

}  // namespace layout
