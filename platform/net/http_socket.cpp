#include "platform/net/http_socket.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

#include "platform/net/error_codes.h"
#include "platform/net/http_transfer.h"
#include "platform/ui/pane_child.h"

namespace fw {

namespace {

// Bytes read in one pass before the loop gets its turn; the rest waits in the kernel, where TCP
// flow control slows the server down.
constexpr std::size_t kPassBytes = 256 * 1024;

}  // namespace

const ClassRecord& HTTPSocket::ClassHandle() {
  if (auto* c = FindClass("HTTPSocket")) return *c;
  using S = HTTPSocket;
  const std::string n = "HTTPSocket.";
  return ClassBuilder("HTTPSocket", nullptr)
      .Allocator([] { return new S; })
      .Add("Constructor", {}, "", [](Object&, std::span<const fw::Value>) -> fw::Value {
        return {};
      })
      .Add("Connect", {}, "", Unsupported(n + "Connect"))
      .Add("Listen", {}, "", Unsupported(n + "Listen"))
      .Add("Close", {}, "", Method<&S::Close>())
      .Add("Disconnect", {}, "", Method<&S::Close>())
      .Add("Poll", {}, "", [](Object&, std::span<const fw::Value>) -> fw::Value {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return {};
      })
      .Add("Purge", {}, "", Unsupported(n + "Purge"))
      .Add("Read", {"Int32"}, "String", Unsupported(n + "Read"))
      .Add("ReadAll", {}, "String", Unsupported(n + "ReadAll"))
      .Add("Write", {"String"}, "", Unsupported(n + "Write"))
      .Add("Lookahead", {}, "String", Unsupported(n + "Lookahead"))
      .Add("Flush", {}, "", Unsupported(n + "Flush"))
      .Add("IsConnected", {}, "Boolean", Method<&S::IsConnected>())
      .Add("Get", {"String", "FolderItem"}, "", Method<&S::Get>())
      .Add("Get", {"String", "Int32"}, "String", Unsupported(n + "Get"))
      .Add("Post", {"String", "FolderItem"}, "", Unsupported(n + "Post"))
      .Add("Post", {"String", "Int32"}, "String", Unsupported(n + "Post"))
      .Add("GetHeaders", {"String"}, "", Unsupported(n + "GetHeaders"))
      .Add("SetRequestHeader", {"String", "String"}, "", Method<&S::SetRequestHeader>())
      .Add("ClearRequestHeaders", {}, "", Method<&S::ClearRequestHeaders>())
      .Add("SetRequestContent", {"String", "String"}, "", Unsupported(n + "SetRequestContent"))
      .Add("PageHeaders", {}, "InternetHeaders", Method<&S::PageHeaders>())
      .Property(DeclareProperty<&S::Address, &S::SetAddress>("Address", PropertyType::String))
      .Property(DeclareProperty<&S::Port, &S::SetPort>("Port", PropertyType::Int32))
      .Property(DeclareProperty<&S::yield, &S::SetYield>("yield", PropertyType::Boolean))
      .Property(DeclareProperty<&S::LastErrorCode, &S::SetLastErrorCode>("LastErrorCode",
                                                                         PropertyType::Int32))
      .Interface("Readable")
      .Interface("Writeable")
      .Interface("_SOAPSocket")
      .Register();
}

HTTPSocket::HTTPSocket()
    : context_(std::make_unique<QObject>()), requestHeaders_(MakeRef<InternetHeaders>()) {}

HTTPSocket::~HTTPSocket() {
  if (transfer_) Drop(transfer_, FileFate::Remove);
  // Possibly inside a queued call delivered to the context; let Qt delete it afterwards.
  context_.release()->deleteLater();
}

void HTTPSocket::SetLastErrorCode(std::int32_t) {
  throw UnsupportedOperationException("HTTPSocket.LastErrorCode is read-only");
}

void HTTPSocket::SetTimeouts(int connectMs, int idleMs) {
  connectTimeoutMs_ = std::max(connectMs, 1);
  idleTimeoutMs_ = std::max(idleMs, 1);
}

void HTTPSocket::SetDeadline(int ms) { deadlineMs_ = std::max(ms, 1); }

void HTTPSocket::SetRequestHeader(const std::string& name, const std::string& value) {
  // A line break would end the header early and let the rest pass as headers of its own.
  if (name.empty() || name.find_first_of("\r\n:") != std::string::npos ||
      value.find_first_of("\r\n") != std::string::npos)
    throw RuntimeException("HTTPSocket.SetRequestHeader: not a valid header: " + name);
  requestHeaders_->SetHeader(name, value);
}

void HTTPSocket::ClearRequestHeaders() { requestHeaders_->DeleteAllHeaders(); }

bool HTTPSocket::IsConnected() const {
  return transfer_ && transfer_->established && !transfer_->ended;
}

Ref<Object> HTTPSocket::EventTarget() { return PaneChildWindow(*this); }

void HTTPSocket::RaiseError(std::int32_t code) {
  lastErrorCode_ = code;
  RaiseEvent("Error", {code});
}

void HTTPSocket::Close() {
  if (transfer_) Drop(transfer_, FileFate::Remove);
}

void HTTPSocket::Get(const std::string& url, const Ref<FolderItem>& file) {
  if (!file) throw NilObjectException("HTTPSocket.Get was given no file");
  // The earlier download goes first: the new one may well use the same file.
  if (transfer_) Drop(transfer_, FileFate::Keep);
  lastErrorCode_ = 0;
  pageHeaders_ = nullptr;
  contentLength_ = bytesReceived_ = 0;

  auto t = std::make_shared<Transfer>();
  t->url = url;
  t->file = file;
  t->path = file->AbsolutePath();
  if (!t->target.Open(t->path)) {
    RaiseError(http_error::kFileNotPrepared);
    return;
  }

  const HttpAddress address = ParseHttpAddress(url);
  address_ = address.host;
  port_ = address.port;
  transfer_ = t;
  if (address.error) {
    GiveUp(*t, address.error);
    return;
  }
  t->request = RequestText(address);
  Connect(t, address);
}

std::string HTTPSocket::RequestText(const HttpAddress& address) const {
  InternetHeaders headers;
  headers.AppendHeader("Host", address.hostHeader);
  headers.AppendHeader("Accept", "*/*");
  headers.AppendHeader("Accept-Language", "en");
  for (std::int32_t i = 0; i < requestHeaders_->Count(); ++i)
    headers.SetHeader(requestHeaders_->Name(i), requestHeaders_->Value(i));
  return "GET " + address.path + " HTTP/1.0\r\n" + headers.Source() + "\r\n";
}

void HTTPSocket::Connect(const std::shared_ptr<Transfer>& t, const HttpAddress& address) {
  Transfer* raw = t.get();
  raw->connectTimer = new QTimer;
  raw->connectTimer->setSingleShot(true);
  raw->idleTimer = new QTimer;
  raw->idleTimer->setSingleShot(true);
  raw->deadlineTimer = new QTimer;
  raw->deadlineTimer->setSingleShot(true);

  // The connections live as long as the timers; Transfer::Shut cuts them.
  QObject::connect(raw->connectTimer, &QTimer::timeout, [this, raw] {
    if (!raw->established) GiveUp(*raw, http_error::kTimedOut);
  });
  QObject::connect(raw->idleTimer, &QTimer::timeout, [this, raw] {
    // Silence while our own handler holds the data up (a modal dialog, say) is not the server's.
    if (pumping_ || raw->HasPendingBytes()) {
      raw->idleTimer->start(idleTimeoutMs_);
      return;
    }
    raw->ended = true;
    Pump();
  });
  // A server that trickles its answer never falls silent for long; this ends it anyway, as if
  // the connection broke.
  QObject::connect(raw->deadlineTimer, &QTimer::timeout, [this, raw] {
    if (!raw->established) {
      GiveUp(*raw, http_error::kTimedOut);
      return;
    }
    raw->ended = true;
    Pump();
  });

  // The timeouts cover the name lookup as well.
  raw->connectTimer->start(connectTimeoutMs_);
  raw->deadlineTimer->start(deadlineMs_);
  Resolve(t, address);
}

// A literal address needs no lookup. A name's lookup blocks, so it runs away from the loop and
// its answer comes back through the loop, to be ignored if the download is gone by then.
void HTTPSocket::Resolve(const std::shared_ptr<Transfer>& t, const HttpAddress& address) {
  t->endpoints = NumericAddresses(address.host, address.port);
  if (!t->endpoints.empty()) {
    ConnectNext(*t, 0);
    return;
  }
  auto answer = [this, alive = std::weak_ptr<int>(lifetime_), weak = std::weak_ptr<Transfer>(t),
                 port = address.port](const std::vector<std::string>& found) {
    const auto current = weak.lock();
    if (!alive.lock() || !current || current->finished) return;
    current->lookup.Cancel();
    for (const auto& host : found)
      for (const Endpoint& e : NumericAddresses(host, port)) current->endpoints.push_back(e);
    if (current->endpoints.empty()) {
      GiveUp(*current, http_error::kLookupFailed);
      return;
    }
    ConnectNext(*current, 0);
  };
  if (const int error = t->lookup.Start(address.host, context_.get(), std::move(answer)))
    GiveUp(*t, http_error::FromSystemError(error));
}

// Tries the host's next address; when none is left, the last one's error is the one reported.
void HTTPSocket::ConnectNext(Transfer& t, int error) {
  t.CloseSocket();
  while (t.nextEndpoint < t.endpoints.size()) {
    const Endpoint& e = t.endpoints[t.nextEndpoint++];
    const int fd = ::socket(e.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      error = errno;
      continue;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&e.address), e.length) == 0 ||
        errno == EINPROGRESS || errno == EINTR) {
      Watch(t, fd);
      return;
    }
    error = errno;
    ::close(fd);
  }
  GiveUp(t, http_error::FromSystemError(error));
}

