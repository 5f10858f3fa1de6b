#include "platform/net/http_address.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <netdb.h>

#include "platform/net/error_codes.h"
#include "platform/text/text.h"

namespace fw {

namespace {

bool HasControlBytes(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    auto b = static_cast<unsigned char>(c);
    return b <= 0x20 || b == 0x7F;
  });
}

// A request target carries no blanks, line breaks or raw non-ASCII bytes: they would break the
// request line or smuggle headers in, so they travel percent-encoded.
std::string EncodeTarget(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : path) {
    auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

HttpAddress ParseHttpAddress(const std::string& address) {
  HttpAddress a;
  std::string rest = address;
  if (auto scheme = rest.find("://"); scheme != std::string::npos) rest = rest.substr(scheme + 3);
  const auto slash = rest.find('/');
  const std::string hostPort = rest.substr(0, slash);
  std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
  // The fragment belongs to the reader of the page, never to the request.
  if (auto hash = path.find('#'); hash != std::string::npos) path.erase(hash);
  a.path = EncodeTarget(path.empty() ? "/" : path);

  std::size_t colon = hostPort.find(':');
  if (!hostPort.empty() && hostPort[0] == '[') {  // an IPv6 literal
    const auto close = hostPort.find(']');
    colon = close == std::string::npos ? std::string::npos : hostPort.find(':', close);
    a.host = hostPort.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    a.host = hostPort.substr(0, colon);
  }
  const std::string hostText = hostPort.substr(0, colon);
  const std::string portText = colon == std::string::npos ? "" : hostPort.substr(colon + 1);
  a.hostHeader = portText.empty() ? hostText : hostText + ":" + portText;

  if (a.host.empty() || HasControlBytes(hostPort)) a.error = http_error::kBadAddress;
  if (!portText.empty()) {
    const bool digits = std::all_of(portText.begin(), portText.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    const std::int64_t port = digits ? LeadingNumber(portText) : 0;
    if (port < 1 || port > 65535)
      a.error = http_error::kBadAddress;
    else
      a.port = static_cast<std::uint16_t>(port);
  }
  return a;
}

std::vector<Endpoint> NumericAddresses(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  std::vector<Endpoint> endpoints;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return endpoints;
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Endpoint& e = endpoints.emplace_back();
    std::memcpy(&e.address, a->ai_addr, a->ai_addrlen);
    e.length = a->ai_addrlen;
  }
  freeaddrinfo(list);
  return endpoints;
}

}  // namespace fw
