// Portable pieces of the progress window: geometry, colours, the elapsed-time text and the
// line breaking the Xlib window needs (Win32 breaks lines with DrawText itself).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "progress/FrameLayout.h"
#include "progress/ProgressViewer.h"

namespace progress_internal {

inline constexpr int kInitialWidth = 450;
inline constexpr int kMinHeight = 70;
inline constexpr int kMinWidth = 225;
inline constexpr int kHeightBelowText = 70;
inline constexpr int kTextBlockLeft = 10;
inline constexpr int kTextBlockTop = 2;
inline constexpr int kStripHeight = 20;
inline constexpr int kBlockWidth = 40;
inline constexpr int kBlockStep = 10;
inline constexpr int kButtonWidth = 100;
inline constexpr int kButtonHeight = 25;
inline constexpr int kGapAboveWorkAreaBottom = 100;
inline constexpr std::uint32_t kFrameMessage = 1025;  // WM_USER + 1

struct Placement {
  int left = 0, top = 0;
};
// Centred horizontally, 100 pixels above the bottom of the work area.
Placement PlaceOnWorkArea(int areaLeft, int areaTop, int areaRight, int areaBottom, int width,
                          int height);

struct WindowSize {
  int width = 0, height = 0;
};
// The size a resize asks for: -1 keeps that side of the current size, and the minimums apply.
WindowSize RequestedSize(WindowSize current, int newWidth, int newHeight);

// 0x00BBGGRR of a colour value: system colours by Windows' defaults; the default colour
// becomes black.
std::uint32_t ColorToRgb(TColorValue color);

// "H:mm:ss" of a duration; a day or more shows only its part within the day.
std::string FormatElapsed(std::uint64_t elapsedMs);
std::string TotalTimeText(std::uint64_t elapsedMs);

// The moving block's next position for a strip of `stripWidth` pixels, on a screen of `dpi`.
double NextBlockPosition(double position, int stripWidth, int dpi = kBaseDpi);
// Percentage clamped to 0..100.
double ClampPercent(double position);

// Splits `text` into the lines that are drawn: at line breaks (CR LF, LF or CR) and, with
// `wordWrap`, between words so that each line fits `width` as `measure` counts pixels. A
// word wider than `width` keeps a line of its own.
std::vector<std::string> BreakText(const std::string& text, bool wordWrap, int width,
                                   const std::function<int(const std::string&)>& measure);

}  // namespace progress_internal
