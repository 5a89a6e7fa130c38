// Geometry, colours, the elapsed-time text and line breaking of the progress window.
#include <gtest/gtest.h>

#include "progress/FrameLayout.h"
#include "progress/ViewerDrawing.h"

using namespace progress_internal;

TEST(ViewerPlacement, CentredAndHundredPixelsAboveTheWorkAreaBottom) {
  Placement p = PlaceOnWorkArea(0, 0, 1024, 768, 450, 200);
  EXPECT_EQ(p.left, 287);
  EXPECT_EQ(p.top, 768 - 200 - 100);
  // A task bar on the left: the width of the area counts, not its right edge.
  p = PlaceOnWorkArea(100, 0, 1124, 740, 451, 70);
  EXPECT_EQ(p.left, 286);
  EXPECT_EQ(p.top, 570);
  // Wider than the area: the division truncates toward zero.
  p = PlaceOnWorkArea(0, 0, 400, 300, 451, 70);
  EXPECT_EQ(p.left, -25);
}

TEST(ViewerPlacement, ResizeKeepsAnUnnamedSideAndTheMinimums) {
  const WindowSize now{450, 130};
  EXPECT_EQ(RequestedSize(now, -1, 200).width, 450);
  EXPECT_EQ(RequestedSize(now, -1, 200).height, 200);
  EXPECT_EQ(RequestedSize(now, 600, -1).height, 130);
  // Never smaller than the smallest window, whatever the text sums to.
  EXPECT_EQ(RequestedSize(now, 10, 20).width, 225);
  EXPECT_EQ(RequestedSize(now, 10, 20).height, 70);
}

TEST(ViewerColours, SystemDefaultAndRgbValues) {
  EXPECT_EQ(ColorToRgb(0x008000), 0x008000u);
  EXPECT_EQ(ColorToRgb(0xFFFF00), 0xFFFF00u);
  EXPECT_EQ(ColorToRgb(kDefaultColor), 0u);
  EXPECT_EQ(ColorToRgb(kButtonFaceColor), 0xF0F0F0u);
  EXPECT_EQ(ColorToRgb(0xFF000005), 0xFFFFFFu);  // window background
}

TEST(ViewerElapsedTime, HoursMinutesSecondsWithinTheDay) {
  EXPECT_EQ(FormatElapsed(0), "0:00:00");
  EXPECT_EQ(FormatElapsed(59999), "0:00:59");
  EXPECT_EQ(FormatElapsed((3600 + 2 * 60 + 3) * 1000ull), "1:02:03");
  EXPECT_EQ(FormatElapsed((86400 + 5) * 1000ull), "0:00:05");
  EXPECT_EQ(TotalTimeText(61000), "Общее время: 0:01:01");
}

TEST(ViewerStrip, BlockWrapsAndPercentageIsClamped) {
  EXPECT_EQ(NextBlockPosition(0, 410), 10);
  EXPECT_EQ(NextBlockPosition(400, 410), 410);
  EXPECT_EQ(NextBlockPosition(410, 410), -40);
  EXPECT_EQ(NextBlockPosition(-40, 410), -30);
  EXPECT_EQ(ClampPercent(150), 100);
  EXPECT_EQ(ClampPercent(-5), 0);
  EXPECT_EQ(ClampPercent(42.5), 42.5);
}

namespace {
// Ten pixels per byte: easy widths to reason about.
int TenPerByte(const std::string& s) {
  return static_cast<int>(s.size()) * 10;
}
}  // namespace

TEST(ViewerLineBreaking, WrapsBetweenWordsToTheWidth) {
  auto lines = BreakText("aaa bbb ccc dddd", true, 80, TenPerByte);
  EXPECT_EQ(lines, (std::vector<std::string>{"aaa bbb", "ccc dddd"}));
  // A word wider than the block keeps a line of its own.
  lines = BreakText("a bbbbbbbbbbbb c", true, 80, TenPerByte);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "bbbbbbbbbbbb", "c"}));
}

TEST(ViewerLineBreaking, WithoutWrapOnlyLineBreaksSplit) {
  auto lines = BreakText("aaa bbb ccc dddd eeee ffff", false, 80, TenPerByte);
  EXPECT_EQ(lines, (std::vector<std::string>{"aaa bbb ccc dddd eeee ffff"}));
  lines = BreakText("one\r\ntwo\nthree", false, 80, TenPerByte);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_TRUE(BreakText("", true, 80, TenPerByte).empty());
  EXPECT_EQ(BreakText(" ", false, 80, TenPerByte), (std::vector<std::string>{" "}));
}

// The frame's geometry both windows draw from, for the default window, the smallest one and a
// wide one, and for the default window on screens of 120 and 144 dpi (Windows 7 and 8.1 draw
// it at the screen's DPI: a 450 x 70 window there is 563 x 88 and 675 x 105 pixels).
TEST(ViewerFrameLayout, EveryPartFollowsTheFrameSize) {
  struct Case {
    int width, height, dpi;
    int textWidth;
    Origin textBlock;
    Box strip, button;
    int elapsedTop, margin;
  };
  const Case cases[] = {
      {450, 130, 96, 430, {10, 2}, {20, 70, 410, 20}, {330, 100, 100, 25}, 105, 20},
      {225, 70, 96, 205, {10, 2}, {20, 10, 185, 20}, {105, 40, 100, 25}, 45, 20},
      {900, 400, 96, 880, {10, 2}, {20, 340, 860, 20}, {780, 370, 100, 25}, 375, 20},
      {563, 160, 120, 538, {13, 3}, {25, 85, 513, 25}, {413, 122, 125, 31}, 129, 25},
      {675, 195, 144, 645, {15, 3}, {30, 105, 615, 30}, {495, 150, 150, 38}, 157, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " at " +
                 std::to_string(c.dpi));
    const FrameLayout layout = LayOutFrame(c.width, c.height, c.dpi);
    EXPECT_EQ(layout.textWidth, c.textWidth);
    EXPECT_EQ(layout.textBlock, c.textBlock);
    EXPECT_EQ(layout.strip, c.strip);
    EXPECT_EQ(layout.button, c.button);
    EXPECT_EQ(ElapsedText(layout, c.width, /*canCancel=*/true, 60),
              (Origin{c.margin, c.elapsedTop}));
    EXPECT_EQ(ElapsedText(layout, c.width, /*canCancel=*/false, 60),
              (Origin{c.width - 60 - c.margin, c.elapsedTop}));
  }
  EXPECT_EQ(FrameHeightForText(45), 115);
  EXPECT_EQ(MovingBlock(20, 37.9), (Box{37, 2, 40, 16}));
  EXPECT_EQ(PercentFill(410, 20, 50), (Box{2, 2, 203, 16}));
  EXPECT_EQ(PercentFill(410, 20, 100).right(), 408);
  EXPECT_EQ(PercentLabel(410, 30), (Origin{190, 4}));
  // At 144 dpi, in a strip of 615 x 30.
  EXPECT_EQ(FrameHeightForText(45, 144), 150);
  EXPECT_EQ(MovingBlock(30, 37.9, 144), (Box{37, 3, 60, 24}));
  EXPECT_EQ(PercentFill(615, 30, 50, 144), (Box{3, 3, 304, 24}));
  EXPECT_EQ(NextBlockPosition(615, 615, 144), -60);
}
