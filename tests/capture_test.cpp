#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>

#include <sys/resource.h>
#include <sys/xattr.h>

#include "platform/text/text.h"
#include "tests/loopback_server.h"
#include "tests/window_fixture.h"

namespace {

const QByteArray kOk = "HTTP/1.0 200 OK\r\n\r\n";
const char* const kWaiting = "waiting for day and hour to come";

// Ticks come when a test asks, not from the timer.
struct CaptureTest : WindowFixture {
  QTemporaryDir dir;

  void SetUp() override {
    WindowFixture::SetUp();
    folder = dir.path().toStdString();
    window->Timer1()->SetMode(fw::Timer::ModeOff);
  }
  std::string Status() const { return window->nummer()->Text(); }
  // status, downloading, anzahl, caption, [status line]
  std::string State() const {
    return fw::Str(window->status) + " " + fw::Str(window->downloading) + " " +
           fw::Str(window->anzahl) + " " + window->PushButton1()->Caption() + " [" + Status() + "]";
  }
  void Press() { window->PushButton1()->Push(); }
  void Tick() { window->Timer1()->CallAction(); }
  void Capture() {
    const int before = window->anzahl;
    Tick();
    ASSERT_TRUE(WaitFor([&] { return window->anzahl == before + 1; })) << State();
  }
  // The schedule value of now plus `offset` seconds, by the clock the window reads.
  static std::string At(int offset) {
    fw::Date d;
    d.SetTotalSeconds(d.TotalSeconds() + offset);
    return QDateTime(QDate(d.Year(), d.Month(), d.Day()), QTime(d.Hour(), d.Minute(), d.Second()))
        .toString("yyyy,M,d,H,m,s")
        .toStdString();
  }
  void Schedule(const std::string& von, const std::string& bis) {
    window->dvon()->SetText(von);
    window->dbis()->SetText(bis);
  }
  void Arm(const std::string& url) {
    window->EditField1()->SetText(url);
    Press();
    ASSERT_EQ(window->status, 1);
    Schedule(At(-60), At(60));
  }
  static std::string Read(const fw::Ref<fw::FolderItem>& file) {
    QFile f(QString::fromStdString(file->AbsolutePath()));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<unreadable>";
  }
};

TEST_F(CaptureTest, StartAndStopFollowCaptionAddressAndChooser) {
  window->nummer()->SetText("old");
  Press();  // no address
  EXPECT_EQ(State(), "0 0 0 start []");
  window->EditField1()->SetText(" ");  // one blank is an address
  folder.reset();
  Press();  // the design caption "start" selects Start; the chooser is cancelled
  EXPECT_EQ(State(), "0 0 0 start []");
  EXPECT_FALSE(window->savefolder);

  folder = dir.path().toStdString();
  window->downloading = 1;
  window->anzahl = 7;
  Click(window->PushButton1());
  EXPECT_EQ(State(), "1 0 7 Stop []");
  EXPECT_EQ(window->savefolder->AbsolutePath(), *folder);
  window->EditField1()->SetText("");
  Press();  // no address while armed: the message, still armed
  EXPECT_EQ(State(), "1 0 7 Stop []");
  window->EditField1()->SetText("http://127.0.0.1:9/");
  window->downloading = 1;
  Press();
  EXPECT_EQ(State(), "0 0 7 Start []");
  EXPECT_FALSE(window->savefolder);
  Press();
  EXPECT_EQ(State(), "1 0 7 Stop []");
  EXPECT_EQ(messages, std::vector<std::string>(2, "try to paste a valid url into the field!"));
  EXPECT_EQ(asked.size(), 5u);  // and three choosers
}

TEST_F(CaptureTest, TicksCaptureOnlyStrictlyInsideTheSchedule) {
  LoopbackServer server(LoopbackServer::Hold);
  window->EditField1()->SetText(server.Url("/cam.jpg"));
  // Stopped, a tick inside writes the waiting text; outside, nothing.
  auto inside = [&](const std::string& von, const std::string& bis) {
    Schedule(von, bis);
    window->nummer()->SetText("kept");
    Tick();
    return Status() == kWaiting ? true : Status() == "kept" ? false : throw std::logic_error(Status());
  };
  // An edge at the current second, tried again when the clock moved on meanwhile.
  auto edgeAtNow = [&](bool start) {
    for (;;) {
      const std::string now = At(0);
      const bool result = start ? inside(now, At(60)) : inside(At(-60), now);
      if (At(0) == now) return result;
    }
  };
  // Start-up writes one moment into both; which one is checked on a held clock elsewhere.
  const std::string opened = window->dvon()->Text();
  EXPECT_EQ(window->dbis()->Text(), opened);
  EXPECT_FALSE(inside(opened, opened));
  EXPECT_TRUE(inside(At(-60), At(60)));
  EXPECT_FALSE(inside(At(10), At(60)));
  EXPECT_FALSE(inside(At(-60), At(-10)));
  EXPECT_FALSE(inside(At(60), At(-60)));
  EXPECT_FALSE(edgeAtNow(true));
  EXPECT_FALSE(edgeAtNow(false));
  // Missing pieces read as 0; pieces after the sixth are ignored.
  EXPECT_TRUE(inside(fw::Str(QDate::currentDate().year() - 1), At(60)));
  EXPECT_FALSE(inside(At(-60), ""));
  EXPECT_TRUE(inside(At(-60) + ",7,x", At(60) + ",0"));
  EXPECT_TRUE(server.requests.empty());

  Arm(server.Url("/cam.jpg"));
  Tick();
  EXPECT_EQ(window->downloading, 1);
  ASSERT_TRUE(WaitFor([&] { return server.requests.size() == 1; }));
  EXPECT_EQ(server.requests[0].substr(0, 23), "GET /cam.jpg HTTP/1.0\r\n");
  Tick();  // one in flight: the waiting text, no second request
  EXPECT_EQ(Status(), kWaiting);
  WaitFor([] { return false; }, 100);
  EXPECT_EQ(server.requests.size(), 1u);
}

TEST_F(CaptureTest, ACaptureEndToEnd) {
  QImage image(640, 480, QImage::Format_RGB32);  // red and blue quarters above a green half
  image.fill(Qt::green);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 640; ++x) image.setPixel(x, y, x < 320 ? 0xffff0000 : 0xff0000ff);
  QBuffer buffer;
  ASSERT_TRUE(image.save(&buffer, "JPG", 100));
  const QByteArray body = buffer.data();
  LoopbackServer server(LoopbackServer::Answer(
      "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body));
  Arm(server.Url("/cam.jpg"));
  const qint64 before = QDateTime::currentSecsSinceEpoch();
  window->Timer1()->SetPeriod(20);  // the first capture comes from a real expiry
  window->Timer1()->SetMode(fw::Timer::ModeSingle);
  ASSERT_TRUE(WaitFor([&] { return window->anzahl == 1; }));
  const qint64 after = QDateTime::currentSecsSinceEpoch();

  const QStringList files = QDir(dir.path()).entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  const std::string name = files[0].toStdString();
  bool named = false;
  for (qint64 t = before; t <= after; ++t)
    named |= files[0] == QDateTime::fromSecsSinceEpoch(t).toString("yyyy-MM-dd-hh-mm-ss.jpg");
  EXPECT_TRUE(named) << name;
  EXPECT_EQ(window->aktuellsave->AbsolutePath(), dir.filePath(files[0]).toStdString());
  EXPECT_EQ(State(), "1 0 1 Stop [fetching " + name + "]");
  EXPECT_EQ(Read(window->aktuellsave), body.toStdString());
  EXPECT_EQ(window->Timer1()->Period(), 10000);
  EXPECT_EQ(window->aktuellsave->MacType() + window->aktuellsave->MacCreator(), "JPEGogle");
  EXPECT_EQ(window->ProgressBar1()->Maximum() * 1000 + window->ProgressBar1()->Value(), 100000);

  // The whole image stretched into the whole canvas: no crop, no letterbox.
  const QImage preview = window->Canvas1()->Backdrop()->Image();
  ASSERT_EQ(preview.size(), QSize(280, 203));
  const std::tuple<int, int, QRgb> points[] = {{0, 0, 0xff0000}, {135, 96, 0xff0000},
                                               {145, 96, 0x0000ff}, {135, 106, 0x00ff00},
                                               {279, 202, 0x00ff00}};
  for (const auto& [x, y, rgb] : points) {
    const QRgb seen = preview.pixel(x, y);  // a transparent or black border fails too
    EXPECT_LT(std::abs(qRed(seen) - qRed(rgb)) + std::abs(qGreen(seen) - qGreen(rgb)) +
                  std::abs(qBlue(seen) - qBlue(rgb)), 60) << x << "," << y;
  }

  // The next period: the field's whole seconds, from 1 to 2147483.
  for (const auto& [text, period] : std::initializer_list<std::pair<const char*, int>>{
           {"30", 30000}, {"0", 1000}, {"-5", 1000}, {"abc", 1000},
           {"2147483", 2147483000}, {"9999999", 2147483000}}) {
    window->periode()->SetText(text);
    Capture();
    EXPECT_EQ(window->Timer1()->Period(), period) << text;
  }
  EXPECT_EQ(server.requests.size(), 7u);
}

TEST_F(CaptureTest, FaultsAreCapturesOrErrorsAndCaptureGoesOn) {
  LoopbackServer server(LoopbackServer::Answer("HTTP/1.0 404 Not Found\r\n\r\n<html>gone</html>"));
  Arm(server.Url("/gone.jpg"));
  auto shown = fw::NewPicture(280, 203, 32);
  window->Canvas1()->SetBackdrop(shown);
  window->periode()->SetText("30");
  Capture();
  EXPECT_EQ(Status(), "Error code 404 has occurred.");
  EXPECT_EQ(Read(window->aktuellsave), "<html>gone</html>");  // kept as the server sent it
  EXPECT_EQ(window->Timer1()->Period(), 30000);
  EXPECT_EQ(window->aktuellsave->MacType(), "JPEG");

  server.reply = LoopbackServer::HangUp;
  window->periode()->SetText("20");
  Capture();
  EXPECT_EQ(Status(), "Error code 74 has occurred.");
  EXPECT_EQ(Read(window->aktuellsave), "");
  EXPECT_FALSE(window->Socket1()->PageHeaders());  // no header block: status 0
  EXPECT_EQ(window->Timer1()->Period(), 20000);
  EXPECT_EQ(window->Canvas1()->Backdrop().Get(), shown.Get());
  EXPECT_EQ(window->downloading, 0);

  server.reply = LoopbackServer::Answer(kOk + "image");
  server.Stop();  // refused
  const std::string second = At(0);  // a name of its own, not that of the last capture
  WaitFor([&] { return At(0) != second; }, 1500);
  const auto files = QDir(dir.path()).entryList(QDir::Files);
  Tick();
  ASSERT_TRUE(WaitFor([&] { return Status() == "Error code 111 has occurred."; })) << Status();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), files) << "no empty file left";
  EXPECT_EQ(window->downloading, 0);
  Schedule(At(10), At(60));
  Tick();  // outside: the error text stays
  EXPECT_EQ(Status(), "Error code 111 has occurred.");
  Schedule(At(-60), At(60));
  ASSERT_TRUE(server.Restart());
  Capture();

