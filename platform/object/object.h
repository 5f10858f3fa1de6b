#pragma once

// Counted objects, the absent reference, and the framework's exception types.
// Everything the framework hands out is an Object held through Ref<T>; using an
// absent Ref raises NilObjectException instead of touching a null pointer.

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

namespace fw {

class ClassRecord;

class RuntimeException : public std::exception {
 public:
  explicit RuntimeException(std::string message = {}) : message_(std::move(message)) {}
  // The framework's class name of the exception, shown when one escapes a handler.
  virtual const char* ClassName() const noexcept { return "RuntimeException"; }
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

#define FW_EXCEPTION(Name, Default)                                                 \
  class Name : public RuntimeException {                                           \
   public:                                                                         \
    explicit Name(std::string message = Default) : RuntimeException(std::move(message)) {} \
    const char* ClassName() const noexcept override { return #Name; }              \
  };

FW_EXCEPTION(NilObjectException, "an absent object was used")
FW_EXCEPTION(IllegalCastException, "an object is not of the class asked for")
FW_EXCEPTION(UnsupportedOperationException, "this operation is not supported on this platform")
FW_EXCEPTION(TypeMismatchException, "a value is not of the type asked for")
FW_EXCEPTION(OutOfBoundsException, "an index lies outside its range")
FW_EXCEPTION(PropertyListException, "a property list cannot be read")
FW_EXCEPTION(PluginException, "a plug-in routine failed")
FW_EXCEPTION(IOException, "a file operation failed")

#undef FW_EXCEPTION

class Object {
 public:
  Object() noexcept { live_.fetch_add(1, std::memory_order_relaxed); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() { live_.fetch_sub(1, std::memory_order_relaxed); }

  void Retain() noexcept { ++references_; }
  // Dropping the last reference runs the class finalisers, leaf first, then frees the object.
  void Release() noexcept;
  int References() const noexcept { return references_; }
  // Objects made and not yet freed, across the process: none may outlive the program's run.
  static long Live() noexcept { return live_.load(std::memory_order_relaxed); }

  // The class the object was made as; objects made outside RuntimeNewObject fall back to
  // the record their C++ type registered (see DefaultClass).
  const ClassRecord& Class() const;
  void SetClass(const ClassRecord& record) noexcept { class_ = &record; }

 protected:
  virtual const ClassRecord& DefaultClass() const;

 private:
  static inline std::atomic<long> live_{0};
  int references_ = 0;
  const ClassRecord* class_ = nullptr;
};

template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  // Takes a reference of its own to the object.
  explicit Ref(T* object) noexcept : object_(object) {
    if (object_) object_->Retain();
  }
  Ref(const Ref& other) noexcept : Ref(other.object_) {}
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& other) noexcept : Ref(other.Get()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& other) noexcept : object_(other.Detach()) {}
  ~Ref() { Reset(); }

  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  // Releasing an absent reference does nothing.
  void Reset() noexcept {
    if (T* old = std::exchange(object_, nullptr)) old->Release();
  }
  T* Detach() noexcept { return std::exchange(object_, nullptr); }

  T* Get() const noexcept { return object_; }
  T* operator->() const {
    if (!object_) throw NilObjectException();
    return object_;
  }
  T& operator*() const {
    if (!object_) throw NilObjectException();
    return *object_;
  }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.object_ == b.object_; }
  friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.object_ == nullptr; }

 private:
  T* object_ = nullptr;
};

template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

// Typed conversion: absent stays absent; an object of another class raises IllegalCastException.
template <class T, class U>
Ref<T> Cast(const Ref<U>& from) {
  if (!from) return nullptr;
  if (auto* to = dynamic_cast<T*>(from.Get())) return Ref<T>(to);
  throw IllegalCastException();
}

}  // namespace fw

// Declares the class handle of a framework class and ties objects made with `new` to it.
#define FW_CLASS_HANDLE()                          \
 public:                                           \
  static const ::fw::ClassRecord& ClassHandle();  \
                                                   \
 protected:                                        \
  const ::fw::ClassRecord& DefaultClass() const override { return ClassHandle(); } \
                                                   \
 public:
