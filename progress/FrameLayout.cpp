#include "progress/FrameLayout.h"

#include <algorithm>

#include "progress/ViewerDrawing.h"

namespace progress_internal {

namespace {

constexpr int kSideMargin = 20;        // strip and elapsed time from the frame's sides
constexpr int kTextSideMargins = 20;   // the text block is this much narrower than the frame
constexpr int kStripAboveBottom = 60;  // the strip's top, counted from the frame's bottom
constexpr int kElapsedAboveBottom = 25;
constexpr int kButtonFromRight = 120;  // the button's left, counted from the frame's right
constexpr int kButtonAboveBottom = 30;
constexpr int kStripInset = 2;  // the block and the fill stand clear of the strip's edge
constexpr int kPercentLabelTop = 4;

}  // namespace

FrameLayout LayOutFrame(int frameWidth, int frameHeight) {
  FrameLayout layout;
  layout.textWidth = frameWidth - kTextSideMargins;
  layout.textBlock = {kTextBlockLeft, kTextBlockTop};
  layout.strip = {kSideMargin, frameHeight - kStripAboveBottom,
                  std::max(1, frameWidth - 2 * kSideMargin), kStripHeight};
  layout.button = {frameWidth - kButtonFromRight, frameHeight - kButtonAboveBottom, kButtonWidth,
                   kButtonHeight};
  layout.elapsedTop = frameHeight - kElapsedAboveBottom;
  layout.elapsedMargin = kSideMargin;
  return layout;
}

int FrameHeightForText(int textHeight) {
  return textHeight + kHeightBelowText;
}

Box MovingBlock(int stripHeight, double position) {
  return {static_cast<int>(position), kStripInset, kBlockWidth, stripHeight - 2 * kStripInset};
}

Box PercentFill(int stripWidth, int stripHeight, double percent) {
  return {kStripInset, kStripInset,
          static_cast<int>((stripWidth - 2 * kStripInset) * percent / 100),
          stripHeight - 2 * kStripInset};
}

Origin PercentLabel(int stripWidth, int labelWidth) {
  return {(stripWidth - labelWidth) / 2, kPercentLabelTop};
}

Origin ElapsedText(const FrameLayout& layout, int frameWidth, bool canCancel, int textWidth) {
  const int x = canCancel ? layout.elapsedMargin : frameWidth - textWidth - layout.elapsedMargin;
  return {x, layout.elapsedTop};
}

}  // namespace progress_internal
