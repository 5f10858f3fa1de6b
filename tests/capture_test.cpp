#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <regex>

#include "app/startup.h"
#include "platform/dialogs.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "tests/loopback_server.h"
#include "window/window1.h"

namespace {

using frametide::Window1;

// Start/Stop, the tick and the download events, through the real window: the folder chooser
// and message box are answered here, ticks come when a test asks (or from the real timer), and
// downloads go to servers of the test's own.
struct CaptureTest : ::testing::Test {
  fw::Ref<Window1> window;
  QTemporaryDir dir;
  std::optional<std::string> chooserAnswer;
  int choosers = 0;
  std::vector<std::string> messages;

  void SetUp() override {
    frametide::initialize();
    fw::RunFrameworkInitialization([] { frametide::Startup(); });
    window = Window1::Instance();
    fw::SetDialogResponder([this](const fw::DialogRequest& r) -> std::optional<std::string> {
      if (r.kind == fw::DialogRequest::Kind::MessageBox) {
        messages.push_back(r.text);
        return std::nullopt;
      }
      ++choosers;
      return chooserAnswer;
    });
    window->Timer1()->SetMode(fw::Timer::ModeOff);
    chooserAnswer = Folder();
  }
  void TearDown() override { fw::SetDialogResponder({}); }

  std::string Folder() const { return dir.path().toStdString(); }
  static std::string Read(const fw::Ref<fw::FolderItem>& file) {
    QFile f(QString::fromStdString(file->AbsolutePath()));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<unreadable>";
  }
  std::string Status() const { return window->nummer()->Text(); }
  void Press() { window->PushButton1()->Push(); }
  void Tick() { window->Timer1()->CallAction(); }
  // Ticks and waits for the download to complete.
  void Capture() {
    const int before = window->anzahl;
    Tick();
    ASSERT_TRUE(WaitFor([&] { return window->anzahl == before + 1; })) << Status();
  }

