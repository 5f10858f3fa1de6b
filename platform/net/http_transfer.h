#pragma once

// One download of HTTPSocket: its file, its connection and how far the response has come.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/download_target.h"
#include "platform/net/host_lookup.h"
#include "platform/net/http_address.h"
#include "platform/net/http_response_parser.h"
#include "platform/net/http_socket.h"

class QSocketNotifier;
class QTimer;

namespace fw {

struct HTTPSocket::Transfer {
  // Largest body piece handed to one ReceiveProgress.
  static constexpr std::size_t kPieceBytes = 64 * 1024;

  std::string url;
  Ref<FolderItem> file;
  std::string path;
  DownloadTarget target;
  std::string request;
  std::size_t sent = 0;
  HostLookup lookup;
  std::vector<Endpoint> endpoints;  // the host's addresses, tried in turn
  std::size_t nextEndpoint = 0;
  int fd = -1;
  QSocketNotifier* reader = nullptr;
  QSocketNotifier* writer = nullptr;
  QTimer* connectTimer = nullptr;
  QTimer* idleTimer = nullptr;
  QTimer* deadlineTimer = nullptr;

  bool established = false;
  bool ended = false;     // the connection is over: closed, broken, timed out or silent
  bool finished = false;  // its events are done, or it was dropped
  std::int32_t failure = 0;  // why a connection that never came about ended

  HttpResponseParser response;
  std::int64_t received = 0;
  char buffer[kPieceBytes];

  ~Transfer() { Shut(); }

  // Ends the connection and any lookup without further signals.
  void Shut();
  void CloseSocket();
  // Reading resumes once the connection is up and no handler holds the data up.
  void Listen();
  // Sends what is left of the request. A send that fails is left to the reading side, which
  // still gets what the server said before it closed.
  void Send();
  // One piece of what has arrived; empty when nothing is waiting or the connection is over.
  std::string Receive();
  // The outcome of a connect() under way; 0 once it succeeded.
  int SocketError() const;
  bool HasPendingBytes() const;
};

}  // namespace fw
