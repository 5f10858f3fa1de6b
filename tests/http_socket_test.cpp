#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <ctime>
#include <functional>
#include <limits>
#include <mutex>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/net/host_lookup.h"
#include "platform/net/http_socket.h"
#include "platform/runtime/runtime.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 4000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

void RunLoopFor(int ms) { WaitFor([] { return false; }, ms); }

std::string ReadFile(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll().toStdString();
}

// Stands in for the window whose handlers the socket runs; keeps every event in order.
struct SocketOwner : fw::Object {
  FW_CLASS_HANDLE()
  struct Piece {
    std::int32_t received, total;
    std::string data;
  };
  std::vector<Piece> progress;
  std::vector<std::int32_t> errors;
  int completions = 0;
  std::string url;
  std::int32_t status = -1;
  fw::Ref<fw::InternetHeaders> headers;
  fw::Ref<fw::FolderItem> file;
  std::string fileAtCompletion;

  std::function<void()> duringProgress;  // what the handler does besides taking note
  int depth = 0, deepest = 0;

  void Progress(std::int32_t received, std::int32_t total, const std::string& data) {
    progress.push_back({received, total, data});
    deepest = std::max(deepest, ++depth);
    if (duringProgress) duringProgress();
    --depth;
  }
  void Failed(std::int32_t code) { errors.push_back(code); }
  void Done(const std::string& u, std::int32_t s, const fw::Ref<fw::InternetHeaders>& h,
            const fw::Ref<fw::FolderItem>& f) {
    ++completions;
    url = u;
    status = s;
    headers = h;
    file = f;
    fileAtCompletion = f ? ReadFile(f->AbsolutePath()) : "";
  }
  std::string Body() const {
    std::string all;
    for (const auto& p : progress) all += p.data;
    return all;
  }
  int Events() const {
    return static_cast<int>(progress.size() + errors.size()) + completions;
  }
};

const fw::ClassRecord& SocketOwner::ClassHandle() {
  if (auto* c = fw::FindClass("SocketOwner")) return *c;
  using O = SocketOwner;
  return fw::ClassBuilder("SocketOwner", nullptr)
      .Allocator([] { return new O; })
      .Add("Progress", {"Int32", "Int32", "String"}, "", fw::Method<&O::Progress>())
      .Add("Failed", {"Int32"}, "", fw::Method<&O::Failed>())
      .Add("Done", {"String", "Int32", "InternetHeaders", "FolderItem"}, "", fw::Method<&O::Done>())
      .Register();
}

fw::Ref<SocketOwner>& Owner() {
  static fw::Ref<SocketOwner> owner;
  return owner;
}

// A socket of a window, as the program's own socket class makes it.
const fw::ClassRecord& WindowSocketClass() {
  if (auto* c = fw::FindClass("TestWindowSocket")) return *c;
  return fw::ClassBuilder("TestWindowSocket", &fw::HTTPSocket::ClassHandle())
      .Add("Window", {}, "Window",
           [](fw::Object&, std::span<const fw::Value>) -> fw::Value {
             return fw::ToValue(Owner());
           })
      .Interface("_PaneChild")
      .Register();
}

// A one-connection web server on 127.0.0.1: reads the request up to its empty line, then
// writes the reply pieces `gapMs` apart (so the client reads them separately) and closes,
// unless told to hold the connection open.
struct TestServer {
  QTcpServer server;
  QByteArray request;
  int connections = 0;
  bool peerGone = false;
  bool resetOnClose = false;  // close with RST rather than FIN

  TestServer(std::vector<QByteArray> pieces, bool close = true, int gapMs = 50,
             const QHostAddress& host = QHostAddress::LocalHost) {
    if (!server.listen(host)) throw std::runtime_error("cannot listen");
    QObject::connect(&server, &QTcpServer::newConnection, [=, this] {
      QTcpSocket* peer = server.nextPendingConnection();
      ++connections;
      QObject::connect(peer, &QTcpSocket::disconnected, [this] { peerGone = true; });
      QObject::connect(peer, &QTcpSocket::readyRead, [=, this] {
        const bool complete = request.contains("\r\n\r\n");
        request += peer->readAll();
        if (complete || !request.contains("\r\n\r\n")) return;
        for (std::size_t i = 0; i < pieces.size(); ++i)
          QTimer::singleShot(static_cast<int>(gapMs * i), peer,
                             [peer, piece = pieces[i]] { peer->write(piece); });
        if (close)
          QTimer::singleShot(static_cast<int>(gapMs * pieces.size()), peer, [this, peer] {
            if (resetOnClose) {
              const linger abortive{1, 0};
              ::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                           &abortive, sizeof abortive);
            }
            peer->disconnectFromHost();
          });
      });
    });
  }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(server.serverPort()); }
  std::string Url(const std::string& path) const { return "http://" + HostPort() + path; }
};

