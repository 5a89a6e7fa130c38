// Where each part of a progress window's frame goes, in the frame's own pixels. Both window
// implementations draw from this, so the Win32 and the X11 window share one geometry; they
// keep only their connection, window, events and drawing primitives.
#pragma once

namespace progress_internal {

struct Box {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const Box&) const = default;
};

struct Origin {
  int x = 0, y = 0;
  bool operator==(const Origin&) const = default;
};

struct FrameLayout {
  int textWidth = 0;      // the width the text lines are broken and aligned in
  Origin textBlock;       // where the block of text lines goes
  Box strip;              // the strip of the moving block or the percentage
  Box button;             // the cancel button (a child window, shown only when it can cancel)
  int elapsedTop = 0;     // top of the elapsed-time text
  int elapsedMargin = 0;  // its distance from the side it stands at
};

// The frame's sizes are those of a 96 dpi screen. Where the window is drawn at the screen's own
// DPI (Windows 7 and 8.1: the program is aware of the DPI, and the window's thread cannot be
// made unaware of it there), its fonts grow with the DPI, and so does every margin and part
// here: `dpi` is the screen's, and the frame's width and height are its pixels.
inline constexpr int kBaseDpi = 96;
// `pixels` of a 96 dpi screen on a screen of `dpi`, rounded to the nearest pixel.
int Scaled(int pixels, int dpi);

FrameLayout LayOutFrame(int frameWidth, int frameHeight, int dpi = kBaseDpi);

// The frame's height for a block of text lines `textHeight` pixels high: the strip, the
// button and the elapsed time go below it.
int FrameHeightForText(int textHeight, int dpi = kBaseDpi);

// Inside the strip (strip coordinates): the moving block at `position`, or the filled part of
// a percentage.
Box MovingBlock(int stripHeight, double position, int dpi = kBaseDpi);
Box PercentFill(int stripWidth, int stripHeight, double percent, int dpi = kBaseDpi);
// The percentage label, centred on the strip.
Origin PercentLabel(int stripWidth, int labelWidth, int dpi = kBaseDpi);

// The elapsed time stands at the left beside the cancel button, or at the right without one.
Origin ElapsedText(const FrameLayout& layout, int frameWidth, bool canCancel, int textWidth);

}  // namespace progress_internal
