#include "platform/object/property_list.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/object/classes.h"
#include "platform/object/value.h"

namespace fw {

namespace {

// Names in messages are shown escaped and cut short: a damaged list may hold anything.
std::string Printable(std::string_view name) {
  constexpr std::size_t kShown = 64;
  std::string out;
  for (std::size_t i = 0; i < name.size() && i < kShown; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  if (name.size() > kShown) out += "...";
  return out;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

class Reader {
 public:
  Reader(Object& object, const PropertyBlob& list)
      : object_(object), data_(list.data), length_(list.length) {}

  void Run() {
    if (length_ > 0 && !data_) throw PropertyListException("property list: no data for a list of " +
                                                           std::to_string(length_) + " bytes");
    while (position_ < length_) ApplyEntry();
  }

 private:
  [[noreturn]] void Fail(std::string_view name, std::size_t offset, const std::string& what) const {
    throw PropertyListException("property list entry \"" + Printable(name) + "\" at byte " +
                                std::to_string(offset) + ": " + what);
  }

  std::size_t Left() const { return length_ - position_; }

  void ApplyEntry() {
    const std::size_t start = position_;
    const std::string_view name = ReadName(start);
    const PropertyDeclaration* property = object_.Class().FindProperty(name);
    if (!property)
      Fail(name, start, "class " + object_.Class().Name() + " declares no such property");
    if (!property->set) Fail(name, start, "the property cannot be set");
    const Value value = ReadValue(name, *property);
    property->set(object_, value);
  }

  std::string_view ReadName(std::size_t start) {
    const auto* begin = reinterpret_cast<const char*>(data_) + start;
    const std::string_view rest(begin, Left());
    const std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) Fail(rest, start, "no blank follows the name before the end of the list");
    const std::string_view name = rest.substr(0, blank);
    if (name.empty()) Fail(name, start, "the name is empty");
    for (char c : name)
      if (!IsAsciiLetter(c)) Fail(name, start, "the name holds a character that is not a letter");
    position_ += blank + 1;
    return name;
  }

  void Need(std::string_view name, std::size_t bytes, const char* type) const {
    if (bytes > Left())
      Fail(name, position_, std::string("the ") + type + " value needs " + std::to_string(bytes) +
                                " bytes, " + std::to_string(Left()) + " are left");
  }

  std::uint32_t ReadU32() {
    const std::uint8_t* p = data_ + position_;
    position_ += 4;
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
  }

  Value ReadValue(std::string_view name, const PropertyDeclaration& property) {
    switch (property.type) {
      case PropertyType::Int32:
        Need(name, 4, "Int32");
        return static_cast<std::int32_t>(ReadU32());  // two's complement, as C++20 defines it
      case PropertyType::Boolean: {
        Need(name, 1, "Boolean");
        const std::uint8_t b = data_[position_];
        if (b > 1)
          Fail(name, position_, "a Boolean byte is 0 or 1, not " + std::to_string(unsigned{b}));
        ++position_;
        return b == 1;
      }
      case PropertyType::Color: {
        Need(name, 3, "Color");
        const std::uint8_t* p = data_ + position_;
        position_ += 3;
        return Color{p[0], p[1], p[2]};
      }
      case PropertyType::String: {
        Need(name, 4, "String length");
        const std::size_t lengthAt = position_;
        const std::uint32_t n = ReadU32();
        if (n > Left())
          Fail(name, lengthAt, "the String length " + std::to_string(n) + " runs past the end (" +
                                   std::to_string(Left()) + " bytes are left)");
        std::string text(reinterpret_cast<const char*>(data_) + position_, n);
        position_ += n;
        return text;
      }
      case PropertyType::Single:
      case PropertyType::Double:
      case PropertyType::Object:
        break;
    }
    Fail(name, position_,
         "a property of type " + std::string(PropertyTypeName(property.type)) +
             " has no property-list encoding");
  }

  Object& object_;
  const std::uint8_t* data_;
  std::size_t length_;
  std::size_t position_ = 0;
};

}  // namespace

void SetProperties(Object& object, const PropertyBlob& list) { Reader(object, list).Run(); }

}  // namespace fw