// The name server of the tests: "localhost" is 127.0.0.1, "hang.test" answers only once
// released, every other name is unknown. No query leaves the process.
struct FakeNames {
  std::mutex mutex;
  std::condition_variable changed;
  bool released = false;
  std::atomic<int> calls = 0;

  std::vector<std::string> Resolve(const std::string& host) {
    std::unique_lock lock(mutex);
    ++calls;
    changed.wait(lock, [&] { return released || host != "hang.test"; });
    return host == "localhost" ? std::vector<std::string>{"127.0.0.1"} : std::vector<std::string>{};
  }
  void Release() {
    std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
  }
};

struct HttpSocketTest : ::testing::Test {
  QTemporaryDir dir;
  fw::Ref<fw::HTTPSocket> socket;
  fw::Ref<fw::FolderItem> file;
  std::shared_ptr<FakeNames> names = std::make_shared<FakeNames>();
  fw::HostResolver systemResolver;

  void SetUp() override {
    systemResolver = fw::SetHostResolver([names = names](const std::string& host) {
      return names->Resolve(host);
    });
    Owner() = fw::MakeRef<SocketOwner>();
    socket = NewSocket();
    file = fw::MakeRef<fw::FolderItem>(Path("capture.jpg"));
  }
  void TearDown() override {
    socket.Reset();
    Owner().Reset();
    names->Release();
    fw::SetHostResolver(systemResolver);
  }
  static fw::Ref<fw::HTTPSocket> NewSocket() {
    auto s = fw::Cast<fw::HTTPSocket>(fw::RuntimeNewObject(WindowSocketClass()));
    const auto& owner = SocketOwner::ClassHandle();
    s->InstallHandler("ReceiveProgress", &owner.Slot(0));
    s->InstallHandler("Error", &owner.Slot(1));
    s->InstallHandler("DownloadComplete", &owner.Slot(2));
    return s;
  }
  // Forgets the events so far, for the next download of the same test.
  void Forget() { Owner() = fw::MakeRef<SocketOwner>(); }
  std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
  SocketOwner& R() { return *Owner(); }
  bool Completed() { return R().completions > 0; }
};

std::string ExpectedRequest(const std::string& target, const std::string& host) {
  return "GET " + target + " HTTP/1.0\r\nHost: " + host +
         "\r\nAccept: */*\r\nAccept-Language: en\r\n\r\n";
}

TEST(HttpAddress, HostPortAndPathAsAGetSendsThem) {
  auto a = fw::ParseHttpAddress("http://cam.example.org/img/live.jpg?size=2");
  EXPECT_EQ(a.host, "cam.example.org");
  EXPECT_EQ(a.port, 80);
  EXPECT_EQ(a.hostHeader, "cam.example.org");
  EXPECT_EQ(a.path, "/img/live.jpg?size=2");
  EXPECT_EQ(a.error, 0);

  a = fw::ParseHttpAddress("cam.example.org");
  EXPECT_EQ(a.host, "cam.example.org");
  EXPECT_EQ(a.path, "/");

  a = fw::ParseHttpAddress("http://cam:8080");
  EXPECT_EQ(a.host, "cam");
  EXPECT_EQ(a.port, 8080);
  EXPECT_EQ(a.hostHeader, "cam:8080");
  EXPECT_EQ(a.path, "/");

  a = fw::ParseHttpAddress("http://[::1]:81/x#top");
  EXPECT_EQ(a.host, "::1");
  EXPECT_EQ(a.port, 81);
  EXPECT_EQ(a.hostHeader, "[::1]:81");
  EXPECT_EQ(a.path, "/x");
}

