#include "movie/plugin_call.h"

#include <chrono>
#include <future>
#include <mutex>

#include "movie/plugin_entrypoints.h"
#include "platform/runtime/runtime.h"

namespace frametide {

fw::Value CallMoviePlugin(std::size_t entry, const std::vector<ft_value>& args) {
  static std::mutex oneAtATime;
  auto call = std::async(std::launch::async, [entry, &args] {
    std::lock_guard lock(oneAtATime);
    return CallPlugin(entry, args);
  });
  // Short enough that a timer on the loop is never noticeably late.
  while (call.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready)
    fw::RuntimeBackgroundTask();
  return call.get();
}

}  // namespace frametide
