#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <thread>

#include "app/startup.h"
#include "platform/ui/controls.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/runtime.h"
#include "window/window1.h"

namespace {

fw::Ref<fw::Window> MainWindow() { return fw::GetImplicitWindow("Window1.Window1"); }

// Runs the whole program in this process with `body` as PushButton1's Action handler, pressed
// once the loop runs, and `quit` 100 ms later. Returns the exit status and every step after the
// loop began; a quit that fails to end a run is taken over after 10 s, leaving "fallback".
int RunWithHandler(void (*body)(), void (*quit)(), std::vector<std::string>& steps,
                   std::function<void()> respond = {}) {
  static void (*handler)();
  handler = body;
  static const fw::Operation action{"Action", {}, "", "Test",
                                    [](fw::Object&, std::span<const fw::Value>) -> fw::Value {
                                      handler();
                                      return {};
                                    }};
  fw::SetDialogResponder([respond](const fw::DialogRequest&) -> std::optional<std::string> {
    respond();
    return std::nullopt;
  });
  fw::SetTraceSink([&, quit](std::string_view step) {
    if (step == "event loop" || !steps.empty()) steps.emplace_back(step);
    if (step != "event loop") return;
    QTimer::singleShot(10000, [&] { steps.push_back("fallback"), fw::Quit(); });
    QTimer::singleShot(100, quit);
    QTimer::singleShot(0, [] {
      auto button = MainWindow()->ControlAs<fw::PushButton>("PushButton1");
      fw::InstallInstanceEventHandler(*button, "Action", &action);
      qobject_cast<QPushButton*>(button->Widget())->click();
    });
  });
  // As started from a terminal, whatever the tests' own starter ignores.
  for (int s : {SIGTERM, SIGINT, SIGHUP}) std::signal(s, SIG_DFL);
  char name[] = "frametide";
  char* argv[] = {name, nullptr};
  const int status = frametide::Run(1, argv);
  fw::SetTraceSink({});
  fw::SetDialogResponder({});
  return status;
}

const std::vector<std::string> kShutdown = {
    "event loop", "event loop ended", "finalize", "release _mImplicitWindowList",
    "release mDirtyWindows", "release Windows", "Window1 exit", "release mArrayMap",
    "release sClassFQNToRefMap", "release sClassRefMap", "release plugin_entrypoints",
    "release Menu._implicitInstance", "runtime exit"};

bool unwound, returned, controlsThere, boxShown;
int boxResult;

void YieldForEver() {
  struct Guard {
    ~Guard() {
      unwound = true;  // the window is not torn down under a handler still unwinding
      controlsThere = static_cast<bool>(MainWindow()->FindControl("ProgressBar1"));
    }
  } guard;
  // Bounded only so that a quit that fails to unwind it fails the test instead of hanging it.
  QElapsedTimer running;
  for (running.start(); running.elapsed() < 8000;) fw::RuntimeBackgroundTask();
  returned = true;
}

// How the quit is asked for, by the user or the system.
void (*const kQuits[])() = {+[] { fw::Quit(); },
                            +[] { MainWindow()->PlatformWindow()->close(); },
                            +[] { ::kill(::getpid(), SIGINT); }};
const char* const kQuitNames[] = {"FileQuit", "ClosingTheWindow", "Sigint"};

class QuitDuringAHandler : public ::testing::TestWithParam<int> {};

TEST_P(QuitDuringAHandler, UnwindsItSilentlyAndShutsDownAsAfterQuit) {
  std::vector<std::string> steps;
  EXPECT_EQ(RunWithHandler(&YieldForEver, kQuits[GetParam()], steps,
                           [] { ADD_FAILURE() << "a dialog"; }), 0);
  EXPECT_TRUE(unwound);
  EXPECT_FALSE(returned);
  EXPECT_TRUE(controlsThere);
  EXPECT_EQ(steps, kShutdown);
}

INSTANTIATE_TEST_SUITE_P(Quit, QuitDuringAHandler, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return std::string(kQuitNames[info.param]); });

// The box is a real one, shown by the responder; the quit comes while it is up.
TEST(Quit, AMessageBoxOpenAtTheQuitIsClosedAndNoDialogFollows) {
  static int asked = 0;
  std::vector<std::string> steps;
  auto body = [] {
    fw::MsgBox("first");
    fw::MsgBox("second");
    returned = static_cast<bool>(fw::SelectFolder());
    YieldForEver();
  };
  EXPECT_EQ(RunWithHandler(body, [] { ::kill(::getpid(), SIGTERM); }, steps, [] {
              QMessageBox box(QMessageBox::Information, "Frametide", "first", QMessageBox::Ok);
              boxResult = box.exec();
              boxShown = box.isVisible() || ++asked > 1;
            }), 0);
  EXPECT_EQ(boxResult, QMessageBox::Rejected);
  EXPECT_FALSE(boxShown);
  EXPECT_FALSE(returned);  // neither a folder nor a normal end
  EXPECT_TRUE(unwound);
  EXPECT_EQ(steps, kShutdown);
}

TEST(Quit, TheDeadlineEndsAProcessThatWorkStillHolds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        fw::SetQuitDeadline(std::chrono::milliseconds(200));
        fw::Quit();
        std::this_thread::sleep_for(std::chrono::seconds(20));
      },
      ::testing::ExitedWithCode(0), "still busy");
}

// Whether the process has a handler of its own for `signo` yet: its loop runs.
bool Catches(qint64 pid, int signo) {
  QFile status(QString("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:"))
      return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signo - 1)) & 1;
  return false;
}

TEST(Quit, TheProgramEndsWithin3sOnTermIntAndHupWithTheStatusOfAQuit) {
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signo);
    QProcess program;
    program.setChildProcessModifier([] {
      for (int s : {SIGTERM, SIGINT, SIGHUP}) std::signal(s, SIG_DFL);
    });
    program.start(QCoreApplication::applicationDirPath() + "/frametide", {});
    QElapsedTimer waited;
    for (waited.start(); !Catches(program.processId(), signo) && waited.elapsed() < 20000;)
      QThread::msleep(20);
    ::kill(static_cast<pid_t>(program.processId()), signo);
    EXPECT_TRUE(program.waitForFinished(3000)) << "still running 3 s after the signal";
    program.kill();
    program.waitForFinished();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(program.readAllStandardError().contains("still busy"));
  }
}

}  // namespace
