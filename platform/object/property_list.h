#pragma once

// Compiled property lists: the design values a window or control takes when it is made.
// A list is a run of entries "Name" 0x20 value, with no header, count or terminator; the value's
// encoding follows the type the object's class declares for that name:
//   Int32    4 bytes, signed, big-endian
//   Boolean  1 byte, 0x00 or 0x01
//   Color    3 bytes, red, green, blue
//   String   4-byte big-endian byte count n, then n bytes of UTF-8
// Lists contain 0x00 bytes, so only the length beside the data delimits them.

#include <cstdint>

#include "platform/object/object.h"

namespace fw {

struct PropertyBlob {
  const std::uint8_t* data;
  std::uint32_t length;
};

// Applies the list to the object entry by entry, each through its property's setter, in list
// order; properties the list does not name are left alone. A list that cannot be read raises
// PropertyListException naming the property and the byte offset; the entries before the fault
// stay applied. Nothing past `length` is ever read. An exception from a setter passes through.
void SetProperties(Object& object, const PropertyBlob& list);

}  // namespace fw
