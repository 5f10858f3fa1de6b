#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/object/classes.h"
#include "platform/object/property_list.h"
#include "window/property_list_builder.h"
#include "window/property_lists.h"

namespace {

using fw::PropertyBlob;
using fw::PropertyType;
using fw::Value;

constexpr std::int32_t kNoIndex = std::numeric_limits<std::int32_t>::min();

std::vector<std::uint8_t> BytesOf(const PropertyBlob& b) { return {b.data, b.data + b.length}; }
std::vector<std::uint8_t> BytesOf(std::string_view s) { return {s.begin(), s.end()}; }
template <std::size_t N>
std::vector<std::uint8_t> BytesOf(const std::array<std::uint8_t, N>& a) {
  return {a.begin(), a.end()};
}
PropertyBlob BlobOf(const std::vector<std::uint8_t>& v) {
  return {v.data(), static_cast<std::uint32_t>(v.size())};
}

bool Contains(const std::vector<std::uint8_t>& hay, const std::vector<std::uint8_t>& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// The types of every name the program's lists use, written down apart from the lists.
const std::map<std::string, PropertyType>& TypeTable() {
  static const auto table = [] {
    std::map<std::string, PropertyType> t;
    for (const char* n :
         {"Alignment", "ButtonStyle", "Frame", "Height", "Index", "Left", "LimitText", "MacProcID",
          "MaxHeight", "Maximum", "MaxWidth", "MinHeight", "MinWidth", "Mode", "Period",
          "Placement", "Port", "TabIndex", "TabPanelIndex", "TextAlign", "Top", "Value", "Width"})
      t[n] = PropertyType::Int32;
    for (const char* n :
         {"AcceptFocus", "AcceptTabs", "AutoDeactivate", "Bold", "Border", "Cancel",
          "CloseButton", "Composite", "Default", "DoubleBuffer", "Enabled", "EraseBackground",
          "FullScreen", "HasBackColor", "Italic", "LiveResize", "LockBottom", "LockLeft",
          "LockRight", "LockTop", "MaximizeButton", "MenuBarVisible", "MinimizeButton",
          "Multiline", "Password", "ReadOnly", "Resizeable", "ScrollbarHorizontal",
          "ScrollbarVertical", "Selectable", "Styled", "TabStop", "Transparent", "Underline",
          "UseFocusRing", "Visible", "yield"})
      t[n] = PropertyType::Boolean;
    for (const char* n : {"BackColor", "TextColor"}) t[n] = PropertyType::Color;
    for (const char* n : {"Address", "Caption", "DataField", "DataSource", "Format", "HelpTag",
                          "InitialParent", "Mask", "Name", "Text", "TextFont", "Title"})
      t[n] = PropertyType::String;
    return t;
  }();
  return table;
}

struct Entry {
  std::string name;
  Value value;
};

// An independent reader of the program's lists; any fault is a test failure.
std::vector<Entry> Decode(const PropertyBlob& blob) {
  std::vector<Entry> out;
  std::size_t at = 0;
  auto u32 = [&](std::size_t p) {
    return std::uint32_t{blob.data[p]} << 24 | std::uint32_t{blob.data[p + 1]} << 16 |
           std::uint32_t{blob.data[p + 2]} << 8 | std::uint32_t{blob.data[p + 3]};
  };
  while (at < blob.length) {
    std::size_t blank = at;
    while (blank < blob.length && blob.data[blank] != ' ') ++blank;
    if (blank == blob.length) throw std::runtime_error("no blank at " + std::to_string(at));
    const std::string name(blob.data + at, blob.data + blank);
    const auto type = TypeTable().find(name);
    if (type == TypeTable().end()) throw std::runtime_error("unknown name " + name);
    at = blank + 1;
    auto need = [&](std::size_t n) {
      if (blob.length - at < n) throw std::runtime_error(name + " runs past the end");
    };
    switch (type->second) {
      case PropertyType::Int32:
        need(4), out.push_back({name, static_cast<std::int32_t>(u32(at))}), at += 4;
        break;
      case PropertyType::Boolean:
        need(1);
        if (blob.data[at] > 1) throw std::runtime_error(name + " is not a Boolean");
        out.push_back({name, blob.data[at] == 1}), at += 1;
        break;
      case PropertyType::Color:
        need(3), out.push_back({name, fw::Color{blob.data[at], blob.data[at + 1], blob.data[at + 2]}});
        at += 3;
        break;
      default: {
        need(4);
        const std::uint32_t n = u32(at);
        at += 4;
        need(n);
        out.push_back({name, std::string(blob.data + at, blob.data + at + n)}), at += n;
      }
    }
  }
  return out;
}

std::vector<std::string> Names(const std::vector<Entry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

const Value& Get(const std::vector<Entry>& entries, std::string_view name) {
  for (const auto& e : entries)
    if (e.name == name) return e.value;
  throw std::runtime_error("no entry " + std::string(name));
}

// ---- the program's lists ----

const std::vector<std::string> kWindowOrder{
    "Placement", "Width", "Height", "MinWidth", "MinHeight", "MaxWidth", "MaxHeight", "Frame",
    "Composite", "HasBackColor", "BackColor", "Title", "Visible", "FullScreen", "MenuBarVisible",
    "CloseButton", "Resizeable", "LiveResize", "MaximizeButton", "MinimizeButton", "MacProcID"};
const std::vector<std::string> kStaticTextOrder{
    "Name", "Index", "Left", "Top", "Width", "Height", "LockLeft", "LockTop", "LockRight",
    "LockBottom", "TabPanelIndex", "TabIndex", "Text", "TextAlign", "TextColor", "Multiline",
    "Enabled", "Visible", "Selectable", "Transparent", "HelpTag", "AutoDeactivate", "TextFont",
    "Bold", "Italic", "Underline", "DataSource", "DataField", "InitialParent"};
const std::vector<std::string> kEditFieldOrder{
    "Name", "Index", "Left", "Top", "Width", "Height", "LockLeft", "LockTop", "LockRight",
    "LockBottom", "TabPanelIndex", "TabIndex", "TabStop", "Border", "Multiline",
    "ScrollbarHorizontal", "ScrollbarVertical", "Styled", "Password", "UseFocusRing",
    "TextColor", "BackColor", "Enabled", "Format", "Visible", "HelpTag", "AutoDeactivate",
    "TextFont", "Bold", "Italic", "Underline", "Text", "Mask", "ReadOnly", "LimitText",
    "AcceptTabs", "Alignment", "DataSource", "DataField", "InitialParent"};
const std::vector<std::string> kPushButtonOrder{
    "Name", "Index", "Left", "Top", "Width", "Height", "LockLeft", "LockTop", "LockRight",
    "LockBottom", "TabPanelIndex", "TabIndex", "TabStop", "Caption", "Default", "Cancel",
    "Enabled", "Visible", "HelpTag", "AutoDeactivate", "ButtonStyle", "TextFont", "Bold",
    "Italic", "Underline", "InitialParent"};
const std::vector<std::string> kCanvasOrder{
    "Name", "Index", "Left", "Top", "Width", "Height", "LockLeft", "LockTop", "LockRight",
    "LockBottom", "TabPanelIndex", "TabIndex", "TabStop", "Visible", "HelpTag", "AutoDeactivate",
    "Enabled", "UseFocusRing", "AcceptFocus", "AcceptTabs", "DoubleBuffer", "EraseBackground",
    "InitialParent"};
const std::vector<std::string> kProgressBarOrder{
    "Name", "Index", "Left", "Top", "Width", "Height", "LockLeft", "LockTop", "LockRight",
    "LockBottom", "TabPanelIndex", "Visible", "HelpTag", "AutoDeactivate", "Enabled", "Value",
    "Maximum", "InitialParent"};

struct Row {
  const char* name;
  const std::vector<std::string>* order;
  std::int32_t left, top, width, height, tabIndex;  // tabIndex -1: none
  const char* locks;                                // letters of the True locks: L T R B
  std::vector<Entry> content;
};

const std::vector<Row>& ControlTable() {
  static const std::vector<Row> rows{
      {"StaticText1", &kStaticTextOrder, 375, 190, 257, 107, 0, "", {{"Multiline", true}}},
      {"EditField1", &kEditFieldOrder, 52, 14, 615, 19, 1, "LR", {{"Text", std::string()}}},
      {"Socket1", nullptr, 0, 0, 0, 0, -1, "", {}},
      {"ProgressBar1", &kProgressBarOrder, 20, 366, 647, 13, -1, "LRB",
       {{"Value", 0}, {"Maximum", 100}}},
      {"Timer1", nullptr, 0, 0, 0, 0, -1, "", {}},
      {"PushButton1", &kPushButtonOrder, 220, 46, 80, 20, 2, "R", {{"Caption", std::string("start")}}},
      {"Canvas1", &kCanvasOrder, 20, 90, 280, 203, 3, "",
       {{"EraseBackground", true}, {"DoubleBuffer", false}}},
      {"nummer", &kStaticTextOrder, 375, 333, 292, 19, 4, "", {{"Text", std::string()}}},
      {"StaticText2", &kStaticTextOrder, 18, 46, 115, 20, 5, "",
       {{"Text", std::string("period in seconds:")}}},
      {"PushButton2", &kPushButtonOrder, 220, 332, 80, 20, 6, "RB",
       {{"Caption", std::string("make qt")}}},
      {"periode", &kEditFieldOrder, 137, 45, 65, 22, 7, "", {{"Text", std::string("10")}}},
      {"StaticText3", &kStaticTextOrder, 20, 334, 115, 20, 8, "B",
       {{"Text", std::string("frames per second:")}}},
      {"fps", &kEditFieldOrder, 137, 332, 65, 22, 9, "B", {{"Text", std::string("25")}}},
      {"StaticText4", &kStaticTextOrder, 375, 92, 60, 20, 10, "", {{"Text", std::string("start date")}}},
      {"StaticText5", &kStaticTextOrder, 375, 124, 60, 20, 11, "", {{"Text", std::string("stop date")}}},
      {"StaticText7", &kStaticTextOrder, 20, 305, 113, 23, 12, "LT",
       {{"Text", std::string("post processing:")}}},
      {"StaticText8", &kStaticTextOrder, 20, 14, 35, 20, 13, "LT", {{"Text", std::string("url: ")}}},
      {"dvon", &kEditFieldOrder, 447, 90, 220, 22, 14, "", {{"Text", std::string()}}},
      {"dbis", &kEditFieldOrder, 447, 122, 220, 22, 15, "", {{"Text", std::string()}}},
  };
  return rows;
}

TEST(PropertyLists, ByteExamplesAndLengths) {
  EXPECT_EQ(BytesOf(frametide::ControlPropertyList("Timer1")),
            (std::vector<std::uint8_t>{0x4D, 0x6F, 0x64, 0x65, 0x20, 0x00, 0x00, 0x00, 0x02, 0x50,
                                       0x65, 0x72, 0x69, 0x6F, 0x64, 0x20, 0x00, 0x00, 0x27, 0x10}));
  EXPECT_EQ(BytesOf(frametide::ControlPropertyList("Socket1")),
            (std::vector<std::uint8_t>{0x41, 0x64, 0x64, 0x72, 0x65, 0x73, 0x73, 0x20, 0x00, 0x00,
                                       0x00, 0x00, 0x50, 0x6F, 0x72, 0x74, 0x20, 0x00, 0x00, 0x00,
                                       0x00, 0x79, 0x69, 0x65, 0x6C, 0x64, 0x20, 0x00}));
  const std::vector<std::uint8_t> index{0x49, 0x6E, 0x64, 0x65, 0x78, 0x20, 0x80, 0x00, 0x00, 0x00};
  const std::vector<std::uint8_t> tabStop{0x54, 0x61, 0x62, 0x53, 0x74, 0x6F, 0x70, 0x20, 0x01};
  const std::vector<std::uint8_t> backColor{0x42, 0x61, 0x63, 0x6B, 0x43, 0x6F, 0x6C,
                                            0x6F, 0x72, 0x20, 0xFF, 0xFF, 0xFF};
  const std::vector<std::uint8_t> caption{0x43, 0x61, 0x70, 0x74, 0x69, 0x6F, 0x6E, 0x20, 0x00,
                                          0x00, 0x00, 0x05, 0x73, 0x74, 0x61, 0x72, 0x74};
  const auto pushButton1 = BytesOf(frametide::ControlPropertyList("PushButton1"));
  const auto editField1 = BytesOf(frametide::ControlPropertyList("EditField1"));
  EXPECT_TRUE(Contains(pushButton1, index));
  EXPECT_TRUE(Contains(pushButton1, tabStop));
  EXPECT_TRUE(Contains(pushButton1, caption));
  EXPECT_TRUE(Contains(editField1, backColor));
  EXPECT_TRUE(Contains(editField1, index));
  // The builder writes each type exactly so.
  using namespace frametide::plist;
  EXPECT_EQ(BytesOf(Int32("Index", kNoIndex)), index);
  EXPECT_EQ(BytesOf(Bool("TabStop", true)), tabStop);
  EXPECT_EQ(BytesOf(ColorBytes("BackColor", 255, 255, 255)), backColor);
  EXPECT_EQ(BytesOf(String("Caption", "start")), caption);
  EXPECT_EQ(BytesOf(String("Text", "")), BytesOf(std::string_view("Text \0\0\0\0", 9)));
  EXPECT_THROW(Int32("Two words", 1), std::invalid_argument);

  EXPECT_EQ(frametide::WindowPropertyList().length, 276u);
  EXPECT_EQ(frametide::ControlPropertyList("StaticText1").length, 550u);
  EXPECT_EQ(frametide::ControlPropertyList("Timer1").length, 20u);
  EXPECT_EQ(frametide::ControlPropertyList("Socket1").length, 28u);
  int longer = frametide::WindowPropertyList().length > 255 ? 1 : 0;
  for (const auto& c : frametide::ControlPropertyLists()) longer += c.list.length > 255 ? 1 : 0;
  EXPECT_EQ(longer, 17);
  EXPECT_THROW(frametide::ControlPropertyList("StaticText6"), fw::RuntimeException);
}

TEST(PropertyLists, WindowListDecodesToItsDesign) {
  const auto entries = Decode(frametide::WindowPropertyList());
  EXPECT_EQ(Names(entries), kWindowOrder);
  EXPECT_EQ(Get(entries, "Width"), Value(687));
  EXPECT_EQ(Get(entries, "Height"), Value(399));
  EXPECT_EQ(Get(entries, "MaxWidth"), Value(32000));
  EXPECT_EQ(Get(entries, "Title"), Value(std::string("Frametide")));
  EXPECT_EQ(Get(entries, "BackColor"), Value(fw::Color{255, 255, 255}));
  EXPECT_EQ(Get(entries, "Resizeable"), Value(false));
  EXPECT_EQ(Get(entries, "MenuBarVisible"), Value(true));
  EXPECT_EQ(Get(entries, "CloseButton"), Value(true));
  EXPECT_EQ(Get(entries, "MinimizeButton"), Value(false));
}

TEST(PropertyLists, ControlListsFollowTheControlTable) {
  const auto lists = frametide::ControlPropertyLists();
  const auto& rows = ControlTable();
  ASSERT_EQ(lists.size(), rows.size());
  std::map<const std::vector<std::string>*, std::vector<Entry>> firstOfClass;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    ASSERT_EQ(lists[i].control, row.name);
    EXPECT_EQ(BytesOf(lists[i].list), BytesOf(frametide::ControlPropertyList(row.name)));
    const auto entries = Decode(lists[i].list);
    if (!row.order) continue;  // the two non-visual lists are checked byte for byte above
    EXPECT_EQ(Names(entries), *row.order);
    EXPECT_EQ(Get(entries, "Name"), Value(std::string(row.name)));
    EXPECT_EQ(Get(entries, "Index"), Value(kNoIndex));
    EXPECT_EQ(Get(entries, "Left"), Value(row.left));
    EXPECT_EQ(Get(entries, "Top"), Value(row.top));
    EXPECT_EQ(Get(entries, "Width"), Value(row.width));
    EXPECT_EQ(Get(entries, "Height"), Value(row.height));
    const std::string locks = row.locks;
    EXPECT_EQ(Get(entries, "LockLeft"), Value(locks.find('L') != std::string::npos));
    EXPECT_EQ(Get(entries, "LockTop"), Value(locks.find('T') != std::string::npos));
    EXPECT_EQ(Get(entries, "LockRight"), Value(locks.find('R') != std::string::npos));
    EXPECT_EQ(Get(entries, "LockBottom"), Value(locks.find('B') != std::string::npos));
    if (row.tabIndex >= 0) {
      EXPECT_EQ(Get(entries, "TabIndex"), Value(row.tabIndex));
    }
    for (const auto& c : row.content) EXPECT_EQ(Get(entries, c.name), c.value) << c.name;

    // Apart from the values the table gives, every control of a class has the same list.
    std::set<std::string> own{"Name", "Left", "Top", "Width", "Height", "LockLeft", "LockTop",
                              "LockRight", "LockBottom", "TabIndex", "Text", "Caption", "Multiline"};
    auto [first, inserted] = firstOfClass.emplace(row.order, entries);
    if (inserted) continue;
    for (std::size_t k = 0; k < entries.size(); ++k) {
      if (own.count(entries[k].name)) continue;
      EXPECT_EQ(entries[k].value, first->second[k].value) << entries[k].name;
    }
  }
  // A few of the values all controls of a class share.
  const auto edit = Decode(frametide::ControlPropertyList("fps"));
  EXPECT_EQ(Get(edit, "ScrollbarVertical"), Value(true));
  EXPECT_EQ(Get(edit, "BackColor"), Value(fw::Color{255, 255, 255}));
  EXPECT_EQ(Get(edit, "TextColor"), Value(fw::Color{0, 0, 0}));
  EXPECT_EQ(Get(edit, "TextFont"), Value(std::string("System")));
  const auto label = Decode(frametide::ControlPropertyList("StaticText7"));
  EXPECT_EQ(Get(label, "Multiline"), Value(false));
  EXPECT_EQ(Get(label, "AutoDeactivate"), Value(true));
  EXPECT_EQ(Get(label, "Selectable"), Value(false));
  const auto button = Decode(frametide::ControlPropertyList("PushButton2"));
  EXPECT_EQ(Get(button, "ButtonStyle"), Value(0));
  EXPECT_EQ(Get(button, "TabStop"), Value(true));
}

TEST(PropertyLists, InstructionTextAndValuesWithBlanksAndNegatives) {
  const auto entries = Decode(frametide::ControlPropertyList("StaticText1"));
  const auto text = fw::FromValue<std::string>(Get(entries, "Text"));
  ASSERT_EQ(text.size(), 200u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 6);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.substr(0, 42), "1. paste a valid url into the field above\r");
  EXPECT_EQ(text.substr(text.size() - 32), "7. press make qt to make a movie");

  // The index bytes 80 00 00 00 are the smallest Int32, not a large positive number.
  EXPECT_EQ(fw::FromValue<std::int32_t>(Get(entries, "Index")), -2147483647 - 1);
  // Values holding blanks do not end their entries early.
  EXPECT_EQ(Get(Decode(frametide::ControlPropertyList("StaticText8")), "Text"),
            Value(std::string("url: ")));
  EXPECT_EQ(Get(Decode(frametide::ControlPropertyList("StaticText2")), "Text"),
            Value(std::string("period in seconds:")));
}

// ---- the reader ----

std::vector<std::string> setterLog;

struct ProbeBase : fw::Object {
  FW_CLASS_HANDLE()
  std::int32_t left = -1, macProcId = -1;
  bool visible = false;
  std::int32_t GetLeft() { return left; }
  void SetLeft(std::int32_t v) { setterLog.push_back("Left=" + std::to_string(v)), left = v; }
  std::int32_t GetMacProcId() { return macProcId; }
  void SetMacProcId(std::int32_t v) { setterLog.push_back("MacProcId"), macProcId = v; }
  bool GetVisible() { return visible; }
  void SetVisible(bool v) { setterLog.push_back(v ? "Visible=1" : "Visible=0"), visible = v; }
};

struct Probe : ProbeBase {
  FW_CLASS_HANDLE()
  std::string title = "untouched", caption = "untouched";
  fw::Color textColor{1, 2, 3};
  float textSize = 0;
  std::string GetTitle() { return title; }
  void SetTitle(const std::string& v) { setterLog.push_back("Title=" + v), title = v; }
  std::string GetCaption() { return caption; }
  void SetCaption(const std::string& v) { setterLog.push_back("Caption"), caption = v; }
  fw::Color GetTextColor() { return textColor; }
  void SetTextColor(fw::Color v) { setterLog.push_back("TextColor"), textColor = v; }
  float GetTextSize() { return textSize; }
  void SetTextSize(float v) { textSize = v; }
};

const fw::ClassRecord& ProbeBase::ClassHandle() {
  if (auto* c = fw::FindClass("ProbeBase")) return *c;
  return fw::ClassBuilder("ProbeBase", nullptr)
      .Allocator([] { return new ProbeBase; })
      .Property(fw::DeclareProperty<&ProbeBase::GetLeft, &ProbeBase::SetLeft>("Left", PropertyType::Int32))
      .Property(fw::DeclareProperty<&ProbeBase::GetVisible, &ProbeBase::SetVisible>(
          "Visible", PropertyType::Boolean))
      .Property(fw::DeclareProperty<&ProbeBase::GetMacProcId, &ProbeBase::SetMacProcId>(
          "MacProcId", PropertyType::Int32))
      .Register();
}

const fw::ClassRecord& Probe::ClassHandle() {
  if (auto* c = fw::FindClass("Probe")) return *c;
  return fw::ClassBuilder("Probe", &ProbeBase::ClassHandle())
      .Allocator([] { return new Probe; })
      .Property(fw::DeclareProperty<&Probe::GetTitle, &Probe::SetTitle>("Title", PropertyType::String))
      .Property(fw::DeclareProperty<&Probe::GetCaption, &Probe::SetCaption>("Caption",
                                                                          PropertyType::String))
      .Property(fw::DeclareProperty<&Probe::GetTextColor, &Probe::SetTextColor>(
          "TextColor", PropertyType::Color))
      .Property(fw::DeclareProperty<&Probe::GetTextSize, &Probe::SetTextSize>(
          "TextSize", PropertyType::Single))
      .Register();
}

fw::Ref<Probe> NewProbe() {
  setterLog.clear();
  return fw::Cast<Probe>(fw::RuntimeNewObject(Probe::ClassHandle()));
}

// Lists placed so that their last byte is the last readable byte: one more and the read faults.
class GuardedBuffer {
 public:
  GuardedBuffer() : page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))) {
    void* p = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::runtime_error("mmap");
    base_ = static_cast<std::uint8_t*>(p);
    if (mprotect(base_ + page_, page_, PROT_NONE) != 0) throw std::runtime_error("mprotect");
  }
  ~GuardedBuffer() { munmap(base_, 2 * page_); }
  PropertyBlob Place(const std::uint8_t* data, std::size_t n) {
    if (n > page_) throw std::runtime_error("list too long for the guard page");
    std::uint8_t* at = base_ + page_ - n;
    if (n) std::memcpy(at, data, n);
    return {at, static_cast<std::uint32_t>(n)};
  }
  PropertyBlob Place(const std::vector<std::uint8_t>& v) { return Place(v.data(), v.size()); }

 private:
  std::size_t page_;
  std::uint8_t* base_ = nullptr;
};

