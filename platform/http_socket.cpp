#include "platform/http_socket.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "platform/pane_child.h"
#include "platform/text.h"

namespace fw {

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Largest body piece handed to one ReceiveProgress.
constexpr qint64 kPieceBytes = 64 * 1024;
// Bytes the socket holds before TCP flow control slows the server down.
constexpr qint64 kReadBufferBytes = 256 * 1024;
// A header block longer than this is no header block.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
// Any socket failure the table does not name (EPROTO).
constexpr std::int32_t kOtherSocketError = 71;

// LastErrorCode of a connection that fails, by socket error; the numbers follow Linux errno so
// that they stay the same whatever the Qt version. HTTPSocket adds 1 (file cannot be
// prepared), 5 (file cannot be written), 22 (unusable address) and 110 (connect took too long).
struct SocketErrorCode {
  QAbstractSocket::SocketError error;
  std::int32_t code;
};
constexpr SocketErrorCode kSocketErrorCodes[] = {
    {QAbstractSocket::ConnectionRefusedError, 111},
    {QAbstractSocket::RemoteHostClosedError, 104},
    {QAbstractSocket::HostNotFoundError, 103},
    {QAbstractSocket::SocketAccessError, 13},
    {QAbstractSocket::SocketResourceError, 24},
    {QAbstractSocket::SocketTimeoutError, 110},
    {QAbstractSocket::NetworkError, 101},
    {QAbstractSocket::AddressInUseError, 98},
    {QAbstractSocket::SocketAddressNotAvailableError, 99},
    {QAbstractSocket::UnsupportedSocketOperationError, 95},
    {QAbstractSocket::ProxyConnectionRefusedError, 111},
    {QAbstractSocket::ProxyNotFoundError, 103},
    {QAbstractSocket::ProxyConnectionTimeoutError, 110},
};

std::int32_t CodeOf(QAbstractSocket::SocketError error) {
  for (const auto& entry : kSocketErrorCodes)
    if (entry.error == error) return entry.code;
  return kOtherSocketError;
}

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, kInt32Max));
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return std::string(s.substr(b, e - b));
}

// The leading decimal digits of the text as a number, saturating; 0 when there are none.
std::int64_t LeadingNumber(std::string_view s) {
  std::int64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    if (n > (std::numeric_limits<std::int64_t>::max() - 9) / 10) return std::numeric_limits<std::int64_t>::max();
    n = n * 10 + (c - '0');
  }
  return n;
}

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

// Where the header block ends: the block's length and where the body starts. The block ends at
// the first empty line, whether lines end in CR LF or in LF alone.
bool FindHeaderEnd(const std::string& head, std::size_t& blockLength, std::size_t& bodyStart) {
  for (std::size_t i = head.find('\n'); i != std::string::npos; i = head.find('\n', i + 1)) {
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
  return false;
}

// The number after the first blank of the status line; 0 when there is none.
std::int32_t StatusOf(std::string_view statusLine) {
  const auto blank = statusLine.find(' ');
  if (blank == std::string_view::npos) return 0;
  return ClampToInt32(LeadingNumber(statusLine.substr(blank + 1)));
}

}  // namespace

// ---- InternetHeaders ----

const ClassRecord& InternetHeaders::ClassHandle() {
  if (auto* c = FindClass("InternetHeaders")) return *c;
  using H = InternetHeaders;
  return ClassBuilder("InternetHeaders", nullptr)
      .Allocator([] { return new H; })
      .Add("AppendHeader", {"String", "String"}, "", Method<&H::AppendHeader>())
      .Add("SetHeader", {"String", "String"}, "", Method<&H::SetHeader>())
      .Add("DeleteHeader", {"String"}, "", Method<&H::DeleteHeader>())
      .Add("DeleteAllHeaders", {}, "", Method<&H::DeleteAllHeaders>())
      .Add("Count", {}, "Int32", Method<&H::Count>())
      .Add("Name", {"Int32"}, "String", Method<&H::Name>())
      .Add("Value", {"String"}, "String",
           Method<static_cast<std::string (H::*)(const std::string&) const>(&H::Value)>())
      .Add("Value", {"Int32"}, "String",
           Method<static_cast<std::string (H::*)(std::int32_t) const>(&H::Value)>())
      .Add("Source", {}, "String", Method<&H::Source>())
      .Register();
}