  // The schedule runs from `from` to `to` seconds after now.
  void Schedule(int from, int to) {
    window->dvon()->SetText(At(from));
    window->dbis()->SetText(At(to));
  }
  static std::string At(int offset) {
    fw::Date d;
    d.SetTotalSeconds(d.TotalSeconds() + offset);
    return fw::Str(d.Year()) + "," + fw::Str(d.Month()) + "," + fw::Str(d.Day()) + "," +
           fw::Str(d.Hour()) + "," + fw::Str(d.Minute()) + "," + fw::Str(d.Second());
  }
  // Armed on `url`, inside a schedule of a minute either side of now.
  void Arm(const std::string& url) {
    window->EditField1()->SetText(url);
    Press();
    ASSERT_EQ(window->status, 1);
    Schedule(-60, 60);
  }
};

TEST_F(CaptureTest, OpenWritesOneMomentIntoBothScheduleFields) {
  const std::string von = window->dvon()->Text();
  EXPECT_EQ(von, window->dbis()->Text());
  EXPECT_TRUE(std::regex_match(von, std::regex("[1-9][0-9]*(,([1-9]|[1-5][0-9]|0)){5}"))) << von;
  EXPECT_TRUE(von == At(0) || von == At(-1)) << von;
  // Start equals stop: no tick is inside the schedule, so none writes anything.
  window->nummer()->SetText("kept");
  window->status = 1;
  Tick();
  EXPECT_EQ(Status(), "kept");
}

TEST_F(CaptureTest, StartAndStopFollowCaptionAddressAndChooser) {
  window->nummer()->SetText("old text");
  Press();  // empty address, stopped
  EXPECT_EQ(messages, std::vector<std::string>{"try to paste a valid url into the field!"});
  EXPECT_EQ(choosers, 0);
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(window->PushButton1()->Caption(), "start");

  window->EditField1()->SetText(" ");  // one blank is an address
  chooserAnswer.reset();
  Press();  // the design caption "start" selects Start; the chooser is cancelled
  EXPECT_EQ(choosers, 1);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(window->status, 0);
  EXPECT_FALSE(window->savefolder);
  EXPECT_EQ(window->PushButton1()->Caption(), "start");

  chooserAnswer = Folder();
  window->downloading = 1;
  window->anzahl = 7;
  // A real click on the button, through the toolkit.
  QWidget* button = window->PushButton1()->Widget();
  const QPointF centre = QRectF(button->rect()).center();
  for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent click(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(button, &click);
  }
  EXPECT_EQ(choosers, 2);
  EXPECT_EQ(window->status, 1);
  EXPECT_EQ(window->downloading, 0);
  ASSERT_TRUE(window->savefolder);
  EXPECT_EQ(window->savefolder->AbsolutePath(), Folder());
  EXPECT_EQ(window->PushButton1()->Caption(), "Stop");

  window->EditField1()->SetText("");
  Press();  // empty address while armed: the message, and still armed
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(window->status, 1);
  EXPECT_EQ(window->PushButton1()->Caption(), "Stop");

  window->EditField1()->SetText("http://127.0.0.1:9/");
  window->downloading = 1;
  Press();  // Stop
  EXPECT_EQ(window->status, 0);
  EXPECT_EQ(window->downloading, 0);
  EXPECT_FALSE(window->savefolder);
  EXPECT_EQ(window->PushButton1()->Caption(), "Start");
  Press();  // Start again, from the caption Stop wrote
  EXPECT_EQ(choosers, 3);
  EXPECT_EQ(window->status, 1);
  EXPECT_EQ(window->anzahl, 7);
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(CaptureTest, TicksCaptureOnlyStrictlyInsideTheSchedule) {
  LoopbackServer server(LoopbackServer::Hold);
  window->EditField1()->SetText(server.Url("/cam.jpg"));
  // While stopped, a tick inside the schedule writes the waiting text; one outside, nothing.
  auto inside = [&](const std::string& von, const std::string& bis) {
    window->dvon()->SetText(von);
    window->dbis()->SetText(bis);
    window->nummer()->SetText("kept");
    Tick();
    if (Status() == "kept") return false;
    EXPECT_EQ(Status(), "waiting for day and hour to come");
    return true;
  };
  // A schedule edge at the current second, tried again when the clock moved on meanwhile.
  auto edgeAtNow = [&](bool start) {
    for (;;) {
      const std::string now = At(0);
      const bool result = start ? inside(now, At(60)) : inside(At(-60), now);
      if (At(0) == now) return result;
    }
  };
  EXPECT_TRUE(inside(At(-60), At(60)));
  EXPECT_FALSE(inside(At(10), At(60)));
  EXPECT_FALSE(inside(At(-60), At(-10)));
  EXPECT_FALSE(inside(At(60), At(-60)));
  EXPECT_FALSE(edgeAtNow(true));
  EXPECT_FALSE(edgeAtNow(false));
  // Missing pieces read as 0; pieces after the sixth are ignored.
  EXPECT_TRUE(inside(fw::Str(fw::Date().Year() - 1), At(60)));
  EXPECT_FALSE(inside(At(-60), ""));
  EXPECT_TRUE(inside(At(-60) + ",7,x", At(60) + ",0"));
  EXPECT_TRUE(server.requests.empty());

  // Armed and idle: a capture. With it in flight: the waiting text and no second request.
  Arm(server.Url("/cam.jpg"));
  Tick();
  EXPECT_EQ(window->downloading, 1);
  ASSERT_TRUE(WaitFor([&] { return server.requests.size() == 1; }));
  EXPECT_EQ(server.requests[0].substr(0, 23), "GET /cam.jpg HTTP/1.0\r\n");
  Tick();
  EXPECT_EQ(Status(), "waiting for day and hour to come");
  WaitFor([] { return false; }, 100);
  EXPECT_EQ(server.requests.size(), 1u);
}

// 640 by 480 in four coloured quarters, as JPEG.
QByteArray QuarteredJpeg() {
  QImage image(640, 480, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(0, 0, 320, 240, Qt::red);
  painter.fillRect(320, 0, 320, 240, Qt::blue);
  painter.fillRect(0, 240, 320, 240, Qt::green);
  painter.fillRect(320, 240, 320, 240, Qt::yellow);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 100);
  return bytes;
}

TEST_F(CaptureTest, ACaptureEndToEnd) {
  const QByteArray body = QuarteredJpeg();
  ASSERT_FALSE(body.isEmpty());
  LoopbackServer server(LoopbackServer::Answer(
      "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
      QByteArray::number(body.size()) + "\r\n\r\n" + body));
  Arm(server.Url("/cam.jpg"));
  // The first capture comes from a real expiry of the timer.
  const qint64 before = QDateTime::currentSecsSinceEpoch();
  window->Timer1()->SetPeriod(20);
  window->Timer1()->SetMode(fw::Timer::ModeMultiple);
  ASSERT_TRUE(WaitFor([&] { return window->anzahl == 1; }));
  window->Timer1()->SetMode(fw::Timer::ModeOff);
  const qint64 after = QDateTime::currentSecsSinceEpoch();

  const QStringList files = QDir(dir.path()).entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  const std::string name = files[0].toStdString();
  bool named = false;
  for (qint64 t = before; t <= after; ++t)
    named |= name == QDateTime::fromSecsSinceEpoch(t).toString("yyyy-MM-dd-hh-mm-ss.jpg").toStdString();
  EXPECT_TRUE(named) << name;
  EXPECT_EQ(window->aktuellsave->AbsolutePath(), Folder() + "/" + name);
  EXPECT_EQ(Status(), "fetching " + name);
  EXPECT_EQ(Read(window->aktuellsave), body.toStdString());
  EXPECT_EQ(window->downloading, 0);
  EXPECT_EQ(window->Timer1()->Period(), 10000);
  EXPECT_EQ(window->aktuellsave->MacType(), "JPEG");
  EXPECT_EQ(window->aktuellsave->MacCreator(), "ogle");
  EXPECT_EQ(window->ProgressBar1()->Maximum(), 100);
  EXPECT_EQ(window->ProgressBar1()->Value(), 0);

  // The whole image stretched into the whole canvas: no crop, no letterbox.
  auto preview = window->Canvas1()->Backdrop();
  ASSERT_TRUE(preview);
  ASSERT_EQ(preview->Image().size(), QSize(280, 203));
  auto near = [&](int x, int y, QColor expected) {
    const QColor c = preview->Image().pixelColor(x, y);
    return std::abs(c.red() - expected.red()) < 40 && std::abs(c.green() - expected.green()) < 40 &&
           std::abs(c.blue() - expected.blue()) < 40 && c.alpha() == 255;
  };
  EXPECT_TRUE(near(0, 0, Qt::red));
  EXPECT_TRUE(near(135, 96, Qt::red));
  EXPECT_TRUE(near(145, 96, Qt::blue));
  EXPECT_TRUE(near(135, 106, Qt::green));
  EXPECT_TRUE(near(279, 202, Qt::yellow));

  // The next period comes from the field, in whole seconds from 1 to 2147483.
  const std::pair<const char*, std::int32_t> periods[] = {
      {"30", 30000}, {"0", 1000}, {"-5", 1000}, {"abc", 1000},
      {"2147483", 2147483000}, {"9999999", 2147483000}, {"10", 10000}};
  for (const auto& [text, period] : periods) {
    window->periode()->SetText(text);
    Capture();
    EXPECT_EQ(window->Timer1()->Period(), period) << text;
  }
  EXPECT_EQ(window->anzahl, 8);
  EXPECT_EQ(server.requests.size(), 8u);
}

TEST_F(CaptureTest, ProgressBarFollowsTheBody) {
  LoopbackServer server(LoopbackServer::Hold);
  Arm(server.Url("/"));
  auto bar = [&](std::int32_t maximum, std::int32_t value) {
    return WaitFor([&] {
      return window->ProgressBar1()->Maximum() == maximum && window->ProgressBar1()->Value() == value;
    });
  };
  window->ProgressBar1()->SetMaximum(7);
  window->ProgressBar1()->SetValue(3);
  Tick();
  ASSERT_TRUE(WaitFor([&] { return server.Peer() != nullptr; }));
  server.Peer()->write("HTTP/1.0 200 OK\r\nContent-Length: 200\r\n\r\n");
  EXPECT_TRUE(bar(100, 0));
  server.Peer()->write(QByteArray(50, 'a'));
  EXPECT_TRUE(bar(100, 25));
  server.Peer()->write(QByteArray(250, 'b'));  // more than announced
  EXPECT_TRUE(bar(100, 150));
  server.Peer()->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return window->anzahl == 1; }));
  EXPECT_TRUE(bar(100, 0));

  // Without a length the bar only shows activity, and keeps its value.
  window->ProgressBar1()->SetValue(37);
  Tick();
  ASSERT_TRUE(WaitFor([&] { return server.requests.size() == 2; }));
  server.Peer()->write("HTTP/1.0 200 OK\r\n\r\nsome");
  EXPECT_TRUE(bar(0, 37));
  server.Peer()->disconnectFromHost();
  ASSERT_TRUE(WaitFor([&] { return window->anzahl == 2; }));
  EXPECT_TRUE(bar(100, 0));
}

