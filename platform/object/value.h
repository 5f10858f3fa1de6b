#pragma once

// The framework's Variant: what travels through class tables, events and property lists.

#include <cstdint>
#include <string>
#include <variant>

#include "platform/object/object.h"

namespace fw {

struct Color {
  std::uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

using Value = std::variant<std::monostate, bool, std::int32_t, float, double, std::string, Color,
                           Ref<Object>>;

// Reading a Value as a C++ type. Numbers widen (Int32 to Double and Single); anything else that
// does not match raises TypeMismatchException.
template <class T>
struct ValueAs;

template <>
struct ValueAs<Value> {
  static Value From(const Value& v) { return v; }
};
template <>
struct ValueAs<bool> {
  static bool From(const Value& v) {
    if (auto* b = std::get_if<bool>(&v)) return *b;
    throw TypeMismatchException("expected a Boolean");
  }
};
template <>
struct ValueAs<std::int32_t> {
  static std::int32_t From(const Value& v) {
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    throw TypeMismatchException("expected an Int32");
  }
};
template <>
struct ValueAs<double> {
  static double From(const Value& v) {
    if (auto* d = std::get_if<double>(&v)) return *d;
    if (auto* f = std::get_if<float>(&v)) return *f;
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    throw TypeMismatchException("expected a Double");
  }
};
template <>
struct ValueAs<float> {
  static float From(const Value& v) {
    if (auto* f = std::get_if<float>(&v)) return *f;
    if (auto* d = std::get_if<double>(&v)) return static_cast<float>(*d);
    if (auto* i = std::get_if<std::int32_t>(&v)) return static_cast<float>(*i);
    throw TypeMismatchException("expected a Single");
  }
};
template <>
struct ValueAs<std::string> {
  static std::string From(const Value& v) {
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    throw TypeMismatchException("expected a String");
  }
};
template <>
struct ValueAs<Color> {
  static Color From(const Value& v) {
    if (auto* c = std::get_if<Color>(&v)) return *c;
    throw TypeMismatchException("expected a Color");
  }
};
template <class T>
struct ValueAs<Ref<T>> {
  static Ref<T> From(const Value& v) {
    if (std::holds_alternative<std::monostate>(v)) return nullptr;
    if (auto* o = std::get_if<Ref<Object>>(&v)) return Cast<T>(*o);
    throw TypeMismatchException("expected an object");
  }
};

template <class T>
std::decay_t<T> FromValue(const Value& v) {
  return ValueAs<std::decay_t<T>>::From(v);
}

template <class T>
struct IsRef : std::false_type {};
template <class T>
struct IsRef<Ref<T>> : std::true_type {};

template <class T>
Value ToValue(T&& v) {
  using D = std::decay_t<T>;
  if constexpr (IsRef<D>::value) {
    return Ref<Object>(v.Get());
  } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
    return std::string(v);
  } else {
    return Value(std::forward<T>(v));
  }
}

}  // namespace fw