TEST(HttpAddress, UnsafeOrUnusableAddresses) {
  // Blanks and line breaks would split the request line or add headers of their own.
  auto a = fw::ParseHttpAddress("http://cam/a b\r\nX-Evil: 1");
  EXPECT_EQ(a.path, "/a%20b%0D%0AX-Evil:%201");
  EXPECT_EQ(a.error, 0);
  EXPECT_NE(fw::ParseHttpAddress("http://ca m/").error, 0);
  EXPECT_NE(fw::ParseHttpAddress("http://cam:99999/").error, 0);
  EXPECT_NE(fw::ParseHttpAddress("http://cam:8o/").error, 0);
  EXPECT_NE(fw::ParseHttpAddress("http:///path").error, 0);
  EXPECT_NE(fw::ParseHttpAddress("").error, 0);
}

TEST(InternetHeaders, OrderedAndFoundIgnoringCase) {
  auto h = fw::InternetHeaders::Parse(
      "Content-Type: image/jpeg\r\nX-Long: one\r\n  two\r\nno colon here\r\nset-cookie: a\r\n"
      "Set-Cookie: b\r\n");
  ASSERT_EQ(h->Count(), 4);
  EXPECT_EQ(h->Name(0), "Content-Type");
  EXPECT_EQ(h->Value(1), "one two");
  EXPECT_EQ(h->Value("CONTENT-type"), "image/jpeg");
  EXPECT_EQ(h->Value("Set-Cookie"), "a");  // the first of that name
  EXPECT_EQ(h->Value("Missing"), "");
  EXPECT_THROW(h->Name(4), fw::OutOfBoundsException);
  h->SetHeader("SET-COOKIE", "c");
  EXPECT_EQ(h->Count(), 3);
  EXPECT_EQ(h->Value("set-cookie"), "c");
  EXPECT_EQ(fw::FromValue<std::string>(fw::Call(*h, "Value", std::string("x-long"))), "one two");
}

TEST(HttpSocketClass, TableInterfacesAndProperties) {
  const auto& c = fw::HTTPSocket::ClassHandle();
  EXPECT_GE(c.SlotOf("Constructor", {}), 0);
  EXPECT_GE(c.SlotOf("Get", {"String", "FolderItem"}), 0);
  for (const char* i : {"Readable", "Writeable", "_SOAPSocket"}) EXPECT_TRUE(c.Answers(i)) << i;
  for (const char* p : {"Address", "Port", "yield", "LastErrorCode"})
    EXPECT_TRUE(c.FindProperty(p)) << p;
  auto socket = fw::RuntimeNewObject(c);
  fw::Invoke(*socket, "Constructor");
  EXPECT_THROW(fw::Invoke(*socket, "Listen"), fw::UnsupportedOperationException);
  EXPECT_THROW(c.FindProperty("LastErrorCode")->set(*socket, std::int32_t{3}),
               fw::UnsupportedOperationException);
}

TEST_F(HttpSocketTest, SendsThePlainGetAndStreamsTheBodyIntoTheFile) {
  TestServer server({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\nX-Cam: 7\r\n\r\n", "01234",
                     "56789"});
  const std::string url = server.Url("/cam/image.jpg?x=1");
  socket->Get(url, file);
  EXPECT_EQ(R().Events(), 0) << "Get returns before anything arrives";
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));

  EXPECT_EQ(server.request.toStdString(), ExpectedRequest("/cam/image.jpg?x=1", server.HostPort()));
  ASSERT_EQ(R().progress.size(), 3u);
  EXPECT_EQ(R().progress[0].received, 0);  // the header block came alone
  EXPECT_EQ(R().progress[0].data, "");
  EXPECT_EQ(R().progress[1].received, 5);
  EXPECT_EQ(R().progress[2].received, 10);
  for (const auto& p : R().progress) EXPECT_EQ(p.total, 10);
  EXPECT_EQ(R().Body(), "0123456789");

  EXPECT_EQ(R().completions, 1);
  EXPECT_EQ(R().url, url);
  EXPECT_EQ(R().status, 200);
  ASSERT_TRUE(R().headers);
  EXPECT_EQ(R().headers->Value("x-cam"), "7");
  EXPECT_EQ(R().file.Get(), file.Get());
  EXPECT_EQ(R().fileAtCompletion, "0123456789") << "flushed and closed before the event";
  EXPECT_TRUE(R().errors.empty());
  EXPECT_EQ(socket->LastErrorCode(), 0);
}

