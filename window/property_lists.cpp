#include "window/property_lists.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "window/control_table.h"
#include "window/property_list_builder.h"

namespace frametide {

namespace {

using namespace plist;

// Marks a control that is not an element of a control array.
constexpr std::int32_t kNoIndex = std::numeric_limits<std::int32_t>::min();

struct Bounds {
  std::int32_t left, top, width, height;
};
// The lock flags that are True.
enum Locks : unsigned { kNoLocks = 0, kLockLeft = 1, kLockTop = 2, kLockRight = 4, kLockBottom = 8 };

// The entries every visible control starts with, in the order its class writes them.
template <std::size_t N>
constexpr auto Placed(const char (&name)[N], Bounds b, unsigned locks) {
  return List(String("Name", name), Int32("Index", kNoIndex), Int32("Left", b.left),
              Int32("Top", b.top), Int32("Width", b.width), Int32("Height", b.height),
              Bool("LockLeft", locks & kLockLeft), Bool("LockTop", locks & kLockTop),
              Bool("LockRight", locks & kLockRight), Bool("LockBottom", locks & kLockBottom),
              Int32("TabPanelIndex", 0));
}

template <std::size_t N, std::size_t T>
constexpr auto StaticTextList(const char (&name)[N], Bounds b, unsigned l, std::int32_t tabIndex,
                              const char (&text)[T], bool multiline = false) {
  return List(Placed(name, b, l), Int32("TabIndex", tabIndex), String("Text", text),
              Int32("TextAlign", 0), ColorBytes("TextColor", 0, 0, 0), Bool("Multiline", multiline),
              Bool("Enabled", true), Bool("Visible", true), Bool("Selectable", false),
              Bool("Transparent", false), String("HelpTag", ""), Bool("AutoDeactivate", true),
              String("TextFont", "System"), Bool("Bold", false), Bool("Italic", false),
              Bool("Underline", false), String("DataSource", ""), String("DataField", ""),
              String("InitialParent", ""));
}

template <std::size_t N, std::size_t T>
constexpr auto EditFieldList(const char (&name)[N], Bounds b, unsigned l, std::int32_t tabIndex,
                             const char (&text)[T]) {
  return List(Placed(name, b, l), Int32("TabIndex", tabIndex), Bool("TabStop", true),
              Bool("Border", true), Bool("Multiline", false), Bool("ScrollbarHorizontal", false),
              Bool("ScrollbarVertical", true), Bool("Styled", false), Bool("Password", false),
              Bool("UseFocusRing", true), ColorBytes("TextColor", 0, 0, 0),
              ColorBytes("BackColor", 255, 255, 255), Bool("Enabled", true), String("Format", ""),
              Bool("Visible", true), String("HelpTag", ""), Bool("AutoDeactivate", true),
              String("TextFont", "System"), Bool("Bold", false), Bool("Italic", false),
              Bool("Underline", false), String("Text", text), String("Mask", ""),
              Bool("ReadOnly", false), Int32("LimitText", 0), Bool("AcceptTabs", false),
              Int32("Alignment", 0), String("DataSource", ""), String("DataField", ""),
              String("InitialParent", ""));
}

template <std::size_t N, std::size_t C>
constexpr auto PushButtonList(const char (&name)[N], Bounds b, unsigned l, std::int32_t tabIndex,
                              const char (&caption)[C]) {
  return List(Placed(name, b, l), Int32("TabIndex", tabIndex), Bool("TabStop", true),
              String("Caption", caption), Bool("Default", false), Bool("Cancel", false),
              Bool("Enabled", true), Bool("Visible", true), String("HelpTag", ""),
              Bool("AutoDeactivate", true), Int32("ButtonStyle", 0), String("TextFont", "System"),
              Bool("Bold", false), Bool("Italic", false), Bool("Underline", false),
              String("InitialParent", ""));
}

template <std::size_t N>
constexpr auto CanvasList(const char (&name)[N], Bounds b, unsigned l, std::int32_t tabIndex) {
  return List(Placed(name, b, l), Int32("TabIndex", tabIndex), Bool("TabStop", true),
              Bool("Visible", true), String("HelpTag", ""), Bool("AutoDeactivate", true),
              Bool("Enabled", true), Bool("UseFocusRing", true), Bool("AcceptFocus", false),
              Bool("AcceptTabs", false), Bool("DoubleBuffer", false),
              Bool("EraseBackground", true), String("InitialParent", ""));
}

template <std::size_t N>
constexpr auto ProgressBarList(const char (&name)[N], Bounds b, unsigned l, std::int32_t value,
                               std::int32_t maximum) {
  return List(Placed(name, b, l), Bool("Visible", true), String("HelpTag", ""),
              Bool("AutoDeactivate", true), Bool("Enabled", true), Int32("Value", value),
              Int32("Maximum", maximum), String("InitialParent", ""));
}

// The two non-visual controls are named by registration alone: their lists carry no Name.
template <std::size_t N, std::size_t A>
constexpr auto HTTPSocketList(const char (&)[N], const char (&address)[A], std::int32_t port,
                              bool yield) {
  return List(String("Address", address), Int32("Port", port), Bool("yield", yield));
}

template <std::size_t N>
constexpr auto TimerList(const char (&)[N], std::int32_t mode, std::int32_t period) {
  return List(Int32("Mode", mode), Int32("Period", period));
}

constexpr auto kWindow = List(
    Int32("Placement", 0), Int32("Width", 687), Int32("Height", 399), Int32("MinWidth", 64),
    Int32("MinHeight", 64), Int32("MaxWidth", 32000), Int32("MaxHeight", 32000),
    Int32("Frame", 0), Bool("Composite", false), Bool("HasBackColor", false),
    ColorBytes("BackColor", 255, 255, 255), String("Title", "Frametide"), Bool("Visible", true),
    Bool("FullScreen", false), Bool("MenuBarVisible", true), Bool("CloseButton", true),
    Bool("Resizeable", false), Bool("LiveResize", false), Bool("MaximizeButton", false),
    Bool("MinimizeButton", false), Int32("MacProcID", 0));

constexpr char kInstructions[] =
    "1. paste a valid url into the field above\r"
    "2. select a timer period (seconds)\r"
    "3. modify start and stop dates\r"
    "4. press start\r"
    "5. watch frametiding\r"
    "6. press stop sometimes\r"
    "7. press make qt to make a movie";
static_assert(sizeof kInstructions - 1 == 200);

#define FRAMETIDE_CONTROL_LIST(name, type, madeAs, fontCalls, list, ...) \
  constexpr auto k##name = list(#name, __VA_ARGS__);
FRAMETIDE_WINDOW1_CONTROLS(FRAMETIDE_CONTROL_LIST)
#undef FRAMETIDE_CONTROL_LIST

static_assert(kWindow.size() == 276);
static_assert(kStaticText1.size() == 550);
static_assert(kSocket1.size() == 28);
static_assert(kTimer1.size() == 20);

template <std::size_t N>
constexpr fw::PropertyBlob Blob(const Bytes<N>& bytes) {
  static_assert(N <= std::numeric_limits<std::uint32_t>::max());
  return fw::PropertyBlob{bytes.data(), static_cast<std::uint32_t>(N)};
}

#define FRAMETIDE_NAMED_LIST(name, ...) NamedPropertyList{#name, Blob(k##name)},
constexpr std::array kControls{FRAMETIDE_WINDOW1_CONTROLS(FRAMETIDE_NAMED_LIST)};
#undef FRAMETIDE_NAMED_LIST

}  // namespace

fw::PropertyBlob WindowPropertyList() { return Blob(kWindow); }

fw::PropertyBlob ControlPropertyList(std::string_view controlName) {
  for (const auto& entry : kControls)
    if (entry.control == controlName) return entry.list;
  throw fw::RuntimeException("no property list for a control named \"" + std::string(controlName) +
                             "\"");
}

std::span<const NamedPropertyList> ControlPropertyLists() { return kControls; }

}  // namespace frametide
