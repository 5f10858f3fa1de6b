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
#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include "app/startup.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/runtime.h"
#include "window/window1.h"

namespace {

struct ProgramRun {
  std::vector<std::string> steps;
  std::vector<std::string> asked;  // texts of the dialogs the responder was asked to show
  int status = -1;
  qint64 quitToExitMs = -1;
  bool fallbackQuit = false;
};

// Runs the whole program in this process; `atLoop` runs once the event loop is running.
// `respond` answers the dialogs; if nothing else ends the run, a quit comes after 10 s.
ProgramRun RunProgram(std::function<void()> atLoop,
               std::function<void()> respond = {}) {
  ProgramRun run;
  fw::SetDialogResponder([&](const fw::DialogRequest& r) -> std::optional<std::string> {
    run.asked.push_back(r.text);
    if (respond) respond();
    return std::nullopt;
  });
  fw::SetTraceSink([&, atLoop](std::string_view step) {
    run.steps.emplace_back(step);
    if (step == "event loop") {
      QTimer::singleShot(0, atLoop);
      QTimer::singleShot(10000, [&] {
        run.fallbackQuit = true;
        fw::Quit();
      });
    }
  });
  char name[] = "frametide";
  char* argv[] = {name, nullptr};
  run.status = frametide::Run(1, argv);
  fw::SetTraceSink({});
  fw::SetDialogResponder({});
  return run;
}

// The whole of shutdown, as after File > Quit.
void ExpectCompleteShutdown(const ProgramRun& run) {
  EXPECT_FALSE(run.fallbackQuit);
  EXPECT_EQ(run.status, 0);
  const std::vector<std::string> expected = {
      "event loop", "event loop ended", "finalize", "release _mImplicitWindowList",
      "release mDirtyWindows", "release Windows", "Window1 exit", "release mArrayMap",
      "release sClassFQNToRefMap", "release sClassRefMap", "release plugin_entrypoints",
      "release Menu._implicitInstance", "runtime exit"};
  auto from = std::find(run.steps.begin(), run.steps.end(), "event loop");
  ASSERT_NE(from, run.steps.end());
  std::vector<std::string> tail(from, run.steps.end());
  tail.erase(std::remove_if(tail.begin(), tail.end(),
                            [](const std::string& s) { return s.rfind("handler", 0) == 0; }),
             tail.end());
  EXPECT_EQ(tail, expected);
}

fw::Ref<frametide::Window1> MainWindow() {
  return fw::Cast<frametide::Window1>(fw::GetImplicitWindow("Window1.Window1"));
}

// Makes `body` the Action handler of PushButton1 and presses the button.
void PressWithHandler(void (*body)()) {
  static void (*current)() = nullptr;
  current = body;
  static const fw::Operation operation{"QuitTestAction", {}, "", "Test",
                                       [](fw::Object&, std::span<const fw::Value>) -> fw::Value {
                                         current();
                                         return {};
                                       }};
  auto button = MainWindow()->ControlAs<fw::PushButton>("PushButton1");
  fw::InstallInstanceEventHandler(*button, "Action", &operation);
  qobject_cast<QPushButton*>(button->Widget())->click();
}

// What a handler that yields for ever went through.
struct Yielder {
  static inline int yields = 0;
  static inline bool unwound = false, returned = false, controlsThere = false;
  static inline QElapsedTimer clock;
  static void Body() {
    struct Guard {
      ~Guard() {
        unwound = true;
        // The window is not torn down under a handler that is still unwinding.
        controlsThere = MainWindow() && MainWindow()->FindControl("ProgressBar1");
        clock.start();
      }
    } guard;
    // Bounded only so that a quit that fails to unwind it fails the test instead of hanging it.
    QElapsedTimer running;
    running.start();
    while (running.elapsed() < 8000) {
      fw::RuntimeBackgroundTask();
      ++yields;
    }
    returned = true;
  }
};

TEST(Quit, AQuitUnwindsAHandlerThatYieldsForEver) {
  ProgramRun run = RunProgram([] {
    QTimer::singleShot(50, [] { fw::Quit(); });
    PressWithHandler(&Yielder::Body);
  });
  EXPECT_GT(Yielder::yields, 0);
  EXPECT_TRUE(Yielder::unwound);
  EXPECT_FALSE(Yielder::returned);
  EXPECT_TRUE(Yielder::controlsThere);
  EXPECT_TRUE(run.asked.empty());  // ended silently, no message box
  EXPECT_LT(Yielder::clock.elapsed(), 3000);
  ExpectCompleteShutdown(run);
}

TEST(Quit, ClosingTheMainWindowDuringAHandlerUnwindsItAndShutsDown) {
  ProgramRun run = RunProgram([] {
    QTimer::singleShot(50, [] { MainWindow()->PlatformWindow()->close(); });
    PressWithHandler(&Yielder::Body);
  });
  EXPECT_TRUE(Yielder::unwound);
  EXPECT_FALSE(Yielder::returned);
  EXPECT_TRUE(Yielder::controlsThere);
  ExpectCompleteShutdown(run);
}

TEST(Quit, ASignalDuringAHandlerEndsTheRunAsQuitDoes) {
  ProgramRun run = RunProgram([] {
    QTimer::singleShot(50, [] { ::kill(::getpid(), SIGINT); });
    PressWithHandler(&Yielder::Body);
  });
  EXPECT_TRUE(Yielder::unwound);
  EXPECT_FALSE(Yielder::returned);
  EXPECT_TRUE(fw::QuitRequested());
  ExpectCompleteShutdown(run);
}

TEST(Quit, ASignalWhileIdleEndsTheRunAsQuitDoes) {
  ProgramRun run = RunProgram([] { ::kill(::getpid(), SIGHUP); });
  ExpectCompleteShutdown(run);
}

// A message box up at the quit is closed; later dialogs show nothing and answer at once.
struct Dialogs {
  static inline int boxResult = -2;
  static inline bool boxStillShown = true, folderGiven = true, unwound = false;
  static void Body() {
    struct Guard {
      ~Guard() { unwound = true; }
    } guard;
    fw::MsgBox("first");
    fw::MsgBox("second");
    folderGiven = static_cast<bool>(fw::SelectFolder());
    fw::RuntimeBackgroundTask();
  }
};

TEST(Quit, AMessageBoxOpenAtTheQuitIsClosedAndNoneFollows) {
  ProgramRun run = RunProgram(
      [] {
        QTimer::singleShot(100, [] { ::kill(::getpid(), SIGTERM); });
        PressWithHandler(&Dialogs::Body);
      },
      [] {
        QMessageBox box(QMessageBox::Information, "Frametide", "first", QMessageBox::Ok);
        Dialogs::boxResult = box.exec();
        Dialogs::boxStillShown = box.isVisible();
      });
  EXPECT_EQ(run.asked, std::vector<std::string>{"first"});
  EXPECT_EQ(Dialogs::boxResult, QMessageBox::Rejected);
  EXPECT_FALSE(Dialogs::boxStillShown);
  EXPECT_FALSE(Dialogs::folderGiven);
  EXPECT_TRUE(Dialogs::unwound);
  ExpectCompleteShutdown(run);
}

TEST(Quit, TheDeadlineEndsAProcessThatWorkStillHolds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        fw::SetQuitDeadline(std::chrono::milliseconds(200));
        fw::Quit();
        std::this_thread::sleep_for(std::chrono::seconds(20));
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "still busy");
}

// ----- the real program -------------------------------------------------------------------

// Whether the process has its own handler for `signo` yet (its loop is running).
bool Catches(qint64 pid, int signo) {
  QFile status(QString("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:")) {
      bool ok = false;
      const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
      return ok && (mask >> (signo - 1)) & 1;
    }
  return false;
}

TEST(Quit, TheProgramEndsOnTermIntAndHupWithTheStatusOfAQuit) {
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signo);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationDirPath() + "/frametide", {});
    ASSERT_TRUE(program.waitForStarted(10000));
    QElapsedTimer waited;
    waited.start();
    while (!Catches(program.processId(), signo) && waited.elapsed() < 20000)
      QThread::msleep(20);
    ASSERT_TRUE(Catches(program.processId(), signo));
    ::kill(static_cast<pid_t>(program.processId()), signo);
    QElapsedTimer clock;
    clock.start();
    const bool ended = program.waitForFinished(3000);
    if (!ended) {
      program.kill();
      program.waitForFinished();
    }
    EXPECT_TRUE(ended) << "still running 3 s after the signal";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const QString said = QString::fromUtf8(program.readAllStandardError());
    EXPECT_FALSE(said.contains("still busy")) << said.toStdString();
  }
}

}  // namespace
