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

int Scaled(int pixels, int dpi) {
  const long long scaled = static_cast<long long>(pixels) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi : (scaled - half) / kBaseDpi);
}

FrameLayout LayOutFrame(int frameWidth, int frameHeight, int dpi) {
  auto px = [dpi](int pixels) { return Scaled(pixels, dpi); };
  FrameLayout layout;
  layout.textWidth = frameWidth - px(kTextSideMargins);
  layout.textBlock = {px(kTextBlockLeft), px(kTextBlockTop)};
  layout.strip = {px(kSideMargin), frameHeight - px(kStripAboveBottom),
                  std::max(1, frameWidth - 2 * px(kSideMargin)), px(kStripHeight)};
  layout.button = {frameWidth - px(kButtonFromRight), frameHeight - px(kButtonAboveBottom),
                   px(kButtonWidth), px(kButtonHeight)};
  layout.elapsedTop = frameHeight - px(kElapsedAboveBottom);
  layout.elapsedMargin = px(kSideMargin);
  return layout;
}

int FrameHeightForText(int textHeight, int dpi) {
  return textHeight + Scaled(kHeightBelowText, dpi);
}

Box MovingBlock(int stripHeight, double position, int dpi) {
  const int inset = Scaled(kStripInset, dpi);
  return {static_cast<int>(position), inset, Scaled(kBlockWidth, dpi), stripHeight - 2 * inset};
}

Box PercentFill(int stripWidth, int stripHeight, double percent, int dpi) {
  const int inset = Scaled(kStripInset, dpi);
  return {inset, inset, static_cast<int>((stripWidth - 2 * inset) * percent / 100),
          stripHeight - 2 * inset};
}

Origin PercentLabel(int stripWidth, int labelWidth, int dpi) {
  return {(stripWidth - labelWidth) / 2, Scaled(kPercentLabelTop, dpi)};
}

Origin ElapsedText(const FrameLayout& layout, int frameWidth, bool canCancel, int textWidth) {
  const int x = canCancel ? layout.elapsedMargin : frameWidth - textWidth - layout.elapsedMargin;
  return {x, layout.elapsedTop};
}

}  // namespace progress_internal