void HTTPSocket::Watch(Transfer& t, int fd) {
  t.fd = fd;
  t.reader = new QSocketNotifier(fd, QSocketNotifier::Read);
  t.reader->setEnabled(false);  // until the connection is up
  t.writer = new QSocketNotifier(fd, QSocketNotifier::Write);
  Transfer* raw = &t;
  // The connections live as long as the notifiers; Transfer::CloseSocket cuts them.
  QObject::connect(t.reader, &QSocketNotifier::activated, [this, raw] {
    // The notifier is level-triggered: while a handler holds the data up it would fire on every
    // pass of that handler's loop. Pump turns it back on when the handler is done.
    if (pumping_) raw->reader->setEnabled(false);
    Pump();
  });
  QObject::connect(t.writer, &QSocketNotifier::activated, [this, raw] { Writable(*raw); });
}

// The first time, the outcome of connect(); after that, room for more of the request.
void HTTPSocket::Writable(Transfer& t) {
  if (!t.established) {
    if (const int error = t.SocketError()) {
      ConnectNext(t, error);
      return;
    }
    t.established = true;
    t.connectTimer->stop();
    t.idleTimer->start(idleTimeoutMs_);
    if (!pumping_) t.Listen();
  }
  t.Send();
}

// Ends a connection that never came about; the error is raised from the loop, never from
// within Get or a handler.
void HTTPSocket::GiveUp(Transfer& t, std::int32_t code) {
  t.Shut();
  t.ended = true;
  t.failure = code;
  QMetaObject::invokeMethod(
      context_.get(),
      [this, alive = std::weak_ptr<int>(lifetime_)] {
        if (alive.lock()) Pump();
      },
      Qt::QueuedConnection);
}

