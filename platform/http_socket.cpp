#include "platform/http_socket.h"

#include <QByteArray>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "platform/classes.h"
#include "platform/pane_child.h"
#include "platform/text.h"

namespace fw {

namespace {

// A header block larger than this is not a header block.
constexpr qsizetype kMaxHeaderBytes = 1 << 20;

struct Target {
  std::string host;
  quint16 port = 80;
  std::string hostHeader;
  std::string path;
  bool valid = true;
};

Target ParseAddress(const std::string& url) {
  Target t;
  std::string rest = url;
  if (auto scheme = rest.find("://"); scheme != std::string::npos) rest = rest.substr(scheme + 3);
  const auto slash = rest.find('/');
  const std::string hostPort = rest.substr(0, slash);
  t.path = slash == std::string::npos ? "/" : rest.substr(slash);
  t.hostHeader = hostPort;
  const auto colon = hostPort.find(':');
  t.host = hostPort.substr(0, colon);
  if (colon != std::string::npos) {
    const double port = Val(hostPort.substr(colon + 1));
    t.valid = port >= 1 && port <= 65535;
    t.port = t.valid ? static_cast<quint16>(port) : 0;
  }
  t.valid = t.valid && !t.host.empty();
  return t;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  std::size_t b = 0;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
  return s.substr(b);
}

}  // namespace

struct HTTPSocket::Transfer {
  std::string url;
  Ref<FolderItem> item;
  QFile file;
  std::unique_ptr<QTcpSocket, void (*)(QTcpSocket*)> socket{nullptr, [](QTcpSocket* s) {
                                                                // Never delete a socket inside its own signal.
                                                                s->disconnect();
                                                                s->abort();
                                                                s->deleteLater();
                                                              }};
  QTimer connectTimer, idleTimer;
  bool connected = false;
  bool headersDone = false;
  QByteArray head;
  std::int32_t status = 0;
  Ref<InternetHeaders> headers;
  std::int64_t received = 0;
  std::int32_t total = 0;
};

std::string InternetHeaders::Name(std::int32_t index) const {
  if (index < 0 || index >= Count()) throw OutOfBoundsException("no header " + std::to_string(index));
  return entries_[static_cast<std::size_t>(index)].first;
}

std::string InternetHeaders::Value(std::int32_t index) const {
  if (index < 0 || index >= Count()) throw OutOfBoundsException("no header " + std::to_string(index));
  return entries_[static_cast<std::size_t>(index)].second;
}

std::string InternetHeaders::Value(const std::string& name) const {
  for (const auto& [n, v] : entries_)
    if (TextEquals(n, name)) return v;
  return {};
}

HTTPSocket::HTTPSocket() = default;
HTTPSocket::~HTTPSocket() = default;

Ref<Object> HTTPSocket::EventTarget() { return PaneChildWindow(*this); }

std::unique_ptr<HTTPSocket::Transfer> HTTPSocket::Detach() {
  auto t = std::move(transfer_);
  if (t) {
    t->connectTimer.stop();
    t->idleTimer.stop();
    t->file.close();
  }
  return t;
}

void HTTPSocket::Close() { Detach(); }

void HTTPSocket::Get(const std::string& url, const Ref<FolderItem>& file) {
  Close();
  if (!file) throw NilObjectException("no file to download into");
  auto t = std::make_unique<Transfer>();
  t->url = url;
  t->item = file;
  t->file.setFileName(QString::fromStdString(file->AbsolutePath()));
  if (file->Directory() || !t->file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    Ref<Object> keep(this);
    RaiseEvent("Error", {kFileError});
    return;
  }
  const Target target = ParseAddress(url);
  t->socket.reset(new QTcpSocket);
  QTcpSocket* s = t->socket.get();
  QObject::connect(s, &QTcpSocket::connected, [this] { OnConnected(); });
  QObject::connect(s, &QTcpSocket::readyRead, [this] { OnReadable(); });
  QObject::connect(s, &QTcpSocket::disconnected, [this] { Complete(); });
  QObject::connect(s, &QTcpSocket::errorOccurred, [this](QAbstractSocket::SocketError e) { OnFailed(e); });
  t->connectTimer.setSingleShot(true);
  QObject::connect(&t->connectTimer, &QTimer::timeout, [this] { Fail(kSocketErrorBase + QAbstractSocket::SocketTimeoutError); });
  t->idleTimer.setSingleShot(true);
  QObject::connect(&t->idleTimer, &QTimer::timeout, [this] { Complete(); });
  const QByteArray request = "GET " + QByteArray::fromStdString(target.path) + " HTTP/1.0\r\nHost: " +
                             QByteArray::fromStdString(target.hostHeader) +
                             "\r\nAccept: */*\r\nAccept-Language: en\r\n\r\n";
  s->setProperty("request", request);
  transfer_ = std::move(t);
  if (!target.valid) {
    // Reported from the loop, as every connection failure is.
    QTimer::singleShot(0, s, [this] { Fail(kSocketErrorBase + QAbstractSocket::HostNotFoundError); });
    return;
  }
  transfer_->connectTimer.start(connectTimeoutMs_);
  s->connectToHost(QString::fromStdString(target.host), target.port);
}

void HTTPSocket::OnConnected() {
  if (!transfer_) return;
  transfer_->connected = true;
  transfer_->connectTimer.stop();
  transfer_->idleTimer.start(idleTimeoutMs_);
  transfer_->socket->write(transfer_->socket->property("request").toByteArray());
}

void HTTPSocket::OnReadable() {
  if (!transfer_) return;
  Transfer* t = transfer_.get();
  t->idleTimer.start(idleTimeoutMs_);
  QByteArray piece = t->socket->readAll();
  if (!t->headersDone) {
    t->head += piece;
    qsizetype end = t->head.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    const qsizetype lf = t->head.indexOf("\n\n");
    if (lf >= 0 && (end < 0 || lf < end)) end = lf, skip = 2;
    if (end < 0) {
      if (t->head.size() > kMaxHeaderBytes) Complete();
      return;
    }
    const QList<QByteArray> lines = t->head.left(end).split('\n');
    piece = t->head.mid(end + skip);
    t->head.clear();
    t->headersDone = true;
    const std::string first = Trim(lines.value(0).toStdString());
    if (auto blank = first.find(' '); blank != std::string::npos)
      t->status = ToInt32(Val(first.substr(blank + 1)));
    t->headers = MakeRef<InternetHeaders>();
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const std::string line = lines[i].toStdString();
      const auto colon = line.find(':');
      if (colon == std::string::npos) continue;
      t->headers->Append(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    const std::string length = t->headers->Value("Content-length");
    t->total = length.empty() ? 0 : ToInt32(std::max(0.0, Val(length)));
  }
  if (!piece.isEmpty() && t->file.write(piece) != piece.size()) {
    // The disk refused the data: end the download with what the file holds.
    Complete();
    return;
  }
  t->received += piece.size();
  const auto received = static_cast<std::int32_t>(
      std::min<std::int64_t>(t->received, std::numeric_limits<std::int32_t>::max()));
  Ref<Object> keep(this);
  RaiseEvent("ReceiveProgress", {received, t->total, piece.toStdString()});
}

void HTTPSocket::OnFailed(QAbstractSocket::SocketError error) {
  if (!transfer_) return;
  if (transfer_->connected) {
    Complete();  // a connection that breaks after it was established still completes
    return;
  }
  Fail(kSocketErrorBase + static_cast<std::int32_t>(error));
}

void HTTPSocket::Fail(std::int32_t code) {
  auto t = Detach();
  if (!t) return;
  lastError_ = code;
  Ref<Object> keep(this);
  RaiseEvent("Error", {code});
}

void HTTPSocket::Complete() {
  if (!transfer_) return;
  if (!transfer_->connected) return Fail(kSocketErrorBase + QAbstractSocket::RemoteHostClosedError);
  if (transfer_->socket && transfer_->socket->bytesAvailable() > 0) OnReadable();
  auto t = Detach();
  if (!t) return;
  t->file.flush();
  t->file.close();
  Ref<Object> keep(this);
  RaiseEvent("DownloadComplete", {t->url, t->headersDone ? t->status : 0,
                                  ToValue(t->headersDone ? t->headers : Ref<InternetHeaders>()),
                                  ToValue(t->item)});
}

const ClassRecord& InternetHeaders::ClassHandle() {
  if (auto* c = FindClass("InternetHeaders")) return *c;
  return ClassBuilder("InternetHeaders", nullptr)
      .Scope("Public")
      .Allocator([] { return new InternetHeaders; })
      .Register();
}

const ClassRecord& HTTPSocket::ClassHandle() {
  if (auto* c = FindClass("HTTPSocket")) return *c;
  const std::string n = "HTTPSocket.";
  ClassBuilder b("HTTPSocket", nullptr);
  b.Scope("Public").Allocator([] { return new HTTPSocket; });
  b.Add("Connect", {}, "", Unsupported(n + "Connect"))
      .Add("Close", {}, "", Method<&HTTPSocket::Close>())
      .Add("Disconnect", {}, "", Method<&HTTPSocket::Close>())
      .Add("Listen", {}, "", Unsupported(n + "Listen"))
      .Add("Poll", {}, "", Unsupported(n + "Poll"))
      .Add("Purge", {}, "", Unsupported(n + "Purge"))
      .Add("Read", {"Int32"}, "String", Unsupported(n + "Read"))
      .Add("ReadAll", {}, "String", Unsupported(n + "ReadAll"))
      .Add("Write", {"String"}, "", Unsupported(n + "Write"))
      .Add("Lookahead", {}, "String", Unsupported(n + "Lookahead"))
      .Add("Flush", {}, "", Unsupported(n + "Flush"))
      .Add("Constructor", {}, "", Method<&HTTPSocket::Constructor>())
      .Add("Get", {"String", "FolderItem"}, "", Method<&HTTPSocket::Get>())
      .Add("Post", {"String", "FolderItem"}, "", Unsupported(n + "Post"))
      .Add("GetHeaders", {"String"}, "", Unsupported(n + "GetHeaders"))
      .Add("SetRequestHeader", {"String", "String"}, "", Unsupported(n + "SetRequestHeader"))
      .Add("ClearRequestHeaders", {}, "", Unsupported(n + "ClearRequestHeaders"))
      .Add("SetRequestContent", {"String", "String"}, "", Unsupported(n + "SetRequestContent"))
      .Add("PageHeaders", {}, "InternetHeaders", Unsupported(n + "PageHeaders"))
      .Interface("Readable")
      .Interface("Writeable")
      .Interface("SOAPSocket")
      .Property(DeclareProperty<&HTTPSocket::Address, &HTTPSocket::SetAddress>("Address", PropertyType::String))
      .Property(DeclareProperty<&HTTPSocket::Port, &HTTPSocket::SetPort>("Port", PropertyType::Int32))
      .Property(DeclareProperty<&HTTPSocket::yield, &HTTPSocket::Setyield>("yield", PropertyType::Boolean));
  return b.Register();
}

}  // namespace fw
