#include "platform/net/http_socket.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/net/host_lookup.h"
#include "platform/ui/pane_child.h"
#include "platform/text/text.h"

namespace fw {

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Largest body piece handed to one ReceiveProgress.
constexpr std::size_t kPieceBytes = 64 * 1024;
// Bytes read in one pass before the loop gets its turn; the rest waits in the kernel, where TCP
// flow control slows the server down.
constexpr std::size_t kPassBytes = 256 * 1024;
// A header block longer than this is no header block.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
// A host name that does not resolve.
constexpr std::int32_t kLookupFailed = 103;
// Any socket failure the table does not name (EPROTO).
constexpr std::int32_t kOtherSocketError = 71;

// LastErrorCode of a connection that fails, by errno; the numbers follow Linux errno so that
// they stay the same on every system. HTTPSocket adds 1 (file cannot be prepared), 5 (file
// cannot be written), 22 (unusable address), 103 (name lookup failed) and 110 (no connection
// within the connect timeout or the deadline).
struct SocketErrorCode {
  int error;
  std::int32_t code;
};
constexpr SocketErrorCode kSocketErrorCodes[] = {
    {ECONNREFUSED, 111}, {ECONNRESET, 104},   {EPIPE, 104},      {ENETUNREACH, 101},
    {EHOSTUNREACH, 101}, {ETIMEDOUT, 110},    {EACCES, 13},      {EPERM, 13},
    {EMFILE, 24},        {ENFILE, 24},        {EADDRINUSE, 98},  {EADDRNOTAVAIL, 99},
    {EAFNOSUPPORT, 95},  {EOPNOTSUPP, 95},
};

std::int32_t CodeOf(int error) {
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
// the first empty line, whether lines end in CR LF or in LF alone. The search starts at `from`,
// and when it fails `from` moves to where the next one, with more data, has to start: only the
// last two bytes can begin an end not yet seen. A header trickled in small pieces is thus read
// once, not once per piece.
bool FindHeaderEnd(const std::string& head, std::size_t& from, std::size_t& blockLength,
                   std::size_t& bodyStart) {
  for (std::size_t i = head.find('\n', from); i != std::string::npos; i = head.find('\n', i + 1)) {
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
  from = head.size() > 2 ? head.size() - 2 : 0;
  return false;
}

// The number after the first blank of the status line; 0 when there is none.
std::int32_t StatusOf(std::string_view statusLine) {
  const auto blank = statusLine.find(' ');
  if (blank == std::string_view::npos) return 0;
  return ClampToInt32(LeadingNumber(statusLine.substr(blank + 1)));
}

// One address of the host, ready for connect().
struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
};

// The address of a host given by number, ready for connect(); none when it is a name.
std::vector<Endpoint> NumericAddresses(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  std::vector<Endpoint> endpoints;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return endpoints;
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Endpoint& e = endpoints.emplace_back();
    std::memcpy(&e.address, a->ai_addr, a->ai_addrlen);
    e.length = a->ai_addrlen;
  }
  freeaddrinfo(list);
  return endpoints;
}

// The download's file as Get found and opened it: what it may remove again.
struct Target {
  int fd = -1;
  bool created = false;     // nothing was there before Get
  bool heldBytes = false;   // it held something, which Get emptied
  dev_t device = 0;
  ino_t inode = 0;
};

// Removes the file at the path if it is still the one Get opened and, when asked, still empty.
void RemoveTarget(const std::string& path, dev_t device, ino_t inode, bool onlyIfEmpty) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || info.st_dev != device || info.st_ino != inode) return;
  if (onlyIfEmpty && info.st_size != 0) return;
  ::unlink(path.c_str());
}

