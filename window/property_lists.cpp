#include "window/property_lists.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "window/property_list_builder.h"

namespace frametide {

namespace {

using namespace plist;

// Marks a control that is not an element of a control array.
constexpr std::int32_t kNoIndex = std::numeric_limits<std::int32_t>::min();

struct Bounds {
  std::int32_t left, top, width, height;
};
struct Locks {
  bool left, top, right, bottom;
};
constexpr Locks kNoLocks{false, false, false, false};

// The entries every visible control starts with, in the order its class writes them.
template <std::size_t N>
constexpr auto Placed(const char (&name)[N], Bounds b, Locks l) {
  return List(String("Name", name), Int32("Index", kNoIndex), Int32("Left", b.left),
              Int32("Top", b.top), Int32("Width", b.width), Int32("Height", b.height),
              Bool("LockLeft", l.left), Bool("LockTop", l.top), Bool("LockRight", l.right),
              Bool("LockBottom", l.bottom), Int32("TabPanelIndex", 0));
}

template <std::size_t N, std::size_t T>
constexpr auto StaticTextList(const char (&name)[N], Bounds b, Locks l, std::int32_t tabIndex,
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
constexpr auto EditFieldList(const char (&name)[N], Bounds b, Locks l, std::int32_t tabIndex,
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
constexpr auto PushButtonList(const char (&name)[N], Bounds b, Locks l, std::int32_t tabIndex,
                              const char (&caption)[C]) {
  return List(Placed(name, b, l), Int32("TabIndex", tabIndex), Bool("TabStop", true),
              String("Caption", caption), Bool("Default", false), Bool("Cancel", false),
              Bool("Enabled", true), Bool("Visible", true), String("HelpTag", ""),
              Bool("AutoDeactivate", true), Int32("ButtonStyle", 0), String("TextFont", "System"),
              Bool("Bold", false), Bool("Italic", false), Bool("Underline", false),
              String("InitialParent", ""));
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

constexpr auto kStaticText1 =
    StaticTextList("StaticText1", {375, 190, 257, 107}, kNoLocks, 0, kInstructions, true);
constexpr auto kEditField1 =
    EditFieldList("EditField1", {52, 14, 615, 19}, {true, false, true, false}, 1, "");
constexpr auto kSocket1 = List(String("Address", ""), Int32("Port", 0), Bool("yield", false));
constexpr auto kProgressBar1 = List(
    Placed("ProgressBar1", {20, 366, 647, 13}, {true, false, true, true}), Bool("Visible", true),
    String("HelpTag", ""), Bool("AutoDeactivate", true), Bool("Enabled", true),
    Int32("Value", 0), Int32("Maximum", 100), String("InitialParent", ""));
constexpr auto kTimer1 = List(Int32("Mode", 2), Int32("Period", 10000));
constexpr auto kPushButton1 =
    PushButtonList("PushButton1", {220, 46, 80, 20}, {false, false, true, false}, 2, "start");
constexpr auto kCanvas1 = List(
    Placed("Canvas1", {20, 90, 280, 203}, kNoLocks), Int32("TabIndex", 3), Bool("TabStop", true),
    Bool("Visible", true), String("HelpTag", ""), Bool("AutoDeactivate", true),
    Bool("Enabled", true), Bool("UseFocusRing", true), Bool("AcceptFocus", false),
    Bool("AcceptTabs", false), Bool("DoubleBuffer", false), Bool("EraseBackground", true),
    String("InitialParent", ""));
constexpr auto kNummer = StaticTextList("nummer", {375, 333, 292, 19}, kNoLocks, 4, "");
constexpr auto kStaticText2 =
    StaticTextList("StaticText2", {18, 46, 115, 20}, kNoLocks, 5, "period in seconds:");
constexpr auto kPushButton2 =
    PushButtonList("PushButton2", {220, 332, 80, 20}, {false, false, true, true}, 6, "make qt");
constexpr auto kPeriode = EditFieldList("periode", {137, 45, 65, 22}, kNoLocks, 7, "10");
constexpr auto kStaticText3 = StaticTextList("StaticText3", {20, 334, 115, 20},
                                             {false, false, false, true}, 8, "frames per second:");
constexpr auto kFps = EditFieldList("fps", {137, 332, 65, 22}, {false, false, false, true}, 9, "25");
constexpr auto kStaticText4 =
    StaticTextList("StaticText4", {375, 92, 60, 20}, kNoLocks, 10, "start date");
constexpr auto kStaticText5 =
    StaticTextList("StaticText5", {375, 124, 60, 20}, kNoLocks, 11, "stop date");
constexpr auto kStaticText7 = StaticTextList("StaticText7", {20, 305, 113, 23},
                                             {true, true, false, false}, 12, "post processing:");
constexpr auto kStaticText8 =
    StaticTextList("StaticText8", {20, 14, 35, 20}, {true, true, false, false}, 13, "url: ");
constexpr auto kDvon = EditFieldList("dvon", {447, 90, 220, 22}, kNoLocks, 14, "");
constexpr auto kDbis = EditFieldList("dbis", {447, 122, 220, 22}, kNoLocks, 15, "");

static_assert(kWindow.size() == 276);
static_assert(kStaticText1.size() == 550);
static_assert(kSocket1.size() == 28);
static_assert(kTimer1.size() == 20);

template <std::size_t N>
constexpr fw::PropertyBlob Blob(const Bytes<N>& bytes) {
  static_assert(N <= std::numeric_limits<std::uint32_t>::max());
  return fw::PropertyBlob{bytes.data(), static_cast<std::uint32_t>(N)};
}

constexpr std::array<NamedPropertyList, 19> kControls{{
    {"StaticText1", Blob(kStaticText1)}, {"EditField1", Blob(kEditField1)},
    {"Socket1", Blob(kSocket1)},         {"ProgressBar1", Blob(kProgressBar1)},
    {"Timer1", Blob(kTimer1)},           {"PushButton1", Blob(kPushButton1)},
    {"Canvas1", Blob(kCanvas1)},         {"nummer", Blob(kNummer)},
    {"StaticText2", Blob(kStaticText2)}, {"PushButton2", Blob(kPushButton2)},
    {"periode", Blob(kPeriode)},         {"StaticText3", Blob(kStaticText3)},
    {"fps", Blob(kFps)},                 {"StaticText4", Blob(kStaticText4)},
    {"StaticText5", Blob(kStaticText5)}, {"StaticText7", Blob(kStaticText7)},
    {"StaticText8", Blob(kStaticText8)}, {"dvon", Blob(kDvon)},
    {"dbis", Blob(kDbis)},
}};

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