TEST_F(HttpSocketTest, AnAddressWithoutSchemeOrPathAsksForTheRoot) {
  TestServer server({"HTTP/1.0 200 OK\r\n\r\n"});
  socket->Get(server.HostPort(), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  EXPECT_EQ(server.request.toStdString(), ExpectedRequest("/", server.HostPort()));
}

TEST_F(HttpSocketTest, BareLineFeedsEndTheHeadersAndNoLengthGivesTotalZero) {
  TestServer server({"HTTP/1.0 404 Not Found\nServer: test\n\nnot here", " at all"});
  socket->Get(server.Url("/missing.jpg"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  EXPECT_EQ(R().status, 404);
  ASSERT_TRUE(R().headers);
  EXPECT_EQ(R().headers->Value("server"), "test");
  ASSERT_EQ(R().progress.size(), 2u);
  EXPECT_EQ(R().progress[0].data, "not here");  // the piece that came with the headers
  EXPECT_EQ(R().progress[0].received, 8);
  for (const auto& p : R().progress) EXPECT_EQ(p.total, 0);
  EXPECT_EQ(R().fileAtCompletion, "not here at all");
}

TEST_F(HttpSocketTest, ALengthBeyondInt32IsClamped) {
  TestServer server({"HTTP/1.0 200 OK\r\ncontent-LENGTH: 5000000000\r\n\r\nab"});
  socket->Get(server.Url("/"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  ASSERT_FALSE(R().progress.empty());
  EXPECT_EQ(R().progress[0].total, std::numeric_limits<std::int32_t>::max());
}

TEST_F(HttpSocketTest, ALargeBodyArrivesInBoundedPieces) {
  const QByteArray body(3 * 1024 * 1024, 'x');
  TestServer server({"HTTP/1.0 200 OK\r\nContent-Length: 3145728\r\n\r\n", body});
  socket->Get(server.Url("/big"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }, 8000));
  std::int64_t sum = 0;
  for (const auto& p : R().progress) {
    EXPECT_LE(p.data.size(), 64u * 1024u);
    sum += static_cast<std::int64_t>(p.data.size());
    EXPECT_EQ(p.received, sum);
  }
  EXPECT_EQ(sum, body.size());
  EXPECT_EQ(QFileInfo(QString::fromStdString(file->AbsolutePath())).size(), body.size());
}

TEST_F(HttpSocketTest, AFileThatCannotBePreparedFailsWithCodeOneInsideGet) {
  TestServer server({"HTTP/1.0 200 OK\r\n\r\n"});
  socket->Get(server.Url("/a"), fw::MakeRef<fw::FolderItem>(dir.path().toStdString()));
  EXPECT_EQ(R().errors, std::vector<std::int32_t>{1});
  EXPECT_EQ(socket->LastErrorCode(), 1);
  socket->Get(server.Url("/a"), fw::MakeRef<fw::FolderItem>(Path("no/such/folder/x.jpg")));
  EXPECT_EQ(R().errors, (std::vector<std::int32_t>{1, 1}));
  RunLoopFor(200);
  EXPECT_EQ(server.connections, 0) << "nothing is sent";
  EXPECT_EQ(R().Events(), 2);
  EXPECT_THROW(socket->Get(server.Url("/a"), nullptr), fw::NilObjectException);
}

TEST_F(HttpSocketTest, ARefusedConnectionRaisesOnlyAnErrorFromTheLoop) {
  quint16 port = 0;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    port = probe.serverPort();
  }  // nobody listens there now
  socket->Get("http://127.0.0.1:" + std::to_string(port) + "/", file);
  EXPECT_TRUE(R().errors.empty());
  ASSERT_TRUE(WaitFor([&] { return !R().errors.empty(); }));
  EXPECT_EQ(R().errors[0], 111);
  EXPECT_EQ(socket->LastErrorCode(), 111);
  RunLoopFor(150);
  EXPECT_EQ(R().Events(), 1);
}

TEST_F(HttpSocketTest, AnUnusableAddressIsAnErrorFromTheLoop) {
  socket->Get("http://cam:99999/x.jpg", file);
  EXPECT_TRUE(R().errors.empty());
  ASSERT_TRUE(WaitFor([&] { return !R().errors.empty(); }));
  EXPECT_EQ(R().errors[0], 22);
  RunLoopFor(50);
  EXPECT_EQ(R().Events(), 1);

  // A socket released before its error is due reports nothing and touches nothing.
  socket->Get("http://cam:99999/x.jpg", file);
  socket.Reset();
  RunLoopFor(50);
  EXPECT_EQ(R().Events(), 1);
}

// A listener that never accepts, with its accept queue full: further connects hang in the
// handshake, as with a host that does not answer.
struct FullListener {
  int fd = -1;
  quint16 port = 0;
  std::vector<std::unique_ptr<QTcpSocket>> fillers;
  FullListener() {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), size) != 0 || ::listen(fd, 0) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
      throw std::runtime_error("cannot listen");
    port = ntohs(a.sin_port);
    for (int i = 0; i < 3; ++i) {
      fillers.push_back(std::make_unique<QTcpSocket>());
      fillers.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    RunLoopFor(200);
  }
  ~FullListener() { ::close(fd); }
};

TEST_F(HttpSocketTest, AConnectThatHangsIsATimeoutError) {
  FullListener listener;
  socket->SetTimeouts(300, 2000);
  socket->Get("http://127.0.0.1:" + std::to_string(listener.port) + "/", file);
  RunLoopFor(150);
  EXPECT_TRUE(R().errors.empty()) << "not before the timeout";
  ASSERT_TRUE(WaitFor([&] { return !R().errors.empty(); }, 2000));
  EXPECT_EQ(R().errors[0], 110);
  RunLoopFor(100);
  EXPECT_EQ(R().Events(), 1);
}

TEST_F(HttpSocketTest, ClosingBeforeTheHeadersCompleteEndsWithStatusZero) {
  {
    QFile old(QString::fromStdString(file->AbsolutePath()));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older capture");
  }
  TestServer server({"HTTP/1.0 200 OK\r\nConte"});
  socket->Get(server.Url("/a"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  EXPECT_EQ(R().status, 0);
  EXPECT_FALSE(R().headers);
  EXPECT_TRUE(R().progress.empty());
  EXPECT_EQ(R().fileAtCompletion, "") << "the file is emptied before connecting";
  EXPECT_TRUE(R().errors.empty());
}

TEST_F(HttpSocketTest, ClosingMidBodyCompletesWithWhatArrived) {
  TestServer server({"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"});
  socket->Get(server.Url("/a"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  EXPECT_EQ(R().status, 200);
  EXPECT_EQ(R().fileAtCompletion, "0123456789");
  EXPECT_EQ(R().progress.back().received, 10);
  EXPECT_EQ(R().progress.back().total, 100);
  EXPECT_TRUE(R().errors.empty());
}

TEST_F(HttpSocketTest, ASilentConnectionIsEndedAfterTheIdleTimeout) {
  TestServer server({"HTTP/1.0 200 OK\r\n\r\npart"}, /*close=*/false);
  socket->SetTimeouts(2000, 300);
  socket->Get(server.Url("/slow"), file);
  ASSERT_TRUE(WaitFor([&] { return !R().progress.empty(); }));
  RunLoopFor(100);
  EXPECT_FALSE(Completed()) << "not before the timeout";
  ASSERT_TRUE(WaitFor([&] { return Completed(); }, 2000));
  EXPECT_EQ(R().fileAtCompletion, "part");
  EXPECT_TRUE(WaitFor([&] { return server.peerGone; }));
}

TEST_F(HttpSocketTest, AnEndlessHeaderBlockIsNotBufferedForEver) {
  TestServer server({"HTTP/1.0 200 OK\r\nX: " + QByteArray(100 * 1024, 'a')}, /*close=*/false);
  socket->Get(server.Url("/"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  EXPECT_EQ(R().status, 0);
  EXPECT_FALSE(R().headers);
  EXPECT_EQ(R().fileAtCompletion, "");
}

TEST_F(HttpSocketTest, ANewGetSupersedesTheRunningDownload) {
  TestServer first({"HTTP/1.0 200 OK\r\n\r\nfirst"}, /*close=*/false);
  TestServer second({"HTTP/1.0 200 OK\r\n\r\nsecond"});
  socket->Get(first.Url("/one"), file);
  ASSERT_TRUE(WaitFor([&] { return !R().progress.empty(); }));
  auto other = fw::MakeRef<fw::FolderItem>(Path("second.jpg"));
  socket->Get(second.Url("/two"), other);
  EXPECT_EQ(ReadFile(file->AbsolutePath()), "first") << "closed with what it held";
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  RunLoopFor(100);
  EXPECT_EQ(R().completions, 1);
  EXPECT_EQ(R().url, second.Url("/two"));
  EXPECT_EQ(R().fileAtCompletion, "second");
  EXPECT_TRUE(first.peerGone) << "the earlier connection is closed";
  EXPECT_TRUE(R().errors.empty());
}

TEST_F(HttpSocketTest, ANewGetIntoTheSameFileStartsItAfresh) {
  TestServer first({"HTTP/1.0 200 OK\r\n\r\nold data"}, /*close=*/false);
  TestServer second({"HTTP/1.0 200 OK\r\n\r\nnew"});
  socket->Get(first.Url("/"), file);
  ASSERT_TRUE(WaitFor([&] { return !R().progress.empty(); }));
  socket->Get(second.Url("/"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  EXPECT_EQ(R().fileAtCompletion, "new");
}

TEST_F(HttpSocketTest, AResetAfterTheHeadersCompletesWithWhatArrived) {
  TestServer server({"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n", "part"});
  server.resetOnClose = true;
  socket->Get(server.Url("/a"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed() || !R().errors.empty(); }));
  EXPECT_TRUE(R().errors.empty());
  EXPECT_EQ(R().status, 200);
  EXPECT_EQ(R().fileAtCompletion, "part");
}

TEST_F(HttpSocketTest, ARequestLargerThanTheSocketBuffersIsSentWhole) {
  const std::string cookie(8 * 1024 * 1024, 'c');
  socket->SetRequestHeader("Cookie", cookie);
  TestServer server({"HTTP/1.0 200 OK\r\n\r\nok"});
  socket->Get(server.Url("/"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }, 8000));
  EXPECT_TRUE(server.request.endsWith("Cookie: " + QByteArray::fromStdString(cookie) + "\r\n\r\n"));
  EXPECT_EQ(R().fileAtCompletion, "ok");
}

// A handler that runs a loop of its own (a modal dialog, say) while more data comes in.
TEST_F(HttpSocketTest, AHandlerRunningItsOwnLoopIsNotReenteredNorSpunNorTimedOut) {
  // The idle timeout first expires while the handler runs and before more data has come; the
  // last piece comes after the handler is done.
  TestServer server({"HTTP/1.0 200 OK\r\n\r\nfirst", "second", "third", "fourth"}, true, 300);
  socket->SetTimeouts(2000, 250);
  double handlerCpuMs = -1;
  R().duringProgress = [&] {
    if (R().progress.size() != 1) return;
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    QEventLoop loop;
    QTimer::singleShot(750, &loop, &QEventLoop::quit);
    loop.exec();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    handlerCpuMs = (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
  };
  socket->Get(server.Url("/"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed(); }));
  EXPECT_EQ(R().deepest, 1) << "no event while a handler runs";
  EXPECT_LT(handlerCpuMs, 150) << "waiting data must not keep the loop busy";
  EXPECT_EQ(R().Body(), "firstsecondthirdfourth")
      << "held data is neither lost nor taken for silence";
  EXPECT_EQ(R().fileAtCompletion, "firstsecondthirdfourth");
  EXPECT_TRUE(R().errors.empty());
}

TEST_F(HttpSocketTest, AnIPv6LiteralReachesTheServer) {
  std::unique_ptr<TestServer> server;
  try {
    server = std::make_unique<TestServer>(std::vector<QByteArray>{"HTTP/1.0 200 OK\r\n\r\nsix"},
                                          true, 50, QHostAddress::LocalHostIPv6);
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  const std::string hostPort = "[::1]:" + std::to_string(server->server.serverPort());
  socket->Get("http://" + hostPort + "/v6", file);
  ASSERT_TRUE(WaitFor([&] { return Completed() || !R().errors.empty(); }));
  EXPECT_TRUE(R().errors.empty());
  EXPECT_EQ(server->request.toStdString(), ExpectedRequest("/v6", hostPort));
  EXPECT_EQ(R().fileAtCompletion, "six");
}

// Names are looked up away from the loop.
TEST_F(HttpSocketTest, AHostNameIsLookedUpAndAnUnknownOneIsErrorLookupFailed) {
  TestServer server({"HTTP/1.0 200 OK\r\n\r\nnamed"});
  const std::string hostPort = "localhost:" + std::to_string(server.server.serverPort());
  socket->Get("http://" + hostPort + "/", file);
  ASSERT_TRUE(WaitFor([&] { return Completed() || !R().errors.empty(); }));
  EXPECT_TRUE(R().errors.empty());
  EXPECT_EQ(server.request.toStdString(), ExpectedRequest("/", hostPort));
  EXPECT_EQ(R().fileAtCompletion, "named");

  const int before = R().Events();
  socket->Get("http://camera.example/live.jpg", file);
  EXPECT_TRUE(R().errors.empty()) << "never from within Get";
  ASSERT_TRUE(WaitFor([&] { return !R().errors.empty(); }));
  EXPECT_EQ(R().errors, std::vector<std::int32_t>{103});
  EXPECT_EQ(socket->LastErrorCode(), 103);
  RunLoopFor(100);
  EXPECT_EQ(R().Events(), before + 1);
  EXPECT_EQ(names->calls, 2);
}

TEST_F(HttpSocketTest, ALookupAnsweredAfterItsDownloadIsGoneIsIgnored) {
  const std::string unknown = "http://hang.test/live.jpg";
  // Superseded: the stale answer must not end or disturb the download that replaced it.
  TestServer server({"HTTP/1.0 200 OK\r\n\r\n", "late", "r"}, true, 150);
  socket->Get(unknown, file);
  socket->Get(server.Url("/"), file);
  ASSERT_TRUE(WaitFor([&] { return Completed() || !R().errors.empty(); }));
  EXPECT_TRUE(R().errors.empty());
  EXPECT_EQ(R().fileAtCompletion, "later");

  // Closed, then released: the answer has neither a download nor a socket to go to.
  const int before = R().Events();
  socket->Get(unknown, file);
  socket->Close();
  RunLoopFor(300);
  socket->Get(unknown, file);
  socket.Reset();
  names->Release();
  RunLoopFor(300);
  EXPECT_EQ(R().Events(), before);
}

// A name server that never answers holds a few lookup threads, no more, and every download
// still ends in time, also those whose lookup waits for a thread.
TEST_F(HttpSocketTest, HangingLookupsEndByTheConnectTimeoutAndHoldAFewThreadsAtMost) {
  std::vector<fw::Ref<fw::HTTPSocket>> sockets(fw::kLookupThreads + 2);
  for (auto& s : sockets) {
    s = NewSocket();
    s->SetTimeouts(400, 5000);
    s->Get("http://hang.test/", fw::MakeRef<fw::FolderItem>(Path("capture.jpg")));
  }
  ASSERT_TRUE(WaitFor([&] { return R().errors.size() == sockets.size(); }, 3000));
  EXPECT_EQ(R().errors, std::vector<std::int32_t>(sockets.size(), 110));
  // None has returned yet, so this many ran at once; the rest, cancelled, never run.
  names->Release();
  RunLoopFor(200);
  EXPECT_EQ(names->calls, fw::kLookupThreads);
  EXPECT_EQ(R().Events(), static_cast<int>(sockets.size()));
}

// A server that is never silent for long but never done: a byte every 50 ms, of the body, then
// of the header block; then a host that never completes the handshake.
TEST_F(HttpSocketTest, TheDeadlineEndsADownloadWhateverTheServerDoes) {
  socket->SetTimeouts(5000, 5000);
  socket->SetDeadline(500);
  for (const QByteArray trickled : {"x", "X: y\r\n"}) {
    Forget();
    std::vector<QByteArray> pieces(100, trickled);
    pieces[0] = trickled == "x" ? "HTTP/1.0 200 OK\r\n\r\n" : "HTTP/1.0 200 OK\r\n";
    TestServer server(pieces, /*close=*/false);
    socket->Get(server.Url("/"), file);
    ASSERT_TRUE(WaitFor([&] { return Completed(); }, 1500));
    EXPECT_EQ(R().status, trickled == "x" ? 200 : 0);
    EXPECT_EQ(R().fileAtCompletion, R().Body());
    EXPECT_EQ(R().Body().empty(), trickled != "x");
    EXPECT_TRUE(WaitFor([&] { return server.peerGone; }));
  }
  Forget();
  FullListener listener;
  socket->Get("http://127.0.0.1:" + std::to_string(listener.port) + "/", file);
  ASSERT_TRUE(WaitFor([&] { return !R().errors.empty(); }, 1500));
  EXPECT_EQ(R().errors[0], 110);
}

// The end of a long header block, split over reads in every possible place.
TEST_F(HttpSocketTest, AHeaderBlockTrickledInSmallPiecesEndsWhereverItIsSplit) {
  for (const QByteArray eol : {"\r\n", "\n"}) {
    const QByteArray head = "HTTP/1.0 200 OK" + eol + "X-Pad: " + QByteArray(60 * 1024, 'p') + eol;
    std::vector<QByteArray> pieces;
    for (qsizetype at = 0; at < head.size(); at += 997) pieces.push_back(head.mid(at, 997));
    for (char c : eol) pieces.push_back(QByteArray(1, c));
    pieces.push_back("body");
    TestServer server(pieces, true, 2);
    Forget();
    socket->Get(server.Url("/"), file);
    ASSERT_TRUE(WaitFor([&] { return Completed(); }));
    EXPECT_EQ(R().status, 200);
    EXPECT_EQ(R().fileAtCompletion, "body");
  }
}

TEST_F(HttpSocketTest, ATargetThatIsNoRegularFileIsErrorOneWithoutWaiting) {
  TestServer server({"HTTP/1.0 200 OK\r\n\r\n"});
  const std::string fifo = Path("fifo.jpg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  alarm(10);  // a FIFO opened for writing would wait for a reader
  socket->Get(server.Url("/"), fw::MakeRef<fw::FolderItem>(fifo));
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  socket->Get(server.Url("/"), fw::MakeRef<fw::FolderItem>(fifo));
  ::close(reader);
  socket->Get(server.Url("/"), fw::MakeRef<fw::FolderItem>(std::string("/dev/null")));
  alarm(0);
  EXPECT_EQ(R().errors, std::vector<std::int32_t>(3, 1));
  RunLoopFor(200);
  EXPECT_EQ(server.connections, 0);
}

TEST_F(HttpSocketTest, AFullDiskIsErrorFiveAndNoProgressClaimsMoreThanTheFileHolds) {
  std::vector<QByteArray> pieces{"HTTP/1.0 200 OK\r\n\r\n"};
  for (char c = 'a'; c < 'k'; ++c) pieces.push_back(QByteArray(4000, c));
  TestServer server(pieces);
  // No file of this process may grow past 10000 bytes: a write beyond fails as on a full disk.
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit small{10000, old.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  socket->Get(server.Url("/"), file);
  WaitFor([&] { return Completed() || !R().errors.empty(); });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  RunLoopFor(300);
  EXPECT_EQ(R().errors, std::vector<std::int32_t>{5});
  EXPECT_EQ(R().completions, 0);
  const std::string held = ReadFile(file->AbsolutePath());
  ASSERT_EQ(held.size(), 10000u);
  for (const auto& p : R().progress) EXPECT_LE(p.received, 10000);
  EXPECT_EQ(held.substr(0, R().Body().size()), R().Body());
}

// The process ends while a download runs: its file, cut short, goes.
TEST_F(HttpSocketTest, TheFileOfADownloadRunningAtExitIsRemoved) {
  const pid_t child = fork();
  if (child == 0) {
    socket->Get("http://127.0.0.1:9/", file);
    if (!QFileInfo::exists(QString::fromStdString(file->AbsolutePath()))) _exit(42);
    fw::RuntimeExit();  // as the program ends, the toolkit first
    std::exit(0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::hex << status;
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(file->AbsolutePath())));
}

}  // namespace
