#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "platform/http_socket.h"
#include "platform/timer.h"

namespace {

// Receives the socket's events the way a window's handlers do.
struct Recorder : fw::Object {
  FW_CLASS_HANDLE()
  std::vector<std::pair<std::int32_t, std::int32_t>> progress;
  std::string data;
  std::vector<std::int32_t> errors;
  int completions = 0;
  std::int32_t status = -1;
  fw::Ref<fw::InternetHeaders> headers;
  std::string url;
  int ticks = 0;
  void Progress(std::int32_t received, std::int32_t total, const std::string& piece) {
    progress.emplace_back(received, total);
    data += piece;
  }
  void Failed(std::int32_t code) { errors.push_back(code); }
  void Done(const std::string& u, std::int32_t s, const fw::Ref<fw::InternetHeaders>& h,
            const fw::Ref<fw::FolderItem>&) {
    ++completions;
    url = u;
    status = s;
    headers = h;
  }
  void Tick() { ++ticks; }
};

const fw::ClassRecord& Recorder::ClassHandle() {
  if (auto* c = fw::FindClass("Recorder")) return *c;
  return fw::ClassBuilder("Recorder", nullptr)
      .Allocator([] { return new Recorder; })
      .Add("Progress", {"Int32", "Int32", "String"}, "", fw::Method<&Recorder::Progress>())
      .Add("Failed", {"Int32"}, "", fw::Method<&Recorder::Failed>())
      .Add("Done", {"String", "Int32", "InternetHeaders", "FolderItem"}, "", fw::Method<&Recorder::Done>())
      .Add("Tick", {}, "", fw::Method<&Recorder::Tick>())
      .Register();
}

fw::Ref<Recorder>& Owner() {
  static fw::Ref<Recorder> owner;
  return owner;
}

fw::Ref<fw::Object> OwnerOf(fw::Object&, std::span<const fw::Value>) { return Owner(); }

struct ProbeSocket : fw::HTTPSocket {
  FW_CLASS_HANDLE()
};
const fw::ClassRecord& ProbeSocket::ClassHandle() {
  if (auto* c = fw::FindClass("ProbeSocket")) return *c;
  return fw::ClassBuilder("ProbeSocket", &fw::HTTPSocket::ClassHandle())
      .Allocator([] { return new ProbeSocket; })
      .Add("Window", {}, "Window", [](fw::Object& o, auto a) -> fw::Value { return fw::ToValue(OwnerOf(o, a)); })
      .Interface("PaneChild")
      .Register();
}

struct ProbeTimer : fw::Timer {
  FW_CLASS_HANDLE()
};
const fw::ClassRecord& ProbeTimer::ClassHandle() {
  if (auto* c = fw::FindClass("ProbeTimer")) return *c;
  return fw::ClassBuilder("ProbeTimer", &fw::Timer::ClassHandle())
      .Allocator([] { return new ProbeTimer; })
      .Add("Window", {}, "Window", [](fw::Object& o, auto a) -> fw::Value { return fw::ToValue(OwnerOf(o, a)); })
      .Interface("PaneChild")
      .Register();
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

struct Fixture : ::testing::Test {
  QTemporaryDir dir;
  QTcpServer server;
  fw::Ref<ProbeSocket> socket;
  QByteArray request;
  fw::Ref<fw::FolderItem> file;

  void SetUp() override {
    Owner() = fw::Cast<Recorder>(fw::RuntimeNewObject(Recorder::ClassHandle()));
    socket = fw::Cast<ProbeSocket>(fw::RuntimeNewObject(ProbeSocket::ClassHandle()));
    const auto& c = socket->Class();
    socket->InstallHandler("ReceiveProgress", &Recorder::ClassHandle().Slot(0));
    socket->InstallHandler("Error", &Recorder::ClassHandle().Slot(1));
    socket->InstallHandler("DownloadComplete", &Recorder::ClassHandle().Slot(2));
    (void)c;
    file = fw::MakeRef<fw::FolderItem>(dir.filePath("capture.jpg").toStdString());
  }
  void TearDown() override { Owner().Reset(); }

  // Answers the first connection: reads the request up to its empty line, writes the reply in
  // the given pieces, then closes (unless `close` is false).
  void Serve(std::vector<QByteArray> pieces, bool close = true) {
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [this, pieces, close] {
      QTcpSocket* peer = server.nextPendingConnection();
      QObject::connect(peer, &QTcpSocket::readyRead, [this, peer, pieces, close] {
        request += peer->readAll();
        if (!request.contains("\r\n\r\n")) return;
        // Pieces go 50 ms apart, so the client sees them as separate reads.
        for (std::size_t i = 0; i < pieces.size(); ++i)
          QTimer::singleShot(static_cast<int>(50 * i), peer, [peer, piece = pieces[i]] { peer->write(piece); });
        if (close)
          QTimer::singleShot(static_cast<int>(50 * pieces.size()), peer, [peer] { peer->disconnectFromHost(); });
      });
    });
  }
  std::string Url(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(server.serverPort()) + path;
  }
  Recorder& R() { return *Owner(); }
};

using HttpSocket = Fixture;

TEST_F(HttpSocket, SendsAPlainGetAndStoresTheBody) {
  Serve({"HTTP/1.0 200 OK\r\nContent-Length: 10\r\nX-A: b\r\n\r\n01234", "56789"});
  socket->Get(Url("/cam/image.jpg?x=1"), file);
  ASSERT_TRUE(WaitFor([&] { return R().completions == 1; }));
  const std::string host = "127.0.0.1:" + std::to_string(server.serverPort());
  EXPECT_EQ(request.toStdString(), "GET /cam/image.jpg?x=1 HTTP/1.0\r\nHost: " + host +
                                       "\r\nAccept: */*\r\nAccept-Language: en\r\n\r\n");
  EXPECT_EQ(R().status, 200);
  ASSERT_TRUE(R().headers);
  EXPECT_EQ(R().headers->Value("content-length"), "10");
  EXPECT_EQ(R().headers->Value("X-A"), "b");
  EXPECT_EQ(R().data, "0123456789");
  ASSERT_FALSE(R().progress.empty());
  EXPECT_EQ(R().progress.back(), (std::pair<std::int32_t, std::int32_t>{10, 10}));
  for (const auto& p : R().progress) EXPECT_EQ(p.second, 10);
  QFile stored(QString::fromStdString(file->AbsolutePath()));
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  EXPECT_EQ(stored.readAll(), "0123456789");
  EXPECT_TRUE(R().errors.empty());
}

TEST_F(HttpSocket, WithoutLengthTotalIsZeroAndAnEmptyFirstPieceIsReported) {
  Serve({"HTTP/1.0 404 Not Found\r\n\r\n", "gone"});
  socket->Get(Url(""), file);
  ASSERT_TRUE(WaitFor([&] { return R().completions == 1; }));
  EXPECT_TRUE(request.startsWith("GET / HTTP/1.0\r\n"));
  EXPECT_EQ(R().status, 404);
  ASSERT_GE(R().progress.size(), 1u);
  EXPECT_EQ(R().progress.front().first, 0);  // the header block came with no body
  for (const auto& p : R().progress) EXPECT_EQ(p.second, 0);
  EXPECT_EQ(R().data, "gone");
}

TEST_F(HttpSocket, ClosingBeforeTheHeadersCompletesWithStatusZero) {
  Serve({"HTTP/1.0 200 OK\r\nConte"});
  socket->Get(Url("/a"), file);
  ASSERT_TRUE(WaitFor([&] { return R().completions == 1; }));
  EXPECT_EQ(R().status, 0);
  EXPECT_FALSE(R().headers);
  EXPECT_EQ(QFileInfo(QString::fromStdString(file->AbsolutePath())).size(), 0);
}

TEST_F(HttpSocket, AFolderTargetFailsWithCodeOneBeforeGetReturns) {
  Serve({"HTTP/1.0 200 OK\r\n\r\n"});
  socket->Get(Url("/a"), fw::MakeRef<fw::FolderItem>(dir.path().toStdString()));
  ASSERT_EQ(R().errors, std::vector<std::int32_t>{1});
  QCoreApplication::processEvents();
  EXPECT_TRUE(request.isEmpty());
  EXPECT_EQ(R().completions, 0);
}

TEST_F(HttpSocket, ARefusedConnectionIsAnErrorOnly) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const auto port = probe.serverPort();
  probe.close();  // nobody listens there now
  socket->Get("http://127.0.0.1:" + std::to_string(port) + "/", file);
  EXPECT_TRUE(R().errors.empty());  // reported from the loop, not from Get
  ASSERT_TRUE(WaitFor([&] { return !R().errors.empty(); }));
  EXPECT_EQ(R().errors[0], fw::HTTPSocket::kSocketErrorBase + QAbstractSocket::ConnectionRefusedError);
  WaitFor([] { return false; }, 100);
  EXPECT_EQ(R().completions, 0);
  EXPECT_TRUE(R().progress.empty());
}

