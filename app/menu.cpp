#include "app/menu.h"

#include "platform/runtime/runtime.h"

namespace frametide {

fw::Ref<Menu> Menu::_implicitInstance;

namespace {

template <class Item>
fw::Ref<Item> NewItem(const std::string& name, bool autoEnable, const std::string& text,
                      const std::string* shortcut) {
  auto item = fw::Cast<Item>(fw::RuntimeNewObject(Item::ClassHandle()));
  fw::Invoke(*item, static_cast<std::size_t>(item->Class().SlotOf("Constructor", {})));
  item->SetName(name);
  item->SetAutoEnable(autoEnable);
  item->SetText(text);
  if (shortcut) item->SetKeyboardShortcut(*shortcut);
  return item;
}

}  // namespace

fw::Ref<Menu> Menu::Instance() {
  if (!_implicitInstance) {
    auto bar = fw::Cast<Menu>(fw::RuntimeNewObject(ClassHandle()));
    // A half-built bar is dropped with `bar` if the constructor raises; the next call starts over.
    fw::Invoke(*bar, static_cast<std::size_t>(bar->Class().SlotOf("Constructor", {})));
    _implicitInstance = bar;
  }
  return _implicitInstance;
}

void Menu::ImplicitInstanceExit() { fw::ReleaseGlobal(_implicitInstance, "Menu._implicitInstance"); }

void Menu::Constructor() {
  fw::Invoke(*this, "Untitled1");
  fw::Invoke(*this, "Untitled2");
}

void Menu::Untitled1() {
  const std::string none;
  const std::string quit = "Cmd+Q";
  Append(NewItem<fw::MenuItem>("UntitledMenu2", false, "File", &none));
  auto item = NewItem<fw::QuitMenuItem>("FileQuit", true, "Quit", &quit);
  Child("UntitledMenu2")->Append(item);
}

void Menu::Untitled2() {
  const std::string none;
  Append(NewItem<fw::MenuItem>("UntitledMenu0", false, "Edit", &none));
  struct Command {
    const char* name;
    const char* text;
    const char* shortcut;  // none: the setter is not called
  };
  static const Command commands[] = {
      {"EditUndo", "Undo", "Cmd+Z"}, {"UntitledMenu1", "-", nullptr},
      {"EditCut", "Cut", "Cmd+X"},   {"EditCopy", "Copy", "Cmd+C"},
      {"EditPaste", "Paste", "Cmd+V"}, {"EditClear", "Clear", ""}};
  for (const auto& c : commands) {
    const std::string shortcut = c.shortcut ? c.shortcut : "";
    auto item = NewItem<fw::MenuItem>(c.name, false, c.text, c.shortcut ? &shortcut : nullptr);
    Child("UntitledMenu0")->Append(item);
  }
}

const fw::ClassRecord& Menu::ClassHandle() {
  if (auto* c = fw::FindClass("Menu.Menu")) return *c;
  const auto isPublic = fw::ScopeAttribute("Public");
  return fw::ClassBuilder("Menu.Menu", &fw::MenuBar::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new Menu; })
      .Override("Constructor", {}, fw::Method<&Menu::Constructor>())
      .Add("Untitled1", {}, "", fw::Method<&Menu::Untitled1>())
      .Add("Untitled2", {}, "", fw::Method<&Menu::Untitled2>())
      .Member({"Constructor", {}, "", {isPublic}})
      .Member({"Untitled1", {}, "", {isPublic}})
      .Member({"Untitled2", {}, "", {isPublic}})
      .Register();
}

}  // namespace frametide
