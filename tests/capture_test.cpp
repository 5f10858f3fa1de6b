#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMouseEvent>
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
  std::string Status() const { return window->nummer()->Text(); }
  void Press() { window->PushButton1()->Push(); }
  void Tick() { window->Timer1()->CallAction(); }

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

}  // namespace