TEST(PropertyListReader, SetsEntriesInOrderThroughTheSetters) {
  using namespace frametide::plist;
  constexpr auto list =
      List(Int32("Left", 0x20202020), String("Title", "a b  c"), Bool("Visible", true),
           ColorBytes("TextColor", 10, 20, 30), Int32("MacProcID", 0), Int32("Left", -5));
  auto probe = NewProbe();
  GuardedBuffer guard;
  fw::SetProperties(*probe, guard.Place(list.data(), list.size()));
  EXPECT_EQ(setterLog, (std::vector<std::string>{"Left=538976288", "Title=a b  c", "Visible=1",
                                                 "TextColor", "MacProcId", "Left=-5"}));
  EXPECT_EQ(probe->left, -5);
  EXPECT_EQ(probe->title, "a b  c");
  EXPECT_EQ(probe->textColor, (fw::Color{10, 20, 30}));  // red, green, blue in byte order
  EXPECT_EQ(probe->macProcId, 0);                          // names match without regard to case
  EXPECT_EQ(probe->caption, "untouched");                  // not named, not set

  // An empty list sets nothing, even without any data behind it.
  setterLog.clear();
  fw::SetProperties(*probe, PropertyBlob{nullptr, 0});
  EXPECT_TRUE(setterLog.empty());
}

