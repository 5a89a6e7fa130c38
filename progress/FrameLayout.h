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

FrameLayout LayOutFrame(int frameWidth, int frameHeight);

// The frame's height for a block of text lines `textHeight` pixels high: the strip, the
// button and the elapsed time go below it.
int FrameHeightForText(int textHeight);

// Inside the strip (strip coordinates): the moving block at `position`, or the filled part of
// a percentage.
Box MovingBlock(int stripHeight, double position);
Box PercentFill(int stripWidth, int stripHeight, double percent);
// The percentage label, centred on the strip.
Origin PercentLabel(int stripWidth, int labelWidth);

// The elapsed time stands at the left beside the cancel button, or at the right without one.
Origin ElapsedText(const FrameLayout& layout, int frameWidth, bool canCancel, int textWidth);

}  // namespace progress_internal
