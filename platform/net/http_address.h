#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sys/socket.h>

namespace fw {

// The parts of a web address that a GET uses.
struct HttpAddress {
  std::string host;
  std::uint16_t port = 80;
  std::string hostHeader;  // the host, with ":port" when the address names a port
  std::string path;        // request target, "/" when the address has no path
  std::int32_t error = 0;  // non-zero when the address cannot be used (see the error table)
};
HttpAddress ParseHttpAddress(const std::string& address);

// One address of the host, ready for connect().
struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
};

// The addresses of a host given by number; none when it is a name.
std::vector<Endpoint> NumericAddresses(const std::string& host, std::uint16_t port);

}  // namespace fw
