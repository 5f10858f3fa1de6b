#include "platform/net/host_lookup.h"

#include <QObject>
#include <algorithm>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include <netdb.h>
#include <sys/socket.h>

namespace fw {

struct HostLookup::Request {
  std::string host;
  std::mutex mutex;             // held while the answer is posted, so that Cancel waits for it
  QObject* receiver = nullptr;  // null once cancelled
  Answer answer;
};

namespace {

std::vector<std::string> SystemResolve(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  std::vector<std::string> addresses;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return addresses;
  for (const addrinfo* a = list; a; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      addresses.emplace_back(text);
  }
  freeaddrinfo(list);
  return addresses;
}

struct Pool {
  std::mutex mutex;  // taken before any request's own
  std::deque<std::shared_ptr<HostLookup::Request>> waiting;
  int threads = 0;
  HostResolver resolver;
};

// Never destroyed: a lookup thread may still be inside the resolver when the program ends.
Pool& ThePool() {
  static Pool* pool = new Pool;
  return *pool;
}

void Deliver(HostLookup::Request& request, const std::vector<std::string>& addresses) {
  std::lock_guard lock(request.mutex);
  if (!request.receiver) return;
  QMetaObject::invokeMethod(
      request.receiver, [answer = request.answer, addresses] { answer(addresses); },
      Qt::QueuedConnection);
}

// Takes waiting lookups in turn until none is left.
void Work() {
  Pool& pool = ThePool();
  std::unique_lock lock(pool.mutex);
  while (!pool.waiting.empty()) {
    const auto request = std::move(pool.waiting.front());
    pool.waiting.pop_front();
    const HostResolver resolve = pool.resolver ? pool.resolver : HostResolver(SystemResolve);
    lock.unlock();
    Deliver(*request, resolve(request->host));
    lock.lock();
  }
  --pool.threads;
}

}  // namespace

HostResolver SetHostResolver(HostResolver resolver) {
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mutex);
  std::swap(pool.resolver, resolver);
  return resolver;
}

int HostLookup::Start(const std::string& host, QObject* receiver, Answer answer) {
  Cancel();
  auto request = std::make_shared<Request>();
  request->host = host;
  request->receiver = receiver;
  request->answer = std::move(answer);
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mutex);
  pool.waiting.push_back(request);
  request_ = std::move(request);
  if (pool.threads >= kLookupThreads) return 0;
  try {
    std::thread(Work).detach();
    ++pool.threads;
  } catch (const std::system_error& e) {
    if (pool.threads > 0) return 0;  // one of those takes it in turn
    pool.waiting.pop_back();
    request_.reset();
    return e.code().value();
  }
  return 0;
}

void HostLookup::Cancel() {
  if (!request_) return;
  const auto request = std::move(request_);
  Pool& pool = ThePool();
  std::lock_guard poolLock(pool.mutex);
  // A lookup that never got a thread leaves the queue, so that cancelled ones cannot pile up
  // behind a hanging name server.
  pool.waiting.erase(std::remove(pool.waiting.begin(), pool.waiting.end(), request),
                     pool.waiting.end());
  std::lock_guard lock(request->mutex);
  request->receiver = nullptr;
  request->answer = nullptr;
}

}  // namespace fw
