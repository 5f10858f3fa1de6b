#pragma once

// Host name lookup away from the event loop. A lookup blocks for as long as the name server
// takes, so it runs on one of a few threads shared by all lookups; a name server that hangs
// ties up those threads and no more.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace fw {

// Resolves a host name to its numeric addresses ("192.0.2.7", "2001:db8::7"), in the order to
// try them; none when the name is unknown. It blocks, and runs on a lookup thread.
using HostResolver = std::function<std::vector<std::string>(const std::string& host)>;

// Puts a resolver in place of the system's (none restores the system's); returns the one it
// replaces. Lookups already running finish with the resolver they started with.
HostResolver SetHostResolver(HostResolver resolver);

// At most this many lookups run at once; the others wait their turn.
inline constexpr int kLookupThreads = 4;

// One pending lookup. Its answer is delivered to the receiver's thread, through the event loop,
// unless the lookup was cancelled first; a cancelled lookup still waiting for a thread never
// runs.
class HostLookup {
 public:
  using Answer = std::function<void(const std::vector<std::string>& addresses)>;

  // Queues the lookup; 0, or the errno of a thread that could not be started when there is none
  // to take it.
  int Start(const std::string& host, QObject* receiver, Answer answer);
  // Nothing is delivered after this returns. Also done on destruction.
  void Cancel();
  ~HostLookup() { Cancel(); }

  struct Request;

 private:
  std::shared_ptr<Request> request_;
};

}  // namespace fw
