#include "platform/net/http_transfer.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {

void HTTPSocket::Transfer::Shut() {
  lookup.Cancel();
  CloseSocket();
  for (QTimer* timer : {connectTimer, idleTimer, deadlineTimer}) {
    if (!timer) continue;
    timer->stop();
    timer->disconnect();
    timer->deleteLater();  // this may run inside the timer's own signal
  }
  connectTimer = idleTimer = deadlineTimer = nullptr;
}

void HTTPSocket::Transfer::CloseSocket() {
  // Notifiers must let go of a descriptor before it is closed; deletion is deferred, as this
  // may run inside one of their own signals.
  for (QSocketNotifier* notifier : {reader, writer}) {
    if (!notifier) continue;
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
  }
  reader = writer = nullptr;
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void HTTPSocket::Transfer::Listen() {
  if (reader && established && !ended) reader->setEnabled(true);
}

void HTTPSocket::Transfer::Send() {
  while (sent < request.size()) {
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;  // the writer fires again when there is room
    } else {
      break;
    }
  }
  writer->setEnabled(false);
}

std::string HTTPSocket::Transfer::Receive() {
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) return std::string(buffer, static_cast<std::size_t>(n));
    if (n < 0 && errno == EINTR) continue;
    // A peer that closes or breaks an established connection ends the download, not fails it.
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) ended = true;
    return {};
  }
}

int HTTPSocket::Transfer::SocketError() const {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

bool HTTPSocket::Transfer::HasPendingBytes() const {
  int pending = 0;
  return ioctl(fd, FIONREAD, &pending) == 0 && pending > 0;
}

}  // namespace fw
