#pragma once

// Builds property lists at compile time, so each list is a constant of the program whose length
// is known beside it. Every entry is "Name" 0x20 value; the value's size is part of the entry's
// type, so a whole list is one std::array whose size is its byte count:
//
//   constexpr auto list = List(Int32("Mode", 2), Int32("Period", 10000));
//   static_assert(list.size() == 20);
//
// A name that is empty or holds anything but ASCII letters fails to compile where the list is
// declared constexpr.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace frametide::plist {

template <std::size_t N>
using Bytes = std::array<std::uint8_t, N>;

namespace detail {

// Only letters: the reader takes everything up to the first blank as the name.
template <std::size_t N>
constexpr void CheckName(const char (&name)[N]) {
  if (N < 2 || name[N - 1] != '\0') throw std::invalid_argument("a property name is a non-empty literal");
  for (std::size_t i = 0; i + 1 < N; ++i) {
    const char c = name[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
      throw std::invalid_argument("a property name holds only ASCII letters");
  }
}

constexpr void PutU32(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v >> 24);
  at[1] = static_cast<std::uint8_t>(v >> 16);
  at[2] = static_cast<std::uint8_t>(v >> 8);
  at[3] = static_cast<std::uint8_t>(v);
}

// Name (N - 1 letters), one blank, then room for a value of V bytes.
template <std::size_t V, std::size_t N>
constexpr Bytes<N + V> Head(const char (&name)[N]) {
  CheckName(name);
  Bytes<N + V> out{};
  for (std::size_t i = 0; i + 1 < N; ++i) out[i] = static_cast<std::uint8_t>(name[i]);
  out[N - 1] = 0x20;
  return out;
}

template <std::size_t Total, std::size_t N>
constexpr void Append(Bytes<Total>& out, std::size_t& at, const Bytes<N>& part) {
  for (std::size_t i = 0; i < N; ++i) out[at + i] = part[i];
  at += N;
}

}  // namespace detail

// Int32, and enumerations over Int32: four bytes, big-endian two's complement.
template <std::size_t N>
constexpr Bytes<N + 4> Int32(const char (&name)[N], std::int32_t value) {
  auto out = detail::Head<4>(name);
  detail::PutU32(out.data() + N, static_cast<std::uint32_t>(value));
  return out;
}

template <std::size_t N>
constexpr Bytes<N + 1> Bool(const char (&name)[N], bool value) {
  auto out = detail::Head<1>(name);
  out[N] = value ? 0x01 : 0x00;
  return out;
}

// Red, green, blue, one byte each.
template <std::size_t N>
constexpr Bytes<N + 3> ColorBytes(const char (&name)[N], std::uint8_t red, std::uint8_t green,
                                  std::uint8_t blue) {
  auto out = detail::Head<3>(name);
  out[N] = red;
  out[N + 1] = green;
  out[N + 2] = blue;
  return out;
}

// A UTF-8 text from a literal (its terminating zero is not part of the value); a line break
// inside it is written as "\r".
template <std::size_t N, std::size_t M>
constexpr Bytes<N + 4 + (M - 1)> String(const char (&name)[N], const char (&text)[M]) {
  static_assert(M >= 1);
  auto out = detail::Head<4 + (M - 1)>(name);
  detail::PutU32(out.data() + N, static_cast<std::uint32_t>(M - 1));
  for (std::size_t i = 0; i + 1 < M; ++i) out[N + 4 + i] = static_cast<std::uint8_t>(text[i]);
  return out;
}

// The entries one after another, with nothing between or after them.
template <std::size_t... N>
constexpr Bytes<(N + ... + 0)> List(const Bytes<N>&... entries) {
  Bytes<(N + ... + 0)> out{};
  std::size_t at = 0;
  (detail::Append(out, at, entries), ...);
  return out;
}

}  // namespace frametide::plist
