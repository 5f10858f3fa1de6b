#include "window/window1.h"

#include <type_traits>
#include <utility>

#include "platform/object/delegate.h"
#include "platform/object/property_list.h"
#include "platform/runtime/runtime.h"
#include "window/property_lists.h"

namespace frametide {

namespace {

using fw::Attribute;
using fw::MemberDeclaration;

const char* const kClassName = "Window1.Window1";

Window1::MenuBarSource menuBarSource = nullptr;

// The declared type of a state property follows from the type of its field.
template <class T>
struct StateType;
template <>
struct StateType<std::int32_t> {
  static constexpr fw::PropertyType kType = fw::PropertyType::Int32;
  static constexpr const char* kName = "Int32";
};
template <>
struct StateType<fw::Ref<fw::FolderItem>> {
  static constexpr fw::PropertyType kType = fw::PropertyType::Object;
  static constexpr const char* kName = "FolderItem";
};

template <auto Field>
fw::PropertyDeclaration StateProperty(const char* name) {
  using T = std::remove_reference_t<decltype(std::declval<Window1&>().*Field)>;
  fw::PropertyDeclaration p;
  p.name = name;
  p.type = StateType<T>::kType;
  p.typeName = StateType<T>::kName;
  p.set = [](fw::Object& self, const fw::Value& v) {
    dynamic_cast<Window1&>(self).*Field = fw::FromValue<T>(v);
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

  b.Add("Layout", {}, "", fw::Method<&W::Layout>())
      .Add("CreateControls", {}, "", fw::Method<&W::CreateControls>())
      .Add("_CreateControls0", {}, "", fw::Method<&W::CreateControls0>());
#define FRAMETIDE_ADD_HANDLER(control, event, signature, ...) \
  b.Add(#control "_" #event, fw::SignatureTypes(signature), "", fw::Method<&W::control##_##event>());
  FRAMETIDE_WINDOW1_EVENTS(FRAMETIDE_ADD_HANDLER)
#undef FRAMETIDE_ADD_HANDLER
#define FRAMETIDE_ADD_MENU_ITEM(name, type) b.Add(#name, {}, #type, fw::Method<&W::name>());
  FRAMETIDE_WINDOW1_MENU_ITEMS(FRAMETIDE_ADD_MENU_ITEM)
#undef FRAMETIDE_ADD_MENU_ITEM
  b.Add("Event_Open", {}, "", fw::Method<&W::Event_Open>())
      .Add("getstelle", {"Date", "Int32"}, "String", fw::Method<&W::getstelle>());

  b.Member(Public("Layout")).Member(Public("CreateControls"));
  b.Member({"_CreateControls0", {}, "", {fw::ScopeAttribute("Public"), Attribute{"Hidden", {}}}});
#define FRAMETIDE_DECLARE_CONTROL(name, type, ...) b.Member(Public(#name, {}, #type));
  FRAMETIDE_WINDOW1_CONTROLS(FRAMETIDE_DECLARE_CONTROL)
#undef FRAMETIDE_DECLARE_CONTROL
#define FRAMETIDE_DECLARE_HANDLER(control, event, signature, ...) \
  b.Member(Public(#control "_" #event, fw::SignatureTypes(signature)));
  FRAMETIDE_WINDOW1_EVENTS(FRAMETIDE_DECLARE_HANDLER)
#undef FRAMETIDE_DECLARE_HANDLER
#define FRAMETIDE_DECLARE_MENU_ITEM(name, type) b.Member(Public(#name, {}, #type));
  FRAMETIDE_WINDOW1_MENU_ITEMS(FRAMETIDE_DECLARE_MENU_ITEM)
#undef FRAMETIDE_DECLARE_MENU_ITEM
  b.Member(Public("Event_Open"))
      .Member({"getstelle", {"Date", "Int32"}, "String", {fw::ScopeAttribute("Protected")}});

  b.Event("Layout", "Layout").Event("CreateControls", "CreateControls").Event("Open", "Event_Open");

#define FRAMETIDE_STATE_PROPERTY(field) b.Property(StateProperty<&W::field>(#field));
  FRAMETIDE_STATE_PROPERTY(anzahl)
  FRAMETIDE_STATE_PROPERTY(status)
  FRAMETIDE_STATE_PROPERTY(downloading)
  FRAMETIDE_STATE_PROPERTY(savefolder)
  FRAMETIDE_STATE_PROPERTY(aktuellsave)
#undef FRAMETIDE_STATE_PROPERTY
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

void Window1::SetMenuBarSource(MenuBarSource source) { menuBarSource = source; }

void Window1::Layout() {
  if (!menuBarSource) throw fw::NilObjectException("the main window was given no menu bar");
  auto bar = menuBarSource();
  SetMenuBar(bar);
  bar.Reset();
  fw::SetProperties(*this, WindowPropertyList());
}

fw::Ref<fw::MenuItem> Window1::MenuItemNamed(const std::string& name) {
  return MenuBar()->Lookup(name);
}

#define FRAMETIDE_DEFINE_MENU_ITEM(name, type) \
  fw::Ref<fw::type> Window1::name() { return fw::Cast<fw::type>(MenuItemNamed(#name)); }
FRAMETIDE_WINDOW1_MENU_ITEMS(FRAMETIDE_DEFINE_MENU_ITEM)
#undef FRAMETIDE_DEFINE_MENU_ITEM

#define FRAMETIDE_DEFINE_CONTROL(name, type, ...) \
  fw::Ref<fw::type> Window1::name() const { return ControlAs<fw::type>(#name); }
FRAMETIDE_WINDOW1_CONTROLS(FRAMETIDE_DEFINE_CONTROL)
#undef FRAMETIDE_DEFINE_CONTROL

}  // namespace frametide
