#include "platform/net/internet_headers.h"

#include <algorithm>

#include "platform/runtime/runtime.h"
#include "platform/text/text.h"

namespace fw {

const ClassRecord& InternetHeaders::ClassHandle() {
  if (auto* c = FindClass("InternetHeaders")) return *c;
  using H = InternetHeaders;
  return ClassBuilder("InternetHeaders", nullptr)
      .Allocator([] { return new H; })
      .Add("AppendHeader", {"String", "String"}, "", Method<&H::AppendHeader>())
      .Add("SetHeader", {"String", "String"}, "", Method<&H::SetHeader>())
      .Add("DeleteHeader", {"String"}, "", Method<&H::DeleteHeader>())
      .Add("DeleteAllHeaders", {}, "", Method<&H::DeleteAllHeaders>())
      .Add("Count", {}, "Int32", Method<&H::Count>())
      .Add("Name", {"Int32"}, "String", Method<&H::Name>())
      .Add("Value", {"String"}, "String",
           Method<static_cast<std::string (H::*)(const std::string&) const>(&H::Value)>())
      .Add("Value", {"Int32"}, "String",
           Method<static_cast<std::string (H::*)(std::int32_t) const>(&H::Value)>())
      .Add("Source", {}, "String", Method<&H::Source>())
      .Register();
}

void InternetHeaders::AppendHeader(const std::string& name, const std::string& value) {
  headers_.emplace_back(name, value);
}

void InternetHeaders::SetHeader(const std::string& name, const std::string& value) {
  auto first = std::find_if(headers_.begin(), headers_.end(),
                            [&](const auto& h) { return TextEquals(h.first, name); });
  if (first == headers_.end()) {
    AppendHeader(name, value);
    return;
  }
  first->second = value;
  headers_.erase(std::remove_if(first + 1, headers_.end(),
                                [&](const auto& h) { return TextEquals(h.first, name); }),
                 headers_.end());
}

void InternetHeaders::DeleteHeader(const std::string& name) {
  headers_.erase(std::remove_if(headers_.begin(), headers_.end(),
                                [&](const auto& h) { return TextEquals(h.first, name); }),
                 headers_.end());
}

void InternetHeaders::DeleteAllHeaders() { headers_.clear(); }

std::int32_t InternetHeaders::Count() const { return static_cast<std::int32_t>(headers_.size()); }

std::string InternetHeaders::Name(std::int32_t index) const {
  if (index < 0 || index >= Count())
    throw OutOfBoundsException("no header " + std::to_string(index));
  return headers_[static_cast<std::size_t>(index)].first;
}

std::string InternetHeaders::Value(std::int32_t index) const {
  if (index < 0 || index >= Count())
    throw OutOfBoundsException("no header " + std::to_string(index));
  return headers_[static_cast<std::size_t>(index)].second;
}

std::string InternetHeaders::Value(const std::string& name) const {
  for (const auto& [n, v] : headers_)
    if (TextEquals(n, name)) return v;
  return {};
}

std::string InternetHeaders::Source() const {
  std::string text;
  for (const auto& [n, v] : headers_) text += n + ": " + v + "\r\n";
  return text;
}

Ref<InternetHeaders> InternetHeaders::Parse(const std::string& lines) {
  auto headers = MakeRef<InternetHeaders>();
  for (const auto& raw : Split(lines, "\n")) {
    const std::string line = raw.size() && raw.back() == '\r' ? raw.substr(0, raw.size() - 1) : raw;
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !headers->headers_.empty()) {
      headers->headers_.back().second += " " + Trim(line, kHeaderBlanks);
      continue;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = Trim(std::string_view(line).substr(0, colon), kHeaderBlanks);
    if (!name.empty()) headers->AppendHeader(name, Trim(std::string_view(line).substr(colon + 1), kHeaderBlanks));
  }
  return headers;
}

}  // namespace fw
