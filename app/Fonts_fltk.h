// The main window's fonts on X11. The layout asks for Tahoma 13, which Linux rarely has; the
// faces that stand in for it are often wider, so the face and size are chosen by measuring the
// window's own texts against their places in the layout.
#pragma once

#include <FL/Enumerations.H>

struct FltkWindowFont {
  Fl_Font regular;
  Fl_Font bold;
  int size;        // stands for Tahoma 13
  int buttonSize;  // stands for Tahoma 19
};

// Needs the display open. Chosen once per process.
const FltkWindowFont& WindowFont();