void InternetHeaders::AppendHeader(const std::string& name, const std::string& value) {
  headers_.emplace_back(name, value);
}

void InternetHeaders::SetHeader(const std::string& name, const std::string& value) {
  auto first = std::find_if(headers_.begin(), headers_.end(),
                            [&](const auto& h) { return TextEquals(h.first, name); });
  if (first == headers_.end()) {
    AppendHeader(name, value);
    return;
  }
  first->second = value;
  headers_.erase(std::remove_if(first + 1, headers_.end(),
                                [&](const auto& h) { return TextEquals(h.first, name); }),
                 headers_.end());
}

void InternetHeaders::DeleteHeader(const std::string& name) {
  headers_.erase(std::remove_if(headers_.begin(), headers_.end(),
                                [&](const auto& h) { return TextEquals(h.first, name); }),
                 headers_.end());
}

void InternetHeaders::DeleteAllHeaders() { headers_.clear(); }

std::int32_t InternetHeaders::Count() const { return static_cast<std::int32_t>(headers_.size()); }

std::string InternetHeaders::Name(std::int32_t index) const {
  if (index < 0 || index >= Count())
    throw OutOfBoundsException("no header " + std::to_string(index));
  return headers_[static_cast<std::size_t>(index)].first;
}

std::string InternetHeaders::Value(std::int32_t index) const {
  if (index < 0 || index >= Count())
    throw OutOfBoundsException("no header " + std::to_string(index));
  return headers_[static_cast<std::size_t>(index)].second;
}

std::string InternetHeaders::Value(const std::string& name) const {
  for (const auto& [n, v] : headers_)
    if (TextEquals(n, name)) return v;
  return {};
}

std::string InternetHeaders::Source() const {
  std::string text;
  for (const auto& [n, v] : headers_) text += n + ": " + v + "\r\n";
  return text;
}

Ref<InternetHeaders> InternetHeaders::Parse(const std::string& lines) {
  auto headers = MakeRef<InternetHeaders>();
  for (const auto& raw : Split(lines, "\n")) {
    const std::string line = raw.size() && raw.back() == '\r' ? raw.substr(0, raw.size() - 1) : raw;
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !headers->headers_.empty()) {
      headers->headers_.back().second += " " + Trim(line);
      continue;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = Trim(std::string_view(line).substr(0, colon));
    if (!name.empty()) headers->AppendHeader(name, Trim(std::string_view(line).substr(colon + 1)));
  }
  return headers;
}

// ---- addresses ----

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

  if (a.host.empty() || HasControlBytes(hostPort)) a.error = HTTPSocket::kBadAddress;
  if (!portText.empty()) {
    const bool digits = std::all_of(portText.begin(), portText.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    const std::int64_t port = digits ? LeadingNumber(portText) : 0;
    if (port < 1 || port > 65535)
      a.error = HTTPSocket::kBadAddress;
    else
      a.port = static_cast<std::uint16_t>(port);
  }
  return a;
}

// ---- HTTPSocket ----

// One download: its file, its connection and how far the response has come.
struct HTTPSocket::Transfer {
  std::string url;
  Ref<FolderItem> file;
  QFile out;
  std::string request;
  QTcpSocket* socket = nullptr;
  QTimer* connectTimer = nullptr;
  QTimer* idleTimer = nullptr;

  bool established = false;
  bool ended = false;     // the connection is over: closed, broken, timed out or silent
  bool finished = false;  // its events are done, or it was dropped
  bool connectTimedOut = false;
  bool hasSocketError = false;
  QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
  std::int32_t addressError = 0;

