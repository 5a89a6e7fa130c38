#include "progress/ViewerDrawing.h"

#include <algorithm>
#include <cstdio>

#include "os/Format.h"

namespace progress_internal {

Placement PlaceOnWorkArea(int areaLeft, int areaTop, int areaRight, int areaBottom, int width,
                          int height) {
  // C++ division truncates toward zero, as the placement rule wants.
  return Placement{(areaRight - areaLeft - width) / 2,
                   areaBottom - height - kGapAboveWorkAreaBottom};
}

namespace {

// Windows' default system colours (0x00BBGGRR), indexed like GetSysColor.
constexpr std::uint32_t kSystemColors[] = {
    0xC8C8C8,  // 0 scroll bar
    0x000000,  // 1 background
    0xD1B499,  // 2 active caption
    0xDBCDBF,  // 3 inactive caption
    0xF0F0F0,  // 4 menu
    0xFFFFFF,  // 5 window
    0x646464,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0x000000,  // 9 caption text
    0xB4B4B4,  // 10 active border
    0xFCF7F4,  // 11 inactive border
    0xABABAB,  // 12 app workspace
    0xFF9933,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xF0F0F0,  // 15 button face
    0xA0A0A0,  // 16 button shadow
    0x6D6D6D,  // 17 gray text
    0x000000,  // 18 button text
    0x000000,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x696969,  // 21 3D dark shadow
    0xE3E3E3,  // 22 3D light
    0x000000,  // 23 info text
    0xE1FFFF,  // 24 info background
};

}  // namespace

WindowSize RequestedSize(WindowSize current, int newWidth, int newHeight) {
  return WindowSize{std::max(newWidth == -1 ? current.width : newWidth, kMinWidth),
                    std::max(newHeight == -1 ? current.height : newHeight, kMinHeight)};
}

std::uint32_t ColorToRgb(TColorValue color) {
  if (color == kDefaultColor) {
    return 0;
  }
  if ((color & 0xFF000000u) == 0xFF000000u) {
    std::uint32_t index = color & 0xFFu;
    if (index < sizeof(kSystemColors) / sizeof(kSystemColors[0])) {
      return kSystemColors[index];
    }
    return 0;
  }
  return color & 0x00FFFFFFu;
}

std::string FormatElapsed(std::uint64_t elapsedMs) {
  std::uint64_t seconds = (elapsedMs / 1000) % 86400;
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
  return text;
}

std::string TotalTimeText(std::uint64_t elapsedMs) {
  try {
    return Format(TotalTimeFormat, {FormatElapsed(elapsedMs)});
  } catch (const Exception&) {
    // A broken format must not stop the painting: show the time alone.
    return FormatElapsed(elapsedMs);
  }
}

double NextBlockPosition(double position, int stripWidth, int dpi) {
  position += Scaled(kBlockStep, dpi);
  if (position > stripWidth) {
    position = -Scaled(kBlockWidth, dpi);
  }
  return position;
}

double ClampPercent(double position) {
  if (position > 100) {
    return 100;
  }
  if (position < 0) {
    return 0;
  }
  return position;
}

namespace {

void WrapParagraph(const std::string& paragraph, int width,
                   const std::function<int(const std::string&)>& measure,
                   std::vector<std::string>& lines) {
  std::string line;
  std::size_t pos = 0;
  while (pos < paragraph.size()) {
    std::size_t wordEnd = paragraph.find(' ', pos);
    if (wordEnd == std::string::npos) {
      wordEnd = paragraph.size();
    }
    std::string word = paragraph.substr(pos, wordEnd - pos);
    std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && measure(candidate) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    pos = wordEnd + 1;
  }
  lines.push_back(line);
}

}  // namespace

std::vector<std::string> BreakText(const std::string& text, bool wordWrap, int width,
                                   const std::function<int(const std::string&)>& measure) {
  std::vector<std::string> lines;
  if (text.empty()) {
    return lines;
  }
  std::size_t start = 0;
  while (true) {
    std::size_t brk = text.find_first_of("\r\n", start);
    std::string paragraph = text.substr(start, brk == std::string::npos ? brk : brk - start);
    if (wordWrap) {
      WrapParagraph(paragraph, width, measure, lines);
    } else {
      lines.push_back(paragraph);
    }
    if (brk == std::string::npos) {
      break;
    }
    start = brk + 1;
    if (text[brk] == '\r' && start < text.size() && text[start] == '\n') {
      ++start;
    }
    if (start >= text.size()) {
      break;
    }
  }
  return lines;
}

}  // namespace progress_internal
