#pragma once

// Reads the head of an HTTP response (its status line and header block) as it arrives in
// pieces, and hands on the body bytes that came with it.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/net/internet_headers.h"

namespace fw {

// A count for an event's Int32 argument; a larger one shows as the largest.
inline std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::int32_t>::max()));
}

class HttpResponseParser {
 public:
  // Takes the next piece of the response while its head is still coming. True once the head
  // is complete; `body` then holds what followed it.
  bool Feed(const std::string& data, std::string& body);
  // More has come than any header block holds: whatever this is, it is no HTTP response.
  bool Overflowed() const;

  bool HeadDone() const { return headDone_; }
  // The number after the first blank of the status line; 0 when there is none.
  std::int32_t Status() const { return status_; }
  // Absent until the head is complete.
  const Ref<InternetHeaders>& Headers() const { return headers_; }
  // The body length the Content-length announced; 0 when it announced none.
  std::int64_t ContentLength() const { return contentLength_; }

 private:
  void ReadHead(const std::string& block);

  bool headDone_ = false;
  std::string head_;
  std::size_t searched_ = 0;  // where the search for the header block's end goes on
  std::int32_t status_ = 0;
  std::int64_t contentLength_ = 0;
  Ref<InternetHeaders> headers_;
};

}  // namespace fw
