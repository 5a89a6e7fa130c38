// The answer of the service manager to a query for the next output line, as raw bytes:
// a sequence of items, each a tag byte and, for text, a 2-byte little-endian length and the
// text; the list ends with the end tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fbreply {

// Item tags of the Services API that a line query may answer with.
inline constexpr std::uint8_t kEnd = 1;           // isc_info_end
inline constexpr std::uint8_t kTruncated = 2;     // isc_info_truncated
inline constexpr std::uint8_t kDataNotReady = 4;  // isc_info_data_not_ready
inline constexpr std::uint8_t kServiceLine = 62;  // isc_info_svc_line

struct ServiceReply {
  std::vector<std::string> lines;  // output lines, in order, without line breaks
  bool endOfOutput = false;        // an empty line: the service has no more output
  bool dataNotReady = false;       // nothing yet; ask again
  bool truncated = false;          // the buffer was too small for the whole answer
};

// Throws EFirebirdError when the bytes are not a well-formed answer.
ServiceReply ParseServiceReply(const std::uint8_t* buffer, std::size_t size);

}  // namespace fbreply