  // The folder moved away (root ignores permission bits): Error 1 from within Get.
  const QString away = dir.path() + ".away";
  ASSERT_TRUE(QDir().rename(dir.path(), away));
  Tick();
  EXPECT_EQ(State(), "1 0 3 Stop [Error code 1 has occurred.]");
  ASSERT_TRUE(QDir().rename(away, dir.path()));
  Capture();
  EXPECT_EQ(Read(window->aktuellsave), "image");

  // A server that never answers: the download ends at the socket's timeout.
  server.reply = LoopbackServer::Hold;
  window->Socket1()->SetTimeouts(2000, 300);
  Capture();
  EXPECT_EQ(Read(window->aktuellsave), "");
  server.reply = LoopbackServer::Answer(kOk + "image");
  Capture();
  EXPECT_EQ(State(), "1 0 6 Stop [fetching " + window->aktuellsave->Name() + "]");
  EXPECT_EQ(server.requests.size(), 6u);

  // Other downloads get their codes by their file's ending; with no capture file, no preview.
  window->aktuellsave = nullptr;
  server.reply = LoopbackServer::Answer(kOk);
  for (const auto& [name, codes] : std::initializer_list<std::pair<const char*, std::string>>{
           {"a.mov", "MooVTVOD"}, {"b.MP4", "MooVTVOD"}, {"c.mp3", "MPG3MPgP"}, {"d.png", ""}}) {
    auto file = fw::GetFolderItem(dir.filePath(name).toStdString());
    const int before = window->anzahl;
    window->Socket1()->Get(server.Url("/"), file);
    ASSERT_TRUE(WaitFor([&] { return window->anzahl == before + 1; }));
    EXPECT_EQ(file->MacType() + file->MacCreator(), codes) << name;
  }
}