TEST_F(HttpSocket, ASilentServerIsEndedInsteadOfStallingForEver) {
  Serve({"HTTP/1.0 200 OK\r\n\r\npart"}, false);
  socket->SetTimeouts(2000, 200);
  socket->Get(Url("/slow"), file);
  ASSERT_TRUE(WaitFor([&] { return R().completions == 1; }));
  EXPECT_EQ(R().data, "part");
}

TEST_F(HttpSocket, ANewGetSupersedesTheRunningOne) {
  Serve({"HTTP/1.0 200 OK\r\n\r\nfirst"}, false);
  socket->SetTimeouts(2000, 300);
  socket->Get(Url("/one"), file);
  ASSERT_TRUE(WaitFor([&] { return !R().data.empty(); }));
  auto second = fw::MakeRef<fw::FolderItem>(dir.filePath("second.jpg").toStdString());
  socket->Get("http://127.0.0.1:1/", second);  // nothing answers there
  ASSERT_TRUE(WaitFor([&] { return !R().errors.empty(); }));
  WaitFor([] { return false; }, 500);
  EXPECT_EQ(R().completions, 0);  // the first download says nothing more
  QFile first(QString::fromStdString(file->AbsolutePath()));
  ASSERT_TRUE(first.open(QIODevice::ReadOnly));
  EXPECT_EQ(first.readAll(), "first");  // and keeps what it had
}