TEST_F(CaptureTest, ErrorPagesAndEmptyAnswersAreCapturesWithoutPreview) {
  const std::string page = "<html>not found</html>";
  LoopbackServer server(
      LoopbackServer::Answer("HTTP/1.0 404 Not Found\r\n\r\n" + QByteArray::fromStdString(page)));
  Arm(server.Url("/gone.jpg"));
  auto shown = fw::NewPicture(280, 203, 32);
  window->Canvas1()->SetBackdrop(shown);
  window->periode()->SetText("30");
  Capture();
  EXPECT_EQ(window->downloading, 0);
  EXPECT_EQ(Read(window->aktuellsave), page);  // kept as the server sent it
  EXPECT_EQ(window->Canvas1()->Backdrop().Get(), shown.Get());
  EXPECT_EQ(window->Timer1()->Period(), 30000);
  EXPECT_EQ(window->aktuellsave->MacType(), "JPEG");

  server.SetReply(LoopbackServer::HangUp);
  window->periode()->SetText("20");
  Capture();
  EXPECT_TRUE(window->aktuellsave->Exists());
  EXPECT_EQ(Read(window->aktuellsave), "");
  EXPECT_FALSE(window->Socket1()->PageHeaders());  // no header block: status 0
  EXPECT_EQ(window->Canvas1()->Backdrop().Get(), shown.Get());
  EXPECT_EQ(window->Timer1()->Period(), 20000);
  EXPECT_EQ(window->downloading, 0);
  EXPECT_EQ(window->anzahl, 2);
}

