#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/object/classes.h"

namespace fw {

// What surrounds a header's name and value, and ends a line that came with CR LF.
inline constexpr std::string_view kHeaderBlanks = " \t\r";

// Response (or request) headers: ordered name/value pairs; names match ignoring letter case.
class InternetHeaders : public Object {
  FW_CLASS_HANDLE()
  void AppendHeader(const std::string& name, const std::string& value);
  // Replaces the first header of that name (dropping the others), or appends it.
  void SetHeader(const std::string& name, const std::string& value);
  void DeleteHeader(const std::string& name);
  void DeleteAllHeaders();
  std::int32_t Count() const;
  // 0-based; an index out of range raises OutOfBoundsException.
  std::string Name(std::int32_t index) const;
  std::string Value(std::int32_t index) const;
  // The first header of that name; empty when there is none.
  std::string Value(const std::string& name) const;
  // "Name: value" lines, each ended by CR LF.
  std::string Source() const;

  // Reads the lines of a header block after its first line; folded lines continue a value.
  static Ref<InternetHeaders> Parse(const std::string& lines);

 private:
  std::vector<std::pair<std::string, std::string>> headers_;
};

}  // namespace fw