// Opens the download's file for writing, emptied; fd -1 when it cannot be, or when something
// other than a regular file sits at the path: nothing waits for a FIFO's reader or writes to a
// device. The open itself cannot block either, should the path change in between.
Target OpenTarget(const std::string& path) {
  Target target;
  struct stat info {};
  const bool existed = !path.empty() && ::stat(path.c_str(), &info) == 0;
  if (path.empty() || (existed && !S_ISREG(info.st_mode))) return target;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return target;
  target.created = !existed;
  // Truncating a file that is already empty would make some file systems (ext4) flush it
  // synchronously on close, holding the loop up for tens of milliseconds after a large download.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      (info.st_size > 0 && ::ftruncate(fd, 0) != 0) || ::fcntl(fd, F_SETFL, 0) != 0) {
    ::close(fd);
    if (target.created && S_ISREG(info.st_mode))
      RemoveTarget(path, info.st_dev, info.st_ino, /*onlyIfEmpty=*/true);
    return target;
  }
  target.fd = fd;
  target.heldBytes = info.st_size > 0;
  target.device = info.st_dev;
  target.inode = info.st_ino;
  return target;
}

// The files of downloads still running, removed should the process end before they do: a
// file cut short must not pass for a finished one. Never destroyed, so that it outlives every
// socket and is still there when the exit hook runs.
class RunningTargets {
 public:
  static RunningTargets& Instance() {
    static RunningTargets* instance = new RunningTargets;
    return *instance;
  }
  void Add(const void* key, const std::string& path, const Target& target) {
    std::lock_guard lock(mutex_);
    if (!hooked_) hooked_ = std::atexit([] { Instance().RemoveAll(); }) == 0;
    entries_[key] = {path, target.device, target.inode, !target.created && !target.heldBytes};
  }
  void Erase(const void* key) {
    std::lock_guard lock(mutex_);
    entries_.erase(key);
  }

 private:
  struct Entry {
    std::string path;
    dev_t device;
    ino_t inode;
    bool wasEmpty;  // an empty file was there already: it goes only if it now holds something
  };
  void RemoveAll() {
    // Another thread may hold the lock as exit runs; the files then stay rather than the exit
    // waiting for ever.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock) return;
    for (const auto& [key, e] : entries_) {
      struct stat info {};
      if (e.wasEmpty && ::lstat(e.path.c_str(), &info) == 0 && info.st_size == 0) continue;
      RemoveTarget(e.path, e.device, e.inode, /*onlyIfEmpty=*/false);
    }
    entries_.clear();
  }
  std::mutex mutex_;
  bool hooked_ = false;
  std::map<const void*, Entry> entries_;
};