TEST(Timer, RepeatsInModeTwoAndFiresOnceInModeOne) {
  Owner() = fw::Cast<Recorder>(fw::RuntimeNewObject(Recorder::ClassHandle()));
  auto timer = fw::Cast<ProbeTimer>(fw::RuntimeNewObject(ProbeTimer::ClassHandle()));
  timer->InstallHandler("Action", &Recorder::ClassHandle().Slot(3));
  timer->SetMode(2);
  timer->SetPeriod(20);
  ASSERT_TRUE(WaitFor([] { return Owner()->ticks >= 3; }, 3000));
  timer->SetMode(0);
  const int stopped = Owner()->ticks;
  WaitFor([] { return false; }, 100);
  EXPECT_EQ(Owner()->ticks, stopped);

  Owner()->ticks = 0;
  timer->SetMode(1);
  WaitFor([] { return false; }, 200);
  EXPECT_EQ(Owner()->ticks, 1);
  EXPECT_EQ(timer->Mode(), 0);
  Owner().Reset();
}

TEST(Timer, ClassTableAsTheWindowsTimerExpects) {
  const auto& c = fw::Timer::ClassHandle();
  ASSERT_EQ(c.Table().size(), 4u);
  EXPECT_EQ(c.Table()[0].name, "Reset");
  EXPECT_EQ(c.Table()[3].name, "CallAction");
  EXPECT_TRUE(c.Answers("actionSource"));
  EXPECT_EQ(c.FindProperty("Period")->type, fw::PropertyType::Int32);
}

}  // namespace
