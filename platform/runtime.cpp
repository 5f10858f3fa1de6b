#include "platform/runtime.h"

#include <QApplication>
#include <QDialog>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

#include "platform/application.h"
#include "platform/dialogs.h"

namespace fw {

Ref<ObjectMap> _mImplicitWindowList;
Ref<ObjectList> mDirtyWindows;
Ref<ObjectList> Windows;
Ref<ObjectMap> mArrayMap;
Ref<ObjectMap> sClassFQNToRefMap;
Ref<ObjectMap> sClassRefMap;

namespace {

TraceSink& Sink() {
  // Never destroyed, like the class registry: a trace from a late release finds it intact.
  static auto* sink = new TraceSink;
  return *sink;
}

struct RuntimeState {
  std::unique_ptr<QApplication> application;
  int argc = 0;
  std::vector<std::string> arguments;
  std::vector<char*> argv;
  Ref<Application> app;
  bool loopEntered = false;
  bool loopRunning = false;
  bool quitPosted = false;  // Quit() ran, not only a signal's flag
  // For each handler that RunHandler runs, innermost last: the event-loop nesting it began at.
  // A yield at another nesting is inside a dialog's loop, not directly in that handler.
  std::vector<int> handlerLoopLevels;
  QSocketNotifier* signalNotifier = nullptr;
};

RuntimeState& State() {
  static RuntimeState state;
  return state;
}

// Read by other threads and set from signal handlers.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
std::atomic<bool> quitAsked{false};
std::atomic<bool> unhandledSeen{false};
std::atomic<int> quitSignals{0};

// ----- quit deadline: a thread that ends the process once a quit has had its time -----------

sem_t quitStarted;  // posted when a quit is asked for; also from signal handlers
std::atomic<bool> deadlineSet{false};

void StartQuitClock() {
  if (deadlineSet.load()) sem_post(&quitStarted);
}

void WriteError(const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

// ----- SIGTERM, SIGINT and SIGHUP quit as File > Quit does ----------------------------------

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipe[2] = {-1, -1};
struct sigaction previousActions[std::size(kQuitSignals)];
bool signalsInstalled = false;

void OnQuitSignal(int signo) {
  const int savedErrno = errno;
  if (quitSignals.fetch_add(1) > 0) {
    // Asked again while quitting: the user will not wait, end at once.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signo, &fallback, nullptr);
    raise(signo);
    errno = savedErrno;
    return;
  }
  quitAsked.store(true);
  StartQuitClock();
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
  errno = savedErrno;
}

void InstallQuitSignals() {
  auto& state = State();
  if (signalsInstalled || !QCoreApplication::instance()) return;
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // The handler only writes a byte; the loop thread reads it and quits.
  state.signalNotifier =
      new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(state.signalNotifier, &QSocketNotifier::activated, [] {
    char drain[16];
    while (::read(signalPipe[0], drain, sizeof drain) > 0) {
    }
    Quit();
  });
  struct sigaction action {};
  action.sa_handler = &OnQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int signo : kQuitSignals) sigaddset(&action.sa_mask, signo);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
    sigaction(kQuitSignals[i], nullptr, &previousActions[i]);
    // A signal the starter chose to ignore (nohup) stays ignored.
    if (previousActions[i].sa_handler == SIG_IGN) continue;
    sigaction(kQuitSignals[i], &action, nullptr);
  }
  signalsInstalled = true;
}

void RemoveQuitSignals() {
  if (!signalsInstalled) return;
  for (std::size_t i = 0; i < std::size(kQuitSignals); ++i)
    sigaction(kQuitSignals[i], &previousActions[i], nullptr);
  signalsInstalled = false;
  delete State().signalNotifier;
  State().signalNotifier = nullptr;
}

// Closes the modal dialogs and message boxes open now; their callers see them cancelled.
void RejectOpenDialogs() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
      dialog->reject();
}