TEST_F(CaptureTest, CaptureGoesOnAfterEveryFailure) {
  LoopbackServer server(LoopbackServer::Answer("HTTP/1.0 200 OK\r\n\r\nimage"));
  Arm(server.Url("/cam.jpg"));

  server.Stop();  // refused
  Tick();
  ASSERT_TRUE(WaitFor([&] { return Status() == "Error code 111 has occurred."; })) << Status();
  EXPECT_EQ(window->downloading, 0);
  Schedule(10, 60);
  Tick();  // outside the schedule: the error text stays
  EXPECT_EQ(Status(), "Error code 111 has occurred.");
  Schedule(-60, 60);
  ASSERT_TRUE(server.Restart());
  Capture();
  EXPECT_EQ(Read(window->aktuellsave), "image");

  // The folder is gone (root ignores permission bits, so it is moved away): the socket cannot
  // prepare the file and raises Error 1 from within Get.
  const QString away = dir.path() + ".away";
  ASSERT_TRUE(QDir().rename(dir.path(), away));
  Tick();
  EXPECT_EQ(Status(), "Error code 1 has occurred.");
  EXPECT_EQ(window->downloading, 0);
  ASSERT_TRUE(QDir().rename(away, dir.path()));
  Capture();
  EXPECT_EQ(Read(window->aktuellsave), "image");

  // A server that never answers: the download ends at the socket's timeout, and the next tick
  // captures again.
  server.SetReply(LoopbackServer::Hold);
  window->Socket1()->SetTimeouts(2000, 300);
  Capture();
  EXPECT_EQ(Read(window->aktuellsave), "");
  EXPECT_EQ(window->downloading, 0);
  server.SetReply(LoopbackServer::Answer("HTTP/1.0 200 OK\r\n\r\nimage"));
  Capture();
  EXPECT_EQ(window->anzahl, 4);
  EXPECT_EQ(server.requests.size(), 4u);  // the refused and the unprepared never reached it
}

