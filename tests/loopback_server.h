#pragma once

// A web server on 127.0.0.1 for tests that download through the real socket. Once a request's
// header block has arrived, the test's reply answers it, hangs up, or holds the connection.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
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
  static Reply Answer(QByteArray response) {
    return [response](QTcpSocket* peer) {
      peer->write(response);
      peer->disconnectFromHost();
    };
  }
  static void HangUp(QTcpSocket* peer) { peer->disconnectFromHost(); }
  static void Hold(QTcpSocket*) {}

  explicit LoopbackServer(Reply reply) : reply(std::move(reply)) {
    server_.listen(QHostAddress::LocalHost);
    port_ = server_.serverPort();
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* peer = server_.nextPendingConnection())
        QObject::connect(peer, &QTcpSocket::readyRead, [this, peer] {
          // One request at a time: the socket drops a download before it starts the next.
          pending_ += peer->readAll();
          if (!pending_.contains("\r\n\r\n")) return;
          requests.push_back(pending_.toStdString());
          pending_.clear();
          peer->disconnect(peer, &QTcpSocket::readyRead, nullptr, nullptr);
          this->peer = peer;
          this->reply(peer);
        });
    });
  }
  // Refuses connections from now on, or takes them again on the same port.
  void Stop() { server_.close(); }
  bool Restart() { return server_.listen(QHostAddress::LocalHost, port_); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  Reply reply;
  std::vector<std::string> requests;
  QPointer<QTcpSocket> peer;  // the connection of the latest request, while it is open

 private:
  QTcpServer server_;
  quint16 port_ = 0;
  QByteArray pending_;
};