TEST_F(CaptureTest, ProgressBarAndStopAndStartDuringADownload) {
  LoopbackServer server(LoopbackServer::Hold);
  Arm(server.Url("/cam.jpg"));
  auto bar = [&](int maximum, int value) {
    return WaitFor([&] {
      return window->ProgressBar1()->Maximum() == maximum && window->ProgressBar1()->Value() == value;
    });
  };
  window->anzahl = 5;
  window->ProgressBar1()->SetValue(37);
  Tick();
  ASSERT_TRUE(WaitFor([&] { return server.peer; }));
  QPointer<QTcpSocket> first = server.peer;
  first->write(kOk + "first part");  // no length: the bar only shows activity
  EXPECT_TRUE(bar(0, 37));
  const auto firstFile = window->aktuellsave;
  Press();
  Press();
  EXPECT_EQ(State(), "1 0 5 Stop []");
  const std::string second = At(0);  // a new second: the new capture gets a file of its own
  WaitFor([&] { return At(0) != second; }, 1500);

  Tick();
  ASSERT_TRUE(WaitFor([&] { return server.requests.size() == 2 && server.peer != first; }));
  server.peer->write("HTTP/1.0 200 OK\r\nContent-Length: 200\r\n\r\n");
  window->ProgressBar1()->SetValue(3);
  EXPECT_TRUE(bar(100, 0));
  server.peer->write(QByteArray(50, 'a'));
  EXPECT_TRUE(bar(100, 25));
  server.peer->write(QByteArray(250, 'b'));  // more than announced
  EXPECT_TRUE(bar(100, 150));
  server.peer->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return window->anzahl == 6; }));
  EXPECT_TRUE(bar(100, 0));
  EXPECT_NE(window->aktuellsave->AbsolutePath(), firstFile->AbsolutePath());
  EXPECT_EQ(Read(window->aktuellsave), std::string(50, 'a') + std::string(250, 'b'));
  if (first) first->write("late");
  WaitFor([] { return false; }, 100);
  EXPECT_EQ(Read(firstFile), "first part");
  EXPECT_EQ(window->anzahl, 6);
}