TEST(PropertyListReader, ProgressBarValueIsSetBeforeMaximum) {
  const auto entries = Decode(frametide::ControlPropertyList("ProgressBar1"));
  const auto names = Names(entries);
  const auto value = std::find(names.begin(), names.end(), "Value");
  const auto maximum = std::find(names.begin(), names.end(), "Maximum");
  ASSERT_NE(value, names.end());
  EXPECT_LT(value, maximum);
  EXPECT_EQ(Get(entries, "Value"), Value(0));
  EXPECT_EQ(Get(entries, "Maximum"), Value(100));
}

struct Malformed {
  std::string_view bytes;
  const char* property;
  std::size_t offset;
};

TEST(PropertyListReader, MalformedListsRaiseNamingPropertyAndOffset) {
  using namespace std::string_view_literals;
  const Malformed cases[] = {
      {"Left \0\0\0\x01" "Bogus \x01"sv, "\"Bogus\"", 9},              // not declared
      {"TextSize \0\0\0\0"sv, "\"TextSize\"", 9},                    // Single: no encoding
      {"Left \0\0"sv, "\"Left\"", 5},                                // Int32 past the end
      {"TextColor \xFF\xFF"sv, "\"TextColor\"", 10},                 // Color past the end
      {"Visible "sv, "\"Visible\"", 8},                              // Boolean past the end
      {"Left \0\0\0\x01Visible"sv, "\"Visible\"", 9},                // no blank before the end
      {" \x01"sv, "\"\"", 0},                                         // empty name
      {"Left \0\0\0\x01  \x01"sv, "\"\"", 9},                         // empty name later on
      {"Le-ft \0\0\0\x01"sv, "\"Le-ft\"", 0},                         // not only letters
      {"Vis\0ible \x01"sv, "\"Vis\\x00ible\"", 0},                    // a zero byte in the name
      {"Visible \x02"sv, "\"Visible\"", 8},                          // Boolean neither 0 nor 1
      {"Title \0\0"sv, "\"Title\"", 6},                              // String count cut short
      {"Title \0\0\0\x05" "abc"sv, "\"Title\"", 6},                  // String past the end
      {"Title \xFF\xFF\xFF\xFF" "abc"sv, "\"Title\"", 6},            // a count near 2^32
  };
  GuardedBuffer guard;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    auto probe = NewProbe();
    try {
      fw::SetProperties(*probe, guard.Place(reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                                            c.bytes.size()));
      ADD_FAILURE() << "no exception";
    } catch (const fw::PropertyListException& e) {
      const std::string message = e.Message();
      EXPECT_NE(message.find(c.property), std::string::npos) << message;
      EXPECT_NE(message.find("at byte " + std::to_string(c.offset) + ":"), std::string::npos)
          << message;
    }
  }
  // The entries before the fault stay applied.
  auto probe = NewProbe();
  EXPECT_THROW(fw::SetProperties(*probe, BlobOf(BytesOf("Left \0\0\0\x07" "Bogus \x01"sv))),
               fw::PropertyListException);
  EXPECT_EQ(probe->left, 7);
}