// Handles whatever the connection has brought. Signals that arrive while a handler runs (a
// modal dialog's loop, say) only ask for another pass, so events never nest.
void HTTPSocket::Pump() {
  if (pumping_) {
    pumpAgain_ = true;
    return;
  }
  // A handler may drop the last reference to this socket; keep it until the pass is over.
  Ref<HTTPSocket> keep(References() > 0 ? this : nullptr);
  pumping_ = true;
  do {
    pumpAgain_ = false;
    if (auto t = transfer_) Step(t);
  } while (pumpAgain_);
  pumping_ = false;
  if (transfer_) transfer_->Listen();
}

void HTTPSocket::Step(const std::shared_ptr<Transfer>& t) {
  if (t->finished) return;
  if (!t->established) {
    if (t->ended) Fail(t, t->failure ? t->failure : http_error::kOtherSocketError);
    return;
  }
  for (std::size_t taken = 0; !t->ended && taken < kPassBytes;) {
    const std::string piece = t->Receive();
    if (piece.empty()) break;
    t->idleTimer->start(idleTimeoutMs_);
    taken += piece.size();
    Consume(t, piece);
    if (t->finished) return;
  }
  if (t->ended) Complete(t);
}

void HTTPSocket::Consume(const std::shared_ptr<Transfer>& t, const std::string& data) {
  if (t->response.HeadDone()) {
    WriteBody(t, data);
    return;
  }
  std::string body;
  if (!t->response.Feed(data, body)) {
    // End it rather than hold it all in memory.
    if (t->response.Overflowed()) Complete(t);
    return;
  }
  pageHeaders_ = t->response.Headers();
  WriteBody(t, body);
}

void HTTPSocket::WriteBody(const std::shared_ptr<Transfer>& t, const std::string& piece) {
  if (!t->target.Store(piece)) {
    // Reporting a download whose data was lost as complete would pass a broken file on. The
    // piece that went in only in part is counted by no ReceiveProgress.
    Fail(t, http_error::kFileWriteFailed);
    return;
  }
  t->received += static_cast<std::int64_t>(piece.size());
  RaiseEvent("ReceiveProgress", {ClampToInt32(t->received), ClampToInt32(t->response.ContentLength()), piece});
}

void HTTPSocket::Complete(const std::shared_ptr<Transfer>& t) {
  t->finished = true;
  t->Shut();
  const bool stored = t->target.Close();
  t->target.Settle(stored ? FileFate::Keep : FileFate::RemoveIfNewAndEmpty);
  if (transfer_ == t) transfer_.reset();
  if (!stored) {
    RaiseError(http_error::kFileWriteFailed);
    return;
  }
  contentLength_ = t->response.ContentLength();
  bytesReceived_ = t->received;
  RaiseEvent("DownloadComplete", {t->url, t->response.Status(),
                                  Ref<Object>(t->response.Headers().Get()),
                                  Ref<Object>(t->file.Get())});
}

void HTTPSocket::Fail(const std::shared_ptr<Transfer>& t, std::int32_t code) {
  Drop(t, FileFate::RemoveIfNewAndEmpty);
  RaiseError(code);
}

void HTTPSocket::Drop(const std::shared_ptr<Transfer>& t, FileFate fate) {
  t->finished = true;
  t->Shut();
  t->target.Settle(fate);
  if (transfer_ == t) transfer_.reset();
}

}  // namespace fw
