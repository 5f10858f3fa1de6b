#pragma once

// The tests' loopback web server, as a camera for the capture benchmarks. It runs on a thread
// of its own, so that serving never takes a turn on the loop being measured, and answers each
// request the way it is told to behave at that moment.

#include <QObject>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/loopback_server.h"

namespace bench {

enum class Behaviour {
  Image,          // 200 with the image and its length
  NotFound,       // 404 with a page
  CloseSilently,  // reads the request, closes without a byte
  NeverAnswer,    // reads the request, then waits for the client to give up
  Large,          // 200 with a long body of its given length
};

// A socket bound to a loopback port without listening: every connection to it is refused, and
// the port cannot go to anybody else meanwhile.
class RefusingPort {
 public:
  RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

class CameraServer {
 public:
  explicit CameraServer(std::string image)
      : image_(QByteArray::fromStdString("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                                         "Content-Length: " + std::to_string(image.size()) +
                                         "\r\n\r\n" + image)) {
    home_.moveToThread(&thread_);
    thread_.start();
    OnThread([this] {
      server_ = std::make_unique<LoopbackServer>([this](QTcpSocket* peer) { Answer(peer); });
    });
  }
  ~CameraServer() {
    OnThread([this] { server_.reset(); });
    thread_.quit();
    thread_.wait();
  }
  CameraServer(const CameraServer&) = delete;
  CameraServer& operator=(const CameraServer&) = delete;

  void SetBehaviour(Behaviour b) { behaviour_ = b; }
  void SetLargeBodyBytes(std::int64_t bytes) { largeBytes_ = bytes; }
  std::string Url() const { return server_->Url("/cam.jpg"); }
  // Requests read in full so far.
  long Requests() const { return requests_; }

 private:
  template <typename F>
  void OnThread(F f) {
    QMetaObject::invokeMethod(&home_, std::move(f), Qt::BlockingQueuedConnection);
  }

  // On the server's thread, once a request's header block has arrived.
  void Answer(QTcpSocket* peer) {
    ++requests_;
    // Thousands of requests in a soak: keep none of them, and no connection past its end.
    server_->requests.clear();
    QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
    switch (behaviour_.load()) {
      case Behaviour::Image:
        LoopbackServer::Answer(image_)(peer);
        break;
      case Behaviour::NotFound: {
        const QByteArray page = "<html><body><h1>404 Not Found</h1></body></html>\n";
        LoopbackServer::Answer("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n"
                               "Content-Length: " + QByteArray::number(page.size()) +
                               "\r\n\r\n" + page)(peer);
        break;
      }
      case Behaviour::CloseSilently:
        LoopbackServer::HangUp(peer);
        break;
      case Behaviour::NeverAnswer:
        LoopbackServer::Hold(peer);
        break;
      case Behaviour::Large:
        SendLarge(peer, largeBytes_);
        break;
    }
  }

  // Sends the body a piece at a time as the socket drains, so that the server's own memory
  // stays small beside the client's.
  static constexpr std::int64_t kChunk = 256 << 10;
  static void SendLarge(QTcpSocket* peer, std::int64_t total) {
    peer->write("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                QByteArray::number(static_cast<qint64>(total)) + "\r\n\r\n");
    auto left = std::make_shared<std::int64_t>(total);
    auto more = [peer, left] {
      if (*left == 0 || peer->bytesToWrite() > kChunk) return;
      static const QByteArray chunk(kChunk, 'x');
      const auto n = std::min(*left, kChunk);
      peer->write(chunk.constData(), n);
      *left -= n;
      if (*left == 0) peer->disconnectFromHost();
    };
    QObject::connect(peer, &QTcpSocket::bytesWritten, peer, more);
    more();
  }

  const QByteArray image_;
  QThread thread_;
  QObject home_;  // lives on thread_: what runs there is queued to it
  std::unique_ptr<LoopbackServer> server_;
  std::atomic<Behaviour> behaviour_{Behaviour::Image};
  std::atomic<std::int64_t> largeBytes_{0};
  std::atomic<long> requests_{0};
};

}  // namespace bench
