#pragma once

// A web server on 127.0.0.1 for tests that download through the real socket. Each connection,
// once its request's header block has arrived, is handed to the test's reply, which may answer,
// hang up, or keep the connection to write to it later.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

class LoopbackServer {
 public:
  using Reply = std::function<void(QTcpSocket* peer)>;

  explicit LoopbackServer(Reply reply = Answer("HTTP/1.0 200 OK\r\n\r\n")) : reply_(std::move(reply)) {
    if (!Listen(0)) throw std::runtime_error("cannot listen on 127.0.0.1");
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* peer = server_.nextPendingConnection()) {
        QObject::connect(peer, &QTcpSocket::readyRead, [this, peer] {
          QByteArray& request = buffers_[peer];
          if (request.contains("\r\n\r\n")) return;
          request += peer->readAll();
          if (!request.contains("\r\n\r\n")) return;
          requests.push_back(request.toStdString());
          last_ = peer;
          reply_(peer);
        });
      }
    });
  }

  // Writes the whole response and closes the connection.
  static Reply Answer(QByteArray response) {
    return [response](QTcpSocket* peer) {
      peer->write(response);
      peer->disconnectFromHost();
    };
  }
  static void HangUp(QTcpSocket* peer) { peer->disconnectFromHost(); }
  static void Hold(QTcpSocket*) {}

  void SetReply(Reply reply) { reply_ = std::move(reply); }
  // The connection of the latest request, while it is open.
  QTcpSocket* Peer() const { return last_; }
  // Refuses connections from now on, or takes them again on the same port.
  void Stop() { server_.close(); }
  bool Restart() { return Listen(port_); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  std::vector<std::string> requests;

 private:
  bool Listen(quint16 port) {
    if (!server_.listen(QHostAddress::LocalHost, port)) return false;
    port_ = server_.serverPort();
    return true;
  }

  QTcpServer server_;
  Reply reply_;
  quint16 port_ = 0;
  QPointer<QTcpSocket> last_;
  std::map<QTcpSocket*, QByteArray> buffers_;
};