void UnwindIfQuitting() {
  auto& state = State();
  if (!quitAsked.load() || !state.loopRunning || state.handlerLoopLevels.empty() ||
      state.handlerLoopLevels.back() != QThread::currentThread()->loopLevel() ||
      std::uncaught_exceptions() > 0)
    return;
  // A signal sets the flag before its notifier has run.
  if (!state.quitPosted) Quit();
  throw QuitUnwind{};
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool HasDisplay() {
  // The caller chose a platform, offscreen included.
  if (!Environment("QT_QPA_PLATFORM").empty()) return true;
  return !Environment("DISPLAY").empty() || !Environment("WAYLAND_DISPLAY").empty();
}

// What to tell the user when the toolkit cannot reach the window system.
std::string DisplayFailure() {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  if (!platform.empty())
    return "the window system \"" + platform + "\" named by QT_QPA_PLATFORM cannot be started";
  std::string where;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const std::string value = Environment(name);
    if (value.empty()) continue;
    where += (where.empty() ? "" : ", ") + std::string(name) + "=" + value;
  }
  return "no display server answers at " + where + "; run it in a desktop session";
}

// The toolkit's messages while it connects to the window system. They are held back: when it
// cannot connect, the toolkit would print a page of them and abort; the user gets one line and
// status 1 instead. When it connects they are handed on as usual.
struct HeldMessage {
  QtMsgType type;
  std::string category;
  std::string text;
};
std::vector<HeldMessage>* heldMessages = nullptr;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "frametide: %s\n", DisplayFailure().c_str());
    // Nothing of the program exists yet; the toolkit is half made and must not be unwound.
    std::_Exit(1);
  }
  if (heldMessages)
    heldMessages->push_back({type, context.category ? context.category : "", text.toStdString()});
}

void HandOn(const HeldMessage& m) {
  const QMessageLogger logger(nullptr, 0, nullptr, m.category.empty() ? "default" : m.category.c_str());
  switch (m.type) {
    case QtDebugMsg: logger.debug("%s", m.text.c_str()); break;
    case QtInfoMsg: logger.info("%s", m.text.c_str()); break;
    case QtWarningMsg: logger.warning("%s", m.text.c_str()); break;
    default: logger.critical("%s", m.text.c_str()); break;
  }
}

}  // namespace

const ClassRecord& ObjectList::ClassHandle() {
  if (auto* c = FindClass("ObjectList")) return *c;
  return ClassBuilder("ObjectList", nullptr).Allocator([] { return new ObjectList; }).Register();
}

const ClassRecord& ObjectMap::ClassHandle() {
  if (auto* c = FindClass("ObjectMap")) return *c;
  return ClassBuilder("ObjectMap", nullptr).Allocator([] { return new ObjectMap; }).Register();
}

void SetTraceSink(TraceSink sink) { Sink() = std::move(sink); }

void Trace(std::string_view step) {
  if (Sink()) Sink()(step);
}

bool RuntimeInit(int argc, char** argv) {
  auto& state = State();
  Trace("runtime init");
  if (QCoreApplication::instance()) return true;
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "frametide: no display to open a window on (DISPLAY is not set); "
                 "run it in a desktop session\n");
    return false;
  }
  // QApplication keeps argc and argv for its lifetime.
  for (int i = 0; i < argc; ++i) state.arguments.emplace_back(argv[i]);
  if (state.arguments.empty()) state.arguments.emplace_back("frametide");
  for (auto& a : state.arguments) state.argv.push_back(a.data());
  state.argv.push_back(nullptr);
  state.argc = static_cast<int>(state.arguments.size());
  std::vector<HeldMessage> held;
  heldMessages = &held;
  const QtMessageHandler previous = qInstallMessageHandler(&HoldMessage);
  state.application = std::make_unique<QApplication>(state.argc, state.argv.data());
  qInstallMessageHandler(previous);
  heldMessages = nullptr;
  for (const auto& m : held) HandOn(m);
  QApplication::setQuitOnLastWindowClosed(true);
  return true;
}

void RunFrameworkInitialization(const std::function<void()>& startup) {
  Trace("framework initialisation");
  if (!mArrayMap) mArrayMap = MakeRef<ObjectMap>();
  if (!sClassFQNToRefMap) sClassFQNToRefMap = MakeRef<ObjectMap>();
  if (!sClassRefMap) sClassRefMap = MakeRef<ObjectMap>();
  if (!_mImplicitWindowList) _mImplicitWindowList = MakeRef<ObjectMap>();
  if (!mDirtyWindows) mDirtyWindows = MakeRef<ObjectList>();
  if (!Windows) Windows = MakeRef<ObjectList>();
  if (startup) startup();
}

void RuntimeInitExternalClasses() { Trace("external classes"); }

void RuntimeRegisterAppObject(const Ref<Application>& app) {
  Trace("register application object");
  State().app = app;
}