TEST_F(CaptureTest, StopAndStartDuringADownload) {
  LoopbackServer server(LoopbackServer::Hold);
  Arm(server.Url("/cam.jpg"));
  window->anzahl = 5;
  Tick();
  ASSERT_TRUE(WaitFor([&] { return server.Peer() != nullptr; }));
  QPointer<QTcpSocket> first = server.Peer();
  first->write("HTTP/1.0 200 OK\r\n\r\nfirst part");
  ASSERT_TRUE(WaitFor([&] { return window->ProgressBar1()->Maximum() == 0; }));
  const auto firstFile = window->aktuellsave;
  Press();
  Press();
  EXPECT_EQ(choosers, 2);
  EXPECT_EQ(window->status, 1);
  EXPECT_EQ(window->downloading, 0);

  // A new second, so that the new capture has a file of its own.
  const std::string second = At(0);
  WaitFor([&] { return At(0) != second; }, 1500);
  server.SetReply(LoopbackServer::Answer("HTTP/1.0 200 OK\r\n\r\nsecond"));
  Capture();
  EXPECT_NE(window->aktuellsave->AbsolutePath(), firstFile->AbsolutePath());
  EXPECT_EQ(Read(window->aktuellsave), "second");
  EXPECT_EQ(Read(firstFile), "first part");
  if (first) first->write("late");
  WaitFor([] { return false; }, 100);
  EXPECT_EQ(Read(firstFile), "first part");
  EXPECT_EQ(window->anzahl, 6);
}

TEST_F(CaptureTest, FileCodesFollowTheEnding) {
  // Downloads outside a capture (no file of the tick) get their codes by the file's ending.
  LoopbackServer server;
  const std::tuple<const char*, const char*, const char*> kinds[] = {
      {"a.mov", "MooV", "TVOD"}, {"b.MP4", "MooV", "TVOD"}, {"c.JPG", "JPEG", "ogle"},
      {"d.mp3", "MPG3", "MPgP"}, {"e.jpeg", "", ""},        {"f.png", "", ""}};
  int completed = 0;
  for (const auto& [name, type, creator] : kinds) {
    auto file = fw::GetFolderItem(Folder())->Child(name);
    window->Socket1()->Get(server.Url("/"), file);
    ASSERT_TRUE(WaitFor([&] { return window->anzahl == completed + 1; })) << name;
    ++completed;
    EXPECT_EQ(file->MacType(), type) << name;
    EXPECT_EQ(file->MacCreator(), creator) << name;
  }
  EXPECT_FALSE(window->aktuellsave);
  EXPECT_FALSE(window->Canvas1()->Backdrop());
}

}  // namespace
