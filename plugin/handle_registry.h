#pragma once

// The objects the engine has handed out, owned here until they are released: a stale or
// foreign handle is refused, never used. The application makes one call at a time; the lock
// keeps the table itself sound should two ever overlap.

#include <map>
#include <memory>
#include <mutex>

#include "platform/plugin/plugin_abi.h"

namespace movie_engine {

struct Handle {
  virtual ~Handle() = default;
};

class HandleRegistry {
 public:
  void* Add(std::unique_ptr<Handle> object) {
    void* handle = object.get();
    std::lock_guard hold(lock_);
    objects_.emplace(handle, std::move(object));
    return handle;
  }

  // The object of that kind behind the value, or nullptr.
  template <class T>
  T* Find(const ft_value& value) {
    if (value.kind != FT_VALUE_HANDLE) return nullptr;
    std::lock_guard hold(lock_);
    const auto found = objects_.find(value.as.handle);
    return found == objects_.end() ? nullptr : dynamic_cast<T*>(found->second.get());
  }

  std::unique_ptr<Handle> Remove(void* handle) {
    std::lock_guard hold(lock_);
    const auto found = objects_.find(handle);
    if (found == objects_.end()) return nullptr;
    std::unique_ptr<Handle> object = std::move(found->second);
    objects_.erase(found);
    return object;
  }

 private:
  std::mutex lock_;
  std::map<void*, std::unique_ptr<Handle>> objects_;
};

}  // namespace movie_engine