Ref<Application> RegisteredApp() { return State().app; }

void RuntimeRun() {
  auto& state = State();
  if (state.loopEntered) throw RuntimeException("the event loop runs only once");
  state.loopEntered = true;
  Trace("event loop");
  if (quitAsked.load() || !QCoreApplication::instance()) return;
  InstallQuitSignals();
  state.loopRunning = true;
  QApplication::exec();
  state.loopRunning = false;
  Trace("event loop ended");
}

void Quit() {
  auto& state = State();
  if (!quitAsked.exchange(true)) StartQuitClock();
  auto* app = QCoreApplication::instance();
  if (!app) return;
  if (!state.quitPosted) {
    state.quitPosted = true;
    // Queued, so a quit asked for before the loop runs still ends it once it starts. exit(), not
    // quit(): the windows stay open until finalisation releases them in its own order.
    QMetaObject::invokeMethod(app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  }
  RejectOpenDialogs();
}

bool QuitRequested() { return quitAsked.load(); }

bool LoopRunning() { return State().loopRunning; }

void SetQuitDeadline(std::chrono::milliseconds limit) {
  if (limit.count() <= 0 || deadlineSet.load()) return;
  if (sem_init(&quitStarted, 0, 0) != 0) return;
  std::thread([limit] {
    while (sem_wait(&quitStarted) != 0 && errno == EINTR) {
    }
    std::this_thread::sleep_for(limit);
    // Whatever still runs (a worker inside a plug-in, a handler that does not yield) would
    // hold the process; the quit has had its time.
    WriteError("frametide: still busy after the quit; ending now\n");
    std::_Exit(unhandledSeen.load() ? 1 : 0);
  }).detach();
  deadlineSet.store(true);
  if (quitAsked.load()) StartQuitClock();
}

std::string DescribeException(std::exception_ptr exception) {
  try {
    if (exception) std::rethrow_exception(exception);
  } catch (const RuntimeException& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  } catch (const std::exception& e) {
    return std::string("Exception: ") + e.what();
  } catch (...) {
  }
  return "an unknown exception";
}

void UnhandledException(std::exception_ptr exception) {
  unhandledSeen.store(true);
  const std::string text = DescribeException(exception);
  Trace("unhandled exception: " + text);
  std::fprintf(stderr, "frametide: unhandled exception: %s\n", text.c_str());
  if (QCoreApplication::instance()) {
    try {
      MsgBox("The application has to end because of an error.\n" + text);
    } catch (...) {
    }
  }
}

// Drops whatever globals finalisation has not released (a run that never got that far).
static void ReleaseRemainingGlobals() {
  _mImplicitWindowList.Reset();
  mDirtyWindows.Reset();
  Windows.Reset();
  mArrayMap.Reset();
  sClassFQNToRefMap.Reset();
  sClassRefMap.Reset();
}

int RuntimeExit() {
  auto& state = State();
  Trace("runtime exit");
  RemoveQuitSignals();
  // Widgets must go while the toolkit is still there.
  ReleaseRemainingGlobals();
  state.app.Reset();
  if (state.application) {
    // Windows released by finalisation may have left their widgets to deferred deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.application.reset();
  }
  return unhandledSeen.load() ? 1 : 0;
}

void RuntimeBackgroundTask() {
  auto* app = QCoreApplication::instance();
  if (!app) return;
  const bool loopThread = QThread::currentThread() == app->thread();
  if (loopThread) UnwindIfQuitting();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (loopThread) UnwindIfQuitting();
}

void RunHandler(const std::function<void()>& handler) {
  struct Depth {
    Depth() { State().handlerLoopLevels.push_back(QThread::currentThread()->loopLevel()); }
    ~Depth() { State().handlerLoopLevels.pop_back(); }
  };
  try {
    Depth inside;
    handler();
  } catch (const QuitUnwind&) {
    // The quit goes on; the loop ends next.
  } catch (...) {
    const std::string text = DescribeException(std::current_exception());
    Trace("handler exception: " + text);
    // Nobody is shown anything once quitting; the message still reaches the terminal.
    if (QuitRequested()) {
      std::fprintf(stderr, "frametide: %s\n", text.c_str());
      return;
    }
    try {
      MsgBox(text);
    } catch (...) {
      std::fprintf(stderr, "frametide: %s\n", text.c_str());
    }
  }
}

}  // namespace fw
