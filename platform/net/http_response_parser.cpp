#include "platform/net/http_response_parser.h"

#include <string_view>

#include "platform/text/text.h"

namespace fw {

namespace {

// A header block longer than this is no header block.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

// Where the header block ends: the block's length and where the body starts. The block ends at
// the first empty line, whether lines end in CR LF or in LF alone. The search starts at `from`,
// and when it fails `from` moves to where the next one, with more data, has to start: only the
// last two bytes can begin an end not yet seen. A header trickled in small pieces is thus read
// once, not once per piece.
bool FindHeaderEnd(const std::string& head, std::size_t& from, std::size_t& blockLength,
                   std::size_t& bodyStart) {
  for (std::size_t i = head.find('\n', from); i != std::string::npos; i = head.find('\n', i + 1)) {
    if (i + 1 < head.size() && head[i + 1] == '\n') {
      blockLength = i;
      bodyStart = i + 2;
      return true;
    }
    if (i + 2 < head.size() && head[i + 1] == '\r' && head[i + 2] == '\n') {
      blockLength = i;
      bodyStart = i + 3;
      return true;
    }
  }
  from = head.size() > 2 ? head.size() - 2 : 0;
  return false;
}

std::int32_t StatusOf(std::string_view statusLine) {
  const auto blank = statusLine.find(' ');
  if (blank == std::string_view::npos) return 0;
  return ClampToInt32(LeadingNumber(statusLine.substr(blank + 1)));
}

}  // namespace

bool HttpResponseParser::Feed(const std::string& data, std::string& body) {
  head_ += data;
  std::size_t blockLength = 0, bodyStart = 0;
  if (!FindHeaderEnd(head_, searched_, blockLength, bodyStart)) return false;
  const std::string block = head_.substr(0, blockLength);
  body = head_.substr(bodyStart);
  head_.clear();
  headDone_ = true;
  ReadHead(block);
  return true;
}

bool HttpResponseParser::Overflowed() const { return head_.size() > kMaxHeaderBytes; }

void HttpResponseParser::ReadHead(const std::string& block) {
  const auto lineEnd = block.find('\n');
  status_ = StatusOf(Trim(std::string_view(block).substr(0, lineEnd), kHeaderBlanks));
  headers_ = InternetHeaders::Parse(lineEnd == std::string::npos ? "" : block.substr(lineEnd + 1));
  contentLength_ = LeadingNumber(Trim(headers_->Value("Content-length"), kHeaderBlanks));
}

}  // namespace fw
