#include "app/Fonts_fltk.h"

#include <iterator>
#include <string>

#include "app/MainFormLayout.h"

// FLTK last: its X11 headers define None, which DialogIcon::None needs undefined.
#include <FL/Fl.H>
#include <FL/fl_draw.H>
#undef None

namespace {

// Closest to Tahoma first; fontconfig answers a missing face with a substitute, which the
// measuring then judges like any other.
constexpr const char* kFaces[] = {"Tahoma", "Liberation Sans", "Arial", "DejaVu Sans Condensed",
                                  "DejaVu Sans"};
constexpr int kLargestSize = 13;
constexpr int kSmallestSize = 10;

bool LayoutTextsFit(Fl_Font regular, Fl_Font bold, int size) {
  for (const layout::ControlSpec& c : layout::Components()) {
    if (c.kind != layout::ControlKind::Label)
      continue;
    fl_font(c.font.bold ? bold : regular, size);
    if (c.wordWrap) {
      int w = c.bounds.width, h = 0;
      fl_measure(c.text, w, h, 0);
      if (w > c.bounds.width || h > c.bounds.height)
        return false;
    } else if (fl_width(c.text) > c.bounds.width) {
      return false;
    }
  }
  return true;
}

FltkWindowFont Choose() {
  fl_open_display();
  const int faceCount = int(std::size(kFaces));
  // FLTK keeps the name pointers: the names must live as long as the process.
  static std::string names[2 * std::size(kFaces)];
  for (int i = 0; i < faceCount; ++i) {
    names[2 * i] = std::string(" ") + kFaces[i];  // ' ' plain, 'B' bold in FLTK's Xft names
    names[2 * i + 1] = std::string("B") + kFaces[i];
    Fl::set_font(Fl_Font(FL_FREE_FONT + 2 * i), names[2 * i].c_str());
    Fl::set_font(Fl_Font(FL_FREE_FONT + 2 * i + 1), names[2 * i + 1].c_str());
  }
  for (int size = kLargestSize; size >= kSmallestSize; --size) {
    for (int i = 0; i < faceCount; ++i) {
      const Fl_Font regular = Fl_Font(FL_FREE_FONT + 2 * i);
      const Fl_Font bold = Fl_Font(regular + 1);
      if (LayoutTextsFit(regular, bold, size)) {
        return {regular, bold, size, (size * 19 + 6) / 13};
      }
    }
  }
  // Nothing fits: the narrowest candidate at the smallest size clips least.
  return {FL_HELVETICA, FL_HELVETICA_BOLD, kSmallestSize, 15};
}

}  // namespace

const FltkWindowFont& WindowFont() {
  static const FltkWindowFont font = Choose();
  return font;
}
