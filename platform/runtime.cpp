#include "platform/runtime.h"

#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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
  bool quitRequested = false;
  bool unhandled = false;
};

RuntimeState& State() {
  static RuntimeState state;
  return state;
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
  if (state.quitRequested || !QCoreApplication::instance()) return;
  state.loopRunning = true;
  QApplication::exec();
  state.loopRunning = false;
  Trace("event loop ended");
}

void Quit() {
  auto& state = State();
  state.quitRequested = true;
  // Queued, so a quit asked for before the loop runs still ends it once it starts. exit(), not
  // quit(): the windows stay open until finalisation releases them in its own order.
  if (auto* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

bool LoopRunning() { return State().loopRunning; }

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
  State().unhandled = true;
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
  // Widgets must go while the toolkit is still there.
  ReleaseRemainingGlobals();
  state.app.Reset();
  if (state.application) {
    // Windows released by finalisation may have left their widgets to deferred deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.application.reset();
  }
  return state.unhandled ? 1 : 0;
}

void RuntimeBackgroundTask() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    const std::string text = DescribeException(std::current_exception());
    Trace("handler exception: " + text);
    try {
      MsgBox(text);
    } catch (...) {
      std::fprintf(stderr, "frametide: %s\n", text.c_str());
    }
  }
}

}  // namespace fw
