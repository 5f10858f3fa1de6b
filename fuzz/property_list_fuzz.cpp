// Feeds arbitrary bytes to the property-list reader. The target object declares every name the
// program's lists use, with its type, plus a Single and an object property, which have no list
// encoding. The only acceptable outcome besides success is PropertyListException.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/object/classes.h"
#include "platform/object/property_list.h"
#include "platform/object/value.h"

namespace {

struct FuzzTarget : fw::Object {
  FW_CLASS_HANDLE()
  std::size_t sets = 0;
  fw::Value last;
};

struct Declared {
  const char* name;
  fw::PropertyType type;
};

constexpr Declared kDeclared[] = {
    {"Alignment", fw::PropertyType::Int32},       {"ButtonStyle", fw::PropertyType::Int32},
    {"Frame", fw::PropertyType::Int32},           {"Height", fw::PropertyType::Int32},
    {"Index", fw::PropertyType::Int32},           {"Left", fw::PropertyType::Int32},
    {"LimitText", fw::PropertyType::Int32},       {"MacProcId", fw::PropertyType::Int32},
    {"MaxHeight", fw::PropertyType::Int32},       {"Maximum", fw::PropertyType::Int32},
    {"MaxWidth", fw::PropertyType::Int32},        {"MinHeight", fw::PropertyType::Int32},
    {"MinWidth", fw::PropertyType::Int32},        {"Mode", fw::PropertyType::Int32},
    {"Period", fw::PropertyType::Int32},          {"Placement", fw::PropertyType::Int32},
    {"Port", fw::PropertyType::Int32},            {"TabIndex", fw::PropertyType::Int32},
    {"TabPanelIndex", fw::PropertyType::Int32},   {"TextAlign", fw::PropertyType::Int32},
    {"Top", fw::PropertyType::Int32},             {"Value", fw::PropertyType::Int32},
    {"Width", fw::PropertyType::Int32},           {"AcceptFocus", fw::PropertyType::Boolean},
    {"AcceptTabs", fw::PropertyType::Boolean},    {"AutoDeactivate", fw::PropertyType::Boolean},
    {"Bold", fw::PropertyType::Boolean},          {"Border", fw::PropertyType::Boolean},
    {"Cancel", fw::PropertyType::Boolean},        {"CloseButton", fw::PropertyType::Boolean},
    {"Composite", fw::PropertyType::Boolean},     {"Default", fw::PropertyType::Boolean},
    {"DoubleBuffer", fw::PropertyType::Boolean},  {"Enabled", fw::PropertyType::Boolean},
    {"EraseBackground", fw::PropertyType::Boolean}, {"FullScreen", fw::PropertyType::Boolean},
    {"HasBackColor", fw::PropertyType::Boolean},  {"Italic", fw::PropertyType::Boolean},
    {"LiveResize", fw::PropertyType::Boolean},    {"LockBottom", fw::PropertyType::Boolean},
    {"LockLeft", fw::PropertyType::Boolean},      {"LockRight", fw::PropertyType::Boolean},
    {"LockTop", fw::PropertyType::Boolean},       {"MaximizeButton", fw::PropertyType::Boolean},
    {"MenuBarVisible", fw::PropertyType::Boolean}, {"MinimizeButton", fw::PropertyType::Boolean},
    {"Multiline", fw::PropertyType::Boolean},     {"Password", fw::PropertyType::Boolean},
    {"ReadOnly", fw::PropertyType::Boolean},      {"Resizeable", fw::PropertyType::Boolean},
    {"ScrollbarHorizontal", fw::PropertyType::Boolean},
    {"ScrollbarVertical", fw::PropertyType::Boolean},
    {"Selectable", fw::PropertyType::Boolean},    {"Styled", fw::PropertyType::Boolean},
    {"TabStop", fw::PropertyType::Boolean},       {"Transparent", fw::PropertyType::Boolean},
    {"Underline", fw::PropertyType::Boolean},     {"UseFocusRing", fw::PropertyType::Boolean},
    {"Visible", fw::PropertyType::Boolean},       {"yield", fw::PropertyType::Boolean},
    {"BackColor", fw::PropertyType::Color},       {"TextColor", fw::PropertyType::Color},
    {"Address", fw::PropertyType::String},        {"Caption", fw::PropertyType::String},
    {"DataField", fw::PropertyType::String},      {"DataSource", fw::PropertyType::String},
    {"Format", fw::PropertyType::String},         {"HelpTag", fw::PropertyType::String},
    {"InitialParent", fw::PropertyType::String},  {"Mask", fw::PropertyType::String},
    {"Name", fw::PropertyType::String},           {"Text", fw::PropertyType::String},
    {"TextFont", fw::PropertyType::String},       {"Title", fw::PropertyType::String},
    {"TextSize", fw::PropertyType::Single},       {"Parent", fw::PropertyType::Object},
};

const fw::ClassRecord& FuzzTargetClass() {
  if (auto* c = fw::FindClass("FuzzTarget")) return *c;
  fw::ClassBuilder builder("FuzzTarget", nullptr);
  builder.Allocator([] { return new FuzzTarget; });
  for (const auto& d : kDeclared) {
    fw::PropertyDeclaration p;
    p.name = d.name;
    p.type = d.type;
    p.typeName = std::string(fw::PropertyTypeName(d.type));
    p.set = [](fw::Object& o, const fw::Value& v) {
      auto& target = static_cast<FuzzTarget&>(o);
      ++target.sets;
      target.last = v;
    };
    p.get = [](fw::Object& o) { return static_cast<FuzzTarget&>(o).last; };
    builder.Property(std::move(p));
  }
  return builder.Register();
}

}  // namespace

const fw::ClassRecord& FuzzTarget::ClassHandle() { return FuzzTargetClass(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > UINT32_MAX) return 0;
  static const fw::Ref<fw::Object> target = fw::RuntimeNewObject(FuzzTargetClass());
  try {
    fw::SetProperties(*target, fw::PropertyBlob{data, static_cast<std::uint32_t>(size)});
  } catch (const fw::PropertyListException&) {
    // A list that cannot be read is reported, which is what it should do.
  }
  return 0;
}
