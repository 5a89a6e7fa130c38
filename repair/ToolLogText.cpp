#include "repair/ToolLogText.h"

#include "os/CodePage.h"
#include "os/Files.h"

namespace toollog {

std::string ReadAsText(const std::string& path) {
  // gbak writes in the system's code page; inside the program the text is UTF-8.
  const std::string raw = os::AnsiToUtf8(os::ReadWholeFile(path));
  std::string text;
  text.reserve(raw.size() + raw.size() / 16);
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\r' && raw[i] != '\n')
      continue;
    text.append(raw, lineStart, i - lineStart).append("\r\n");
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
      ++i;
    lineStart = i + 1;
  }
  if (lineStart < raw.size())
    text.append(raw, lineStart, std::string::npos).append("\r\n");
  return text;
}

bool HasMarker(const std::string& text, const std::string& marker) {
  return text.find(marker) != std::string::npos;
}

bool ReportsError(const std::string& text) {
  return text.find("ERROR:") != std::string::npos;
}

bool LeftDatabaseOffline(const std::string& text) {
  return text.find("is not online") != std::string::npos;
}

}  // namespace toollog
