#include "server/FbServiceReply.h"

#include "server/FbService.h"

namespace fbreply {

namespace {

[[noreturn]] void Malformed(const char* what) {
  throw EFirebirdError(std::string("Некорректный ответ менеджера сервисов: ") + what);
}

}  // namespace

ServiceReply ParseServiceReply(const std::uint8_t* buffer, std::size_t size) {
  ServiceReply reply;
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t tag = buffer[at++];
    switch (tag) {
      case kEnd:
        return reply;
      case kTruncated:
        reply.truncated = true;
        return reply;
      case kDataNotReady:
        reply.dataNotReady = true;
        break;
      case kServiceLine: {
        if (size - at < 2)
          Malformed("обрезана длина строки");
        const std::size_t length = buffer[at] | (buffer[at + 1] << 8);
        at += 2;
        if (size - at < length)
          Malformed("строка длиннее ответа");
        if (length == 0) {
          reply.endOfOutput = true;
        } else {
          reply.lines.emplace_back(reinterpret_cast<const char*>(buffer + at), length);
        }
        at += length;
        break;
      }
      default:
        Malformed(("неизвестный элемент " + std::to_string(tag)).c_str());
    }
  }
  Malformed("нет признака конца");
}

}  // namespace fbreply