  bool headerDone = false;
  std::string head;
  std::int32_t status = 0;
  std::int64_t total = 0;
  std::int64_t received = 0;
  Ref<InternetHeaders> headers;

  ~Transfer() { Shut(); }

  // Ends the connection without further signals. Deletion is deferred: this may run inside one
  // of the socket's own signals.
  void Shut() {
    for (QObject* o : {static_cast<QObject*>(socket), static_cast<QObject*>(connectTimer),
                       static_cast<QObject*>(idleTimer)}) {
      if (!o) continue;
      o->disconnect();
      o->deleteLater();
    }
    if (socket) socket->abort();
    if (connectTimer) connectTimer->stop();
    if (idleTimer) idleTimer->stop();
    socket = nullptr;
    connectTimer = idleTimer = nullptr;
  }

  // Flushes and closes the file; false when what arrived could not all be stored.
  bool CloseFile() {
    if (!out.isOpen()) return true;
    const bool flushed = out.flush();
    out.close();
    return flushed && out.error() == QFileDevice::NoError;
  }
};

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
      .Interface("SOAPSocket")
      .Register();
}

HTTPSocket::HTTPSocket()
    : context_(std::make_unique<QObject>()), requestHeaders_(MakeRef<InternetHeaders>()) {}

HTTPSocket::~HTTPSocket() {
  if (transfer_) Drop(transfer_);
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
  if (transfer_) Drop(transfer_);
}