// Captures come at the period, however long the camera takes to answer; a new period counts
// from the last tick.
TEST_F(CaptureTest, CapturesKeepThePeriodWhateverTheDownloadTakes) {
  QElapsedTimer clock;
  std::vector<qint64> asked;
  LoopbackServer server([&](QTcpSocket* peer) {
    asked.push_back(clock.elapsed());
    QTimer::singleShot(600, peer, [peer] { LoopbackServer::Answer(kOk + "image")(peer); });
  });
  Arm(server.Url("/slow.jpg"));
  window->periode()->SetText("1");
  clock.start();
  window->Timer1()->SetPeriod(1000);
  window->Timer1()->SetMode(fw::Timer::ModeMultiple);
  ASSERT_TRUE(WaitFor([&] { return asked.size() == 3; }, 4000));
  window->periode()->SetText("2");  // taken at the next completion
  ASSERT_TRUE(WaitFor([&] { return asked.size() == 4; }, 3000));
  // A request reaches the server a little after its tick; the fault adds 600 ms to each period.
  const qint64 expected[] = {1000, 2000, 3000, 5000};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(asked[i], expected[i], 100) << "capture " << i;
}

TEST_F(CaptureTest, TheStatusLineTellsAFailingCameraAndAFullDiskLeavesNoFile) {
  LoopbackServer server(LoopbackServer::Hold);
  Arm(server.Url("/cam.jpg"));
  for (const auto& [answer, shown] : std::initializer_list<std::pair<QByteArray, std::string>>{
           {"HTTP/1.0 500 Internal Server Error\r\n\r\ndown", "Error code 500 has occurred."},
           {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789", "Error code 74 has occurred."},
           {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789", "fetching "}}) {
    server.reply = LoopbackServer::Answer(answer);
    Capture();
    EXPECT_EQ(Status().substr(0, shown.size()), shown);
    EXPECT_EQ(Read(window->aktuellsave), answer.mid(answer.indexOf("\r\n\r\n") + 4).toStdString());
  }
  // Not a byte can be written: the file made for the capture goes again.
  QDir(dir.path()).removeRecursively();
  QDir().mkpath(dir.path());
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit full{0, old.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  Tick();
  WaitFor([&] { return window->downloading == 0; });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(Status(), "Error code 5 has occurred.");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

// No room left for the codes on the file system: nothing is shown, capture goes on.
TEST_F(CaptureTest, CodesThatCannotBeStoredAreSkippedSilently) {
  const std::string path = dir.filePath("full.jpg").toStdString();
  QFile(QString::fromStdString(path)).open(QIODevice::WriteOnly);
  int error = 0, n = 0;
  for (const std::size_t size : {255, 16, 1}) {  // to the last byte of room
    const std::string pad(size, 'x');
    for (error = 0; n < 5000 && !error; ++n)
      if (setxattr(path.c_str(), ("user.p" + std::to_string(n)).c_str(), pad.data(), size, 0) != 0)
        error = errno;
  }
  if (error != ENOSPC && error != E2BIG && error != EDQUOT) GTEST_SKIP() << "attributes never fill";
  LoopbackServer server(LoopbackServer::Answer(kOk + "image"));
  window->Socket1()->Get(server.Url("/"), fw::GetFolderItem(path));
  ASSERT_TRUE(WaitFor([&] { return window->anzahl == 1; }));
  EXPECT_EQ(messages, std::vector<std::string>());
}

// Quit while a download runs: the program ends within 3 s and leaves no capture cut short; an
// earlier capture stays as it was.
TEST(CaptureQuit, QuitInTheMiddleOfADownloadLeavesNoCaptureCutShort) {
  QTemporaryDir dir;
  QFile earlier(dir.filePath("2020-01-01-00-00-00.jpg"));
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
  earlier.close();
  fw::SetDialogResponder([&](const fw::DialogRequest&) { return std::optional(dir.path().toStdString()); });
  std::unique_ptr<LoopbackServer> server;
  QElapsedTimer quitting;
  fw::SetTraceSink([&](std::string_view step) {
    if (step == "runtime exit") server.reset();
    if (step != "event loop") return;
    server = std::make_unique<LoopbackServer>([&](QTcpSocket* peer) {
      peer->write("HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + QByteArray(5000, 'x'));
      QTimer::singleShot(200, [&] { quitting.start(), fw::Quit(); });
    });
    auto window = frametide::Window1::Instance();
    window->EditField1()->SetText(server->Url("/cam.jpg"));
    window->PushButton1()->Push();
    window->dvon()->SetText(CaptureTest::At(-60));
    window->dbis()->SetText(CaptureTest::At(60));
    QTimer::singleShot(0, [window] { window->Timer1()->CallAction(); });
  });
  char name[] = "frametide";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(frametide::Run(1, argv), 0);
  fw::SetTraceSink({});
  fw::SetDialogResponder({});
  EXPECT_TRUE(quitting.isValid() && quitting.elapsed() < 3000);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"2020-01-01-00-00-00.jpg"});
  ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
  EXPECT_EQ(earlier.readAll(), "earlier");
}

}  // namespace
