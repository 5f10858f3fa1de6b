#include "platform/runtime/loop_wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/runtime/runtime.h"

namespace fw {

namespace {

struct Waiters {
  std::mutex mutex;
  std::condition_variable changed;  // for a wait without an event loop
  QAbstractEventDispatcher* dispatcher = nullptr;
  int waiting = 0;
  unsigned long long wakes = 0;
};

Waiters& State() {
  // Never destroyed: a worker may wake the loop while the process ends.
  static auto* state = new Waiters;
  return *state;
}

}  // namespace

void WakeWaitingLoop() {
  auto& s = State();
  const std::lock_guard lock(s.mutex);
  ++s.wakes;
  // The dispatcher is alive while a wait is registered: the loop thread is inside it.
  if (s.waiting > 0 && s.dispatcher) s.dispatcher->wakeUp();
  s.changed.notify_all();
}

void WaitOnLoop(const std::function<bool()>& ready, bool yieldsToQuit) {
  auto& s = State();
  QAbstractEventDispatcher* dispatcher =
      QCoreApplication::instance() ? QAbstractEventDispatcher::instance() : nullptr;
  while (!ready()) {
    // Unwinds a handler waiting here just as its next yield would.
    if (yieldsToQuit && QuitRequested()) RuntimeBackgroundTask();
    if (!dispatcher) {
      std::unique_lock lock(s.mutex);
      const auto seen = s.wakes;
      s.changed.wait_for(lock, std::chrono::milliseconds(10), [&] { return s.wakes != seen; });
      continue;
    }
    {
      const std::lock_guard lock(s.mutex);
      s.dispatcher = dispatcher;
      ++s.waiting;
    }
    struct Unregister {
      Waiters& s;
      ~Unregister() {
        const std::lock_guard lock(s.mutex);
        --s.waiting;
      }
    } unregister{s};
    // Looked at again now that a wake can no longer slip past unseen.
    if (ready()) break;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace fw
