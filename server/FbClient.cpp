#include "server/FbClient.h"

#include <firebird/Interface.h>

#include <vector>

namespace fbclient {

std::string StatusText(Firebird::IUtil* util, Firebird::IStatus* status) {
  std::vector<char> buffer(4096);
  util->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()), status);
  std::string text;
  for (const char* c = buffer.data(); *c != '\0'; ++c) {
    if (*c == '\n')
      text += "\r\n";
    else
      text += *c;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace fbclient
