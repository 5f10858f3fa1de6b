#pragma once

// The runtime: start, framework initialisation, the event loop, the framework's module globals,
// the loop yield, and what happens to exceptions that reach the framework.

#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes.h"
#include "platform/object.h"

namespace fw {

class Application;
class Window;

// A lifecycle trace: every step of start-up and shutdown is reported to the sink, if one is set.
using TraceSink = std::function<void(std::string_view step)>;
void SetTraceSink(TraceSink sink);
void Trace(std::string_view step);

// Containers behind the framework's module globals.
class ObjectList : public Object {
  FW_CLASS_HANDLE()
  std::vector<Ref<Object>> items;
};
class ObjectMap : public Object {
  FW_CLASS_HANDLE()
  std::map<std::string, Ref<Object>, std::less<>> entries;
};

// The framework's module globals, in the order the program's finalisation releases them.
extern Ref<ObjectMap> _mImplicitWindowList;  // class name -> the implicit window of that class
extern Ref<ObjectList> mDirtyWindows;        // windows with a refresh pending
extern Ref<ObjectList> Windows;              // every open window
extern Ref<ObjectMap> mArrayMap;
extern Ref<ObjectMap> sClassFQNToRefMap;
extern Ref<ObjectMap> sClassRefMap;

// Drops the global's reference and leaves it absent, tracing "release <name>".
template <class T>
void ReleaseGlobal(Ref<T>& global, std::string_view name) {
  Trace("release " + std::string(name));
  global.Reset();
}

// Starts the runtime and the toolkit. Without a display it says so in one line on stderr and
// returns false.
bool RuntimeInit(int argc, char** argv);
// Framework initialisation; calls `startup` back once from inside.
void RunFrameworkInitialization(const std::function<void()>& startup);
void RuntimeInitExternalClasses();
void RuntimeRegisterAppObject(const Ref<Application>& app);
Ref<Application> RegisteredApp();
// The event loop; returns when the application quits.
void RuntimeRun();
// Asks the application to quit (File > Quit, closing the last window, SIGTERM, SIGINT, SIGHUP):
// modal dialogs and message boxes open now are closed, the handler running now is unwound at
// its next yield, and the loop ends. Loop thread only.
void Quit();
// True from the moment a quit was asked for on, on any thread (a signal sets it at once, before
// the loop thread gets to it).
bool QuitRequested();
bool LoopRunning();

// Thrown by RuntimeBackgroundTask once a quit was asked for, so that a long handler's stack
// unwinds; RunHandler takes it silently. Deliberately outside every exception hierarchy: a
// handler's catch of RuntimeException or std::exception must not stop it.
struct QuitUnwind {};

// The longest the process goes on after a quit was asked for: then it ends with the quit's exit
// status, whatever is still running or waited on. Zero (the default) sets no limit. For the
// program's own process only: it ends the process, not just the run.
void SetQuitDeadline(std::chrono::milliseconds limit);
// The framework's routine for exceptions that escape initialisation or the loop.
void UnhandledException(std::exception_ptr exception);
// Shuts the runtime down; the result is the process exit status (0 unless an exception went
// unhandled).
int RuntimeExit();

// The loop yield for long loops: handles pending events (timers, sockets, input) and returns.
// Once a quit was asked for while the loop runs, it throws QuitUnwind instead of returning,
// when called (on the loop thread) from inside a handler that RunHandler runs and while no
// other exception is in flight. So it must not be called, directly or through anything that
// yields, from a destructor or a noexcept function outside unwinding, unless that catches
// QuitUnwind.
void RuntimeBackgroundTask();

// The window the framework keeps as the implicit instance of the class of that name.
Ref<Window> GetImplicitWindow(std::string_view className);

// Runs an event handler; an exception escaping it is shown in a modal message box naming its
// class and message, and the loop goes on. QuitUnwind ends the handler silently.
void RunHandler(const std::function<void()>& handler);
std::string DescribeException(std::exception_ptr exception);

}  // namespace fw