int SocketError(int fd) {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

bool HasPendingBytes(int fd) {
  int pending = 0;
  return ioctl(fd, FIONREAD, &pending) == 0 && pending > 0;
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
  std::string path;
  int out = -1;  // the file
  Target target;  // what Get found at the path
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

  bool headerDone = false;
  std::string head;
  std::size_t headSearched = 0;  // where the search for the header block's end goes on
  std::int32_t status = 0;
  std::int64_t total = 0;
  std::int64_t received = 0;
  Ref<InternetHeaders> headers;
  char buffer[kPieceBytes];

  ~Transfer() {
    Shut();
    CloseFile();
    RunningTargets::Instance().Erase(this);
  }

  // Ends the connection and any lookup without further signals.
  void Shut() {
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

  void CloseSocket() {
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

  // Reading resumes once the connection is up and no handler holds the data up.
  void Listen() {
    if (reader && established && !ended) reader->setEnabled(true);
  }

  // Sends what is left of the request. A send that fails is left to the reading side, which
  // still gets what the server said before it closed.
  void Send() {
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

  // One piece of what has arrived; empty when nothing is waiting or the connection is over.
  std::string Receive() {
    for (;;) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) return std::string(buffer, static_cast<std::size_t>(n));
      if (n < 0 && errno == EINTR) continue;
      // A peer that closes or breaks an established connection ends the download, not fails it.
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) ended = true;
      return {};
    }
  }

  // Writes the piece whole, unbuffered, so that what a ReceiveProgress counts is in the file;
  // false when the file cannot take it all (a full disk, say).
  bool Store(const std::string& piece) {
    for (std::size_t done = 0; done < piece.size();) {
      const ssize_t n = ::write(out, piece.data() + done, piece.size() - done);
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else if (n < 0 && errno == EINTR)
        continue;
      else
        return false;
    }
    return true;
  }

  // False when the file could not be closed cleanly.
  bool CloseFile() {
    if (out < 0) return true;
    const bool closed = ::close(out) == 0 || errno == EINTR;
    out = -1;
    return closed;
  }

  // Closes the file and decides what stays of it. A download that failed takes back the file it
  // created, while nothing is in it; one given up before its end takes back whatever it made.
  void SettleFile(FileFate fate) {
    CloseFile();
    RunningTargets::Instance().Erase(this);
    if (target.inode == 0 || fate == FileFate::Keep) return;
    if (fate == FileFate::RemoveIfNewAndEmpty) {
      if (target.created) RemoveTarget(path, target.device, target.inode, /*onlyIfEmpty=*/true);
      return;
    }
    struct stat info {};
    const bool untouched = !target.created && !target.heldBytes &&
                           ::lstat(path.c_str(), &info) == 0 && info.st_size == 0;
    if (!untouched) RemoveTarget(path, target.device, target.inode, /*onlyIfEmpty=*/false);
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
  t->target = OpenTarget(t->path);
  t->out = t->target.fd;
  if (t->out < 0) {
    RaiseError(kFileNotPrepared);
    return;
  }
  RunningTargets::Instance().Add(t.get(), t->path, t->target);

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
    if (!raw->established) GiveUp(*raw, kTimedOut);
  });
  QObject::connect(raw->idleTimer, &QTimer::timeout, [this, raw] {
    // Silence while our own handler holds the data up (a modal dialog, say) is not the server's.
    if (pumping_ || HasPendingBytes(raw->fd)) {
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
      GiveUp(*raw, kTimedOut);
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
      GiveUp(*current, kLookupFailed);
      return;
    }
    ConnectNext(*current, 0);
  };
  if (const int error = t->lookup.Start(address.host, context_.get(), std::move(answer)))
    GiveUp(*t, CodeOf(error));
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
  GiveUp(t, CodeOf(error));
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
    if (const int error = SocketError(t.fd)) {
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
    if (t->ended) Fail(t, t->failure ? t->failure : kOtherSocketError);
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
  if (t->headerDone) {
    WriteBody(t, data);
    return;
  }
  t->head += data;
  std::size_t blockLength = 0, bodyStart = 0;
  if (!FindHeaderEnd(t->head, t->headSearched, blockLength, bodyStart)) {
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
  if (!t->Store(piece)) {
    // Reporting a download whose data was lost as complete would pass a broken file on. The
    // piece that went in only in part is counted by no ReceiveProgress.
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
  t->SettleFile(stored ? FileFate::Keep : FileFate::RemoveIfNewAndEmpty);
  if (transfer_ == t) transfer_.reset();
  if (!stored) {
    RaiseError(kFileWriteFailed);
    return;
  }
  contentLength_ = t->total;
  bytesReceived_ = t->received;
  RaiseEvent("DownloadComplete", {t->url, t->status, Ref<Object>(t->headers.Get()),
                                  Ref<Object>(t->file.Get())});
}

void HTTPSocket::Fail(const std::shared_ptr<Transfer>& t, std::int32_t code) {
  Drop(t, FileFate::RemoveIfNewAndEmpty);
  RaiseError(code);
}

void HTTPSocket::Drop(const std::shared_ptr<Transfer>& t, FileFate fate) {
  t->finished = true;
  t->Shut();
  t->SettleFile(fate);
  if (transfer_ == t) transfer_.reset();
}

}  // namespace fw
