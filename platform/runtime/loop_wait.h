#pragma once

// Waiting on the loop thread for work done on other threads, without holding up the loop.

#include <functional>

namespace fw {

// Returns once `ready()` holds, handling events (timers, sockets, input) meanwhile as the loop
// would; it sleeps until an event comes or another thread calls WakeWaitingLoop. Loop thread
// only; `ready` is called with nothing locked. Once a quit was asked for, a wait that
// `yieldsToQuit` gives up as the loop yield does (QuitUnwind); any other waits on.
void WaitOnLoop(const std::function<bool()>& ready, bool yieldsToQuit = true);

// Tells a WaitOnLoop to look at its condition again. Any thread; a wake that comes before the
// wait sleeps is not lost.
void WakeWaitingLoop();

}  // namespace fw