TEST(PropertyListReader, NeverReadsPastTheEnd) {
  using namespace frametide::plist;
  constexpr auto a = Int32("Left", 1);
  constexpr auto b = Bool("Visible", true);
  constexpr auto c = String("Title", "xyz");
  constexpr auto d = ColorBytes("TextColor", 1, 2, 3);
  constexpr auto e = String("Caption", "");
  const auto whole = BytesOf(List(a, b, c, d, e));
  std::set<std::size_t> boundaries{0};
  for (std::size_t size : {a.size(), b.size(), c.size(), d.size(), e.size()})
    boundaries.insert(*boundaries.rbegin() + size);
  ASSERT_EQ(*boundaries.rbegin(), whole.size());
  GuardedBuffer guard;
  // Every cut of the list either ends between entries or raises; none reads beyond the cut.
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    auto probe = NewProbe();
    const PropertyBlob cut = guard.Place(whole.data(), n);
    if (boundaries.count(n)) {
      EXPECT_NO_THROW(fw::SetProperties(*probe, cut)) << n;
    } else {
      EXPECT_THROW(fw::SetProperties(*probe, cut), fw::PropertyListException) << n;
    }
  }
}

// A class declaring every name of the program's lists, recording what it is given.
struct Recorder : fw::Object {
  FW_CLASS_HANDLE()
  std::vector<Entry> given;
};