void HTTPSocket::Get(const std::string& url, const Ref<FolderItem>& file) {
  if (!file) throw NilObjectException("HTTPSocket.Get was given no file");
  // The earlier download goes first: the new one may well use the same file.
  if (transfer_) Drop(transfer_);
  lastErrorCode_ = 0;
  pageHeaders_ = nullptr;

  auto t = std::make_shared<Transfer>();
  t->url = url;
  t->file = file;
  const QString path = QString::fromStdString(file->AbsolutePath());
  t->out.setFileName(path);
  if (path.isEmpty() || QFileInfo(path).isDir() ||
      !t->out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    RaiseError(kFileNotPrepared);
    return;
  }

  const HttpAddress address = ParseHttpAddress(url);
  address_ = address.host;
  port_ = address.port;
  transfer_ = t;
  if (address.error) {
    // Reported from the loop like any other failure to connect.
    t->addressError = address.error;
    t->ended = true;
    QMetaObject::invokeMethod(
        context_.get(),
        [this, alive = std::weak_ptr<int>(lifetime_)] {
          if (alive.lock()) Pump();
        },
        Qt::QueuedConnection);
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
  raw->socket = new QTcpSocket;
  raw->socket->setReadBufferSize(kReadBufferBytes);
  raw->connectTimer = new QTimer;
  raw->connectTimer->setSingleShot(true);
  raw->idleTimer = new QTimer;
  raw->idleTimer->setSingleShot(true);

  // The connections live as long as the socket's QObjects; Transfer::Shut cuts them.
  QObject::connect(raw->socket, &QTcpSocket::connected, [this, raw] {
    raw->established = true;
    raw->connectTimer->stop();
    raw->socket->write(raw->request.data(), static_cast<qint64>(raw->request.size()));
    raw->idleTimer->start(idleTimeoutMs_);
  });
  QObject::connect(raw->socket, &QTcpSocket::readyRead, [this, raw] {
    raw->idleTimer->start(idleTimeoutMs_);
    Pump();
  });
  QObject::connect(raw->socket, &QTcpSocket::errorOccurred,
                   [this, raw](QAbstractSocket::SocketError error) {
                     if (!raw->ended) {
                       raw->hasSocketError = true;
                       raw->socketError = error;
                     }
                     raw->ended = true;
                     Pump();
                   });
  QObject::connect(raw->socket, &QTcpSocket::disconnected, [this, raw] {
    raw->ended = true;
    Pump();
  });
  QObject::connect(raw->connectTimer, &QTimer::timeout, [this, raw] {
    if (raw->established) return;
    raw->connectTimedOut = true;
    raw->ended = true;
    Pump();
  });
  QObject::connect(raw->idleTimer, &QTimer::timeout, [this, raw] {
    // Silence while our own handler holds the data up (a modal dialog, say) is not the server's.
    if (pumping_ || raw->socket->bytesAvailable() > 0) {
      raw->idleTimer->start(idleTimeoutMs_);
      return;
    }
    raw->ended = true;
    Pump();
  });

  raw->connectTimer->start(connectTimeoutMs_);
  raw->socket->connectToHost(QString::fromStdString(address.host), address.port);
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
}

void HTTPSocket::Step(const std::shared_ptr<Transfer>& t) {
  if (t->finished) return;
  if (!t->established) {
    if (!t->ended) return;
    std::int32_t code = kOtherSocketError;
    if (t->addressError)
      code = t->addressError;
    else if (t->connectTimedOut)
      code = kTimedOut;
    else if (t->hasSocketError)
      code = CodeOf(t->socketError);
    Fail(t, code);
    return;
  }
  while (t->socket && t->socket->bytesAvailable() > 0) {
    const QByteArray piece = t->socket->read(kPieceBytes);
    Consume(t, std::string(piece.constData(), static_cast<std::size_t>(piece.size())));
    if (t->finished) return;
  }
  if (t->ended) Complete(t);
}

void HTTPSocket::Consume(const std::shared_ptr<Transfer>& t, const std::string& data) {
  if (t->headerDone) {
    WriteBody(t, data);
    return;
  }
  t->head += data;
  std::size_t blockLength = 0, bodyStart = 0;
  if (!FindHeaderEnd(t->head, blockLength, bodyStart)) {
    // Whatever this is, it is no HTTP response; end it rather than hold it all in memory.
    if (t->head.size() > kMaxHeaderBytes) Complete(t);
    return;
  }
  const std::string block = t->head.substr(0, blockLength);
  const std::string body = t->head.substr(bodyStart);
  t->head.clear();
  t->headerDone = true;
  const auto lineEnd = block.find('\n');
  t->status = StatusOf(Trim(std::string_view(block).substr(0, lineEnd)));
  t->headers = InternetHeaders::Parse(lineEnd == std::string::npos ? "" : block.substr(lineEnd + 1));
  t->total = LeadingNumber(Trim(t->headers->Value("Content-length")));
  pageHeaders_ = t->headers;
  WriteBody(t, body);
}

void HTTPSocket::WriteBody(const std::shared_ptr<Transfer>& t, const std::string& piece) {
  if (!piece.empty() &&
      t->out.write(piece.data(), static_cast<qint64>(piece.size())) !=
          static_cast<qint64>(piece.size())) {
    // Reporting a download whose data was lost as complete would pass a broken file on.
    Fail(t, kFileWriteFailed);
    return;
  }
  t->received += static_cast<std::int64_t>(piece.size());
  RaiseEvent("ReceiveProgress", {ClampToInt32(t->received), ClampToInt32(t->total), piece});
}

void HTTPSocket::Complete(const std::shared_ptr<Transfer>& t) {
  t->finished = true;
  t->Shut();
  const bool stored = t->CloseFile();
  if (transfer_ == t) transfer_.reset();
  if (!stored) {
    RaiseError(kFileWriteFailed);
    return;
  }
  RaiseEvent("DownloadComplete", {t->url, t->status, Ref<Object>(t->headers.Get()),
                                  Ref<Object>(t->file.Get())});
}

void HTTPSocket::Fail(const std::shared_ptr<Transfer>& t, std::int32_t code) {
  Drop(t);
  RaiseError(code);
}

void HTTPSocket::Drop(const std::shared_ptr<Transfer>& t) {
  t->finished = true;
  t->Shut();
  t->CloseFile();
  if (transfer_ == t) transfer_.reset();
}

}  // namespace fw
