#pragma once

// A web server on 127.0.0.1 for the capture benchmarks. It runs on a thread of its own, so that
// serving never takes a turn on the loop being measured, and serves one connection at a time,
// each the way it is told to behave at that moment.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

enum class Behaviour {
  Image,          // 200 with the image and its length
  NotFound,       // 404 with a page
  CloseSilently,  // reads the request, closes without a byte
  NeverAnswer,    // reads the request, then waits for the client to give up
  Large,          // 200 with a long body of its given length
};

inline sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A socket bound to a loopback port without listening: every connection to it is refused, and
// the port cannot go to anybody else meanwhile.
class RefusingPort {
 public:
  RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a = LoopbackAddress(0);
    socklen_t size = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
      throw std::runtime_error("cannot reserve a loopback port");
    port_ = ntohs(a.sin_port);
  }
  ~RefusingPort() { ::close(fd_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/cam.jpg"; }

 private:
  int fd_;
  std::uint16_t port_ = 0;
};

class LoopbackServer {
 public:
  explicit LoopbackServer(std::string image) : image_(std::move(image)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = LoopbackAddress(0);
    socklen_t size = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 64) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0)
      throw std::runtime_error("cannot listen on loopback");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stopping_ = true;
    [[maybe_unused]] auto n = ::write(wake_[1], "x", 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void SetBehaviour(Behaviour b) { behaviour_ = b; }
  void SetLargeBodyBytes(std::int64_t bytes) { largeBytes_ = bytes; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/cam.jpg"; }
  // Requests read in full so far.
  long Requests() const { return requests_; }

 private:
  // Waits until the descriptor is ready or the server stops; false when it stops.
  bool Await(int fd, short events) {
    pollfd fds[2] = {{fd, events, 0}, {wake_[0], POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0)
      if (errno != EINTR) return false;
    return !stopping_ && !(fds[1].revents & POLLIN);
  }

  void Serve() {
    while (Await(listener_, POLLIN)) {
      const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (peer < 0) continue;
      Answer(peer);
      ::close(peer);
    }
  }

  // Reads up to the empty line that ends the request; false when the client went first.
  bool ReadRequest(int peer) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      if (!Await(peer, POLLIN)) return false;
      const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    ++requests_;
    return true;
  }

  bool SendAll(int peer, const char* data, std::size_t size) {
    while (size > 0) {
      if (!Await(peer, POLLOUT)) return false;
      const ssize_t n = ::send(peer, data, size, MSG_NOSIGNAL);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  bool SendAll(int peer, const std::string& text) { return SendAll(peer, text.data(), text.size()); }

  void Answer(int peer) {
    if (!ReadRequest(peer)) return;
    switch (behaviour_.load()) {
      case Behaviour::Image:
        SendAll(peer, "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                          std::to_string(image_.size()) + "\r\n\r\n" + image_);
        break;
      case Behaviour::NotFound: {
        const std::string page = "<html><body><h1>404 Not Found</h1></body></html>\n";
        SendAll(peer, "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
                          std::to_string(page.size()) + "\r\n\r\n" + page);
        break;
      }
      case Behaviour::CloseSilently:
        break;
      case Behaviour::NeverAnswer: {
        char sink[256];
        while (Await(peer, POLLIN) && ::recv(peer, sink, sizeof sink, 0) > 0) {
        }
        break;
      }
      case Behaviour::Large: {
        const std::int64_t total = largeBytes_;
        if (!SendAll(peer, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                           "Content-Length: " + std::to_string(total) + "\r\n\r\n"))
          break;
        static char chunk[1 << 20];
        std::memset(chunk, 'x', sizeof chunk);
        for (std::int64_t left = total; left > 0;) {
          const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, sizeof chunk));
          if (!SendAll(peer, chunk, n)) break;
          left -= static_cast<std::int64_t>(n);
        }
        break;
      }
    }
  }

  std::string image_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<Behaviour> behaviour_{Behaviour::Image};
  std::atomic<std::int64_t> largeBytes_{0};
  std::atomic<long> requests_{0};
  std::thread thread_;
};

}  // namespace bench