const fw::ClassRecord& Recorder::ClassHandle() {
  if (auto* c = fw::FindClass("PropertyRecorder")) return *c;
  fw::ClassBuilder builder("PropertyRecorder", nullptr);
  builder.Allocator([] { return new Recorder; });
  for (const auto& [name, type] : TypeTable()) {
    fw::PropertyDeclaration p;
    p.name = name;
    p.type = type;
    p.typeName = std::string(fw::PropertyTypeName(type));
    p.set = [name = name](fw::Object& o, const Value& v) {
      dynamic_cast<Recorder&>(o).given.push_back({name, v});
    };
    p.get = [](fw::Object&) { return Value{}; };
    builder.Property(std::move(p));
  }
  return builder.Register();
}

TEST(PropertyListReader, ReadsEveryProgramListToItsExactLength) {
  ASSERT_EQ(TypeTable().size(), 74u);
  std::vector<std::pair<std::string, PropertyBlob>> all{{"window", frametide::WindowPropertyList()}};
  for (const auto& c : frametide::ControlPropertyLists()) all.emplace_back(c.control, c.list);
  ASSERT_EQ(all.size(), 20u);
  std::set<std::string> used;
  GuardedBuffer guard;
  for (const auto& [name, list] : all) {
    SCOPED_TRACE(name);
    auto recorder = fw::Cast<Recorder>(fw::RuntimeNewObject(Recorder::ClassHandle()));
    fw::SetProperties(*recorder, guard.Place(list.data, list.length));
    const auto expected = Decode(list);
    ASSERT_EQ(Names(recorder->given), Names(expected));
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(recorder->given[i].value, expected[i].value) << expected[i].name;
      used.insert(expected[i].name);
    }
  }
  EXPECT_EQ(used.size(), 74u);  // the lists use every name of the table, and no other
}

}  // namespace
