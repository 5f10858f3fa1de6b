#include "window/window1.h"

#include "app/menu.h"
#include "platform/property_list.h"
#include "platform/runtime.h"
#include "window/property_lists.h"

namespace frametide {

namespace {

using fw::Attribute;
using fw::MemberDeclaration;

const char* const kClassName = "Window1.Window1";

template <auto Field>
fw::PropertyDeclaration StateProperty(const char* name, fw::PropertyType type,
                                      const char* typeName) {
  fw::PropertyDeclaration p;
  p.name = name;
  p.type = type;
  p.typeName = typeName;
  p.set = [](fw::Object& self, const fw::Value& v) {
    auto& w = dynamic_cast<Window1&>(self);
    w.*Field = fw::FromValue<std::remove_reference_t<decltype(w.*Field)>>(v);
  };
  p.get = [](fw::Object& self) -> fw::Value {
    return fw::ToValue(dynamic_cast<Window1&>(self).*Field);
  };
  p.attributes = {fw::ScopeAttribute("Public")};
  return p;
}

MemberDeclaration Public(std::string name, std::vector<std::string> arguments = {},
                         std::string result = {}) {
  return {std::move(name), std::move(arguments), std::move(result),
          {fw::ScopeAttribute("Public")}};
}

}  // namespace

const fw::ClassRecord& Window1::ClassHandle() {
  if (auto* c = fw::FindClass(kClassName)) return *c;
  using W = Window1;
  fw::ClassBuilder b(kClassName, &fw::Window::ClassHandle());
  b.Scope("Public")
      .Allocator([] { return new Window1; })
      .Initializer(&Window1::Init)
      .Finalizer(&Window1::Exit);

  const std::vector<std::string> progress = {"Int32", "Int32", "String"};
  const std::vector<std::string> complete = {"String", "Int32", "InternetHeaders", "FolderItem"};
  b.Add("Layout", {}, "", fw::Method<&W::Layout>())
      .Add("CreateControls", {}, "", fw::Method<&W::CreateControls>())
      .Add("_CreateControls0", {}, "", fw::Method<&W::CreateControls0>())
      .Add("Socket1_ReceiveProgress", progress, "", fw::Method<&W::Socket1_ReceiveProgress>())
      .Add("Socket1_Error", {"Int32"}, "", fw::Method<&W::Socket1_Error>())
      .Add("Socket1_DownloadComplete", complete, "", fw::Method<&W::Socket1_DownloadComplete>())
      .Add("Timer1_Action", {}, "", fw::Method<&W::Timer1_Action>())
      .Add("PushButton1_Action", {}, "", fw::Method<&W::PushButton1_Action>())
      .Add("PushButton2_Action", {}, "", fw::Method<&W::PushButton2_Action>())
      .Add("UntitledMenu0", {}, "MenuItem", fw::Method<&W::UntitledMenu0>())
      .Add("EditClear", {}, "MenuItem", fw::Method<&W::EditClear>())
      .Add("EditPaste", {}, "MenuItem", fw::Method<&W::EditPaste>())
      .Add("EditCopy", {}, "MenuItem", fw::Method<&W::EditCopy>())
      .Add("EditCut", {}, "MenuItem", fw::Method<&W::EditCut>())
      .Add("UntitledMenu1", {}, "MenuItem", fw::Method<&W::UntitledMenu1>())
      .Add("EditUndo", {}, "MenuItem", fw::Method<&W::EditUndo>())
      .Add("UntitledMenu2", {}, "MenuItem", fw::Method<&W::UntitledMenu2>())
      .Add("FileQuit", {}, "QuitMenuItem", fw::Method<&W::FileQuit>())
      .Add("UntitledMenu3", {}, "MenuItem", fw::Method<&W::UntitledMenu3>())
      .Add("Event_Open", {}, "", fw::Method<&W::Event_Open>())
      .Add("getstelle", {"Date", "Int32"}, "String", fw::Method<&W::getstelle>());

  b.Member(Public("Layout")).Member(Public("CreateControls"));
  b.Member({"_CreateControls0", {}, "", {fw::ScopeAttribute("Public"), Attribute{"Hidden", {}}}});
  static const std::pair<const char*, const char*> controls[] = {
      {"StaticText1", "StaticText"}, {"EditField1", "EditField"},
      {"Socket1", "HTTPSocket"},     {"ProgressBar1", "ProgressBar"},
      {"Timer1", "Timer"},           {"PushButton1", "PushButton"},
      {"Canvas1", "Canvas"},         {"nummer", "StaticText"},
      {"StaticText2", "StaticText"}, {"PushButton2", "PushButton"},
      {"periode", "EditField"},      {"StaticText3", "StaticText"},
      {"fps", "EditField"},          {"StaticText4", "StaticText"},
      {"StaticText5", "StaticText"}, {"StaticText7", "StaticText"},
      {"StaticText8", "StaticText"}, {"dvon", "EditField"},
      {"dbis", "EditField"}};
  for (const auto& [name, type] : controls) b.Member(Public(name, {}, type));
  b.Member(Public("Socket1_ReceiveProgress", progress))
      .Member(Public("Socket1_Error", {"Int32"}))
      .Member(Public("Socket1_DownloadComplete", complete))
      .Member(Public("Timer1_Action"))
      .Member(Public("PushButton1_Action"))
      .Member(Public("PushButton2_Action"));
  for (const char* item : {"UntitledMenu0", "EditClear", "EditPaste", "EditCopy", "EditCut",
                           "UntitledMenu1", "EditUndo", "UntitledMenu2"})
    b.Member(Public(item, {}, "MenuItem"));
  b.Member(Public("FileQuit", {}, "QuitMenuItem"))
      .Member(Public("UntitledMenu3", {}, "MenuItem"))
      .Member(Public("Event_Open"))
      .Member({"getstelle", {"Date", "Int32"}, "String", {fw::ScopeAttribute("Protected")}});

  b.Event("Layout", "Layout").Event("CreateControls", "CreateControls").Event("Open", "Event_Open");

  using T = fw::PropertyType;
  b.Property(StateProperty<&W::anzahl>("anzahl", T::Int32, "Int32"))
      .Property(StateProperty<&W::status>("status", T::Int32, "Int32"))
      .Property(StateProperty<&W::downloading>("downloading", T::Int32, "Int32"))
      .Property(StateProperty<&W::savefolder>("savefolder", T::Object, "FolderItem"))
      .Property(StateProperty<&W::aktuellsave>("aktuellsave", T::Object, "FolderItem"));
  return b.Register();
}

fw::Ref<Window1> Window1::Instance() {
  fw::Ref<fw::Window> existing = fw::GetImplicitWindow(kClassName);
  if (existing) return fw::Cast<Window1>(existing);
  auto window = fw::Cast<Window1>(fw::RuntimeNewObject(ClassHandle()));
  // Construction runs Layout, CreateControls and Open, in that order.
  fw::Invoke(*window, fw::Window::kConstructorSlot);
  return window;
}

void Window1::Init(fw::Object& self) {
  auto& w = dynamic_cast<Window1&>(self);
  w.anzahl = 0;
  w.status = 0;
  w.downloading = 0;
}

void Window1::Exit(fw::Object& self) {
  auto& w = dynamic_cast<Window1&>(self);
  fw::Trace("Window1 exit");
  w.savefolder.Reset();
  w.aktuellsave.Reset();
}

void Window1::Layout() {
  auto bar = Menu::Instance();
  SetMenuBar(bar);
  bar.Reset();
  fw::SetProperties(*this, WindowPropertyList());
}

fw::Ref<fw::MenuItem> Window1::MenuItemNamed(const std::string& name) {
  return MenuBar()->Lookup(name);
}

fw::Ref<fw::MenuItem> Window1::UntitledMenu0() { return MenuItemNamed("UntitledMenu0"); }
fw::Ref<fw::MenuItem> Window1::EditClear() { return MenuItemNamed("EditClear"); }
fw::Ref<fw::MenuItem> Window1::EditPaste() { return MenuItemNamed("EditPaste"); }
fw::Ref<fw::MenuItem> Window1::EditCopy() { return MenuItemNamed("EditCopy"); }
fw::Ref<fw::MenuItem> Window1::EditCut() { return MenuItemNamed("EditCut"); }
fw::Ref<fw::MenuItem> Window1::UntitledMenu1() { return MenuItemNamed("UntitledMenu1"); }
fw::Ref<fw::MenuItem> Window1::EditUndo() { return MenuItemNamed("EditUndo"); }
fw::Ref<fw::MenuItem> Window1::UntitledMenu2() { return MenuItemNamed("UntitledMenu2"); }
fw::Ref<fw::QuitMenuItem> Window1::FileQuit() {
  return fw::Cast<fw::QuitMenuItem>(MenuItemNamed("FileQuit"));
}
fw::Ref<fw::MenuItem> Window1::UntitledMenu3() { return MenuItemNamed("UntitledMenu3"); }

fw::Ref<fw::StaticText> Window1::StaticText1() const { return ControlAs<fw::StaticText>("StaticText1"); }
fw::Ref<fw::EditField> Window1::EditField1() const { return ControlAs<fw::EditField>("EditField1"); }
fw::Ref<fw::HTTPSocket> Window1::Socket1() const { return ControlAs<fw::HTTPSocket>("Socket1"); }
fw::Ref<fw::ProgressBar> Window1::ProgressBar1() const { return ControlAs<fw::ProgressBar>("ProgressBar1"); }
fw::Ref<fw::Timer> Window1::Timer1() const { return ControlAs<fw::Timer>("Timer1"); }
fw::Ref<fw::PushButton> Window1::PushButton1() const { return ControlAs<fw::PushButton>("PushButton1"); }
fw::Ref<fw::Canvas> Window1::Canvas1() const { return ControlAs<fw::Canvas>("Canvas1"); }
fw::Ref<fw::StaticText> Window1::nummer() const { return ControlAs<fw::StaticText>("nummer"); }
fw::Ref<fw::StaticText> Window1::StaticText2() const { return ControlAs<fw::StaticText>("StaticText2"); }
fw::Ref<fw::PushButton> Window1::PushButton2() const { return ControlAs<fw::PushButton>("PushButton2"); }
fw::Ref<fw::EditField> Window1::periode() const { return ControlAs<fw::EditField>("periode"); }
fw::Ref<fw::StaticText> Window1::StaticText3() const { return ControlAs<fw::StaticText>("StaticText3"); }
fw::Ref<fw::EditField> Window1::fps() const { return ControlAs<fw::EditField>("fps"); }
fw::Ref<fw::StaticText> Window1::StaticText4() const { return ControlAs<fw::StaticText>("StaticText4"); }
fw::Ref<fw::StaticText> Window1::StaticText5() const { return ControlAs<fw::StaticText>("StaticText5"); }
fw::Ref<fw::StaticText> Window1::StaticText7() const { return ControlAs<fw::StaticText>("StaticText7"); }
fw::Ref<fw::StaticText> Window1::StaticText8() const { return ControlAs<fw::StaticText>("StaticText8"); }
fw::Ref<fw::EditField> Window1::dvon() const { return ControlAs<fw::EditField>("dvon"); }
fw::Ref<fw::EditField> Window1::dbis() const { return ControlAs<fw::EditField>("dbis"); }

}  // namespace frametide
