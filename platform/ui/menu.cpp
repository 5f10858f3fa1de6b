#include "platform/ui/menu.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "platform/runtime/runtime.h"
#include "platform/text/text.h"

namespace fw {

namespace {

Value None() { return {}; }

// The table shared by every menu item class; MenuBar and subclasses append to it.
ClassBuilder& AddMenuItemOperations(ClassBuilder& b) {
  const std::string n = "MenuItem.";
  return b
      .Add("Enable", {}, "", On<MenuItem>([](MenuItem& m, auto) {
             m.SetEnabled(true);
             return None();
           }))
      .Add("Close", {}, "", Unsupported(n + "Close"))
      .Add("Item", {"Int32"}, "MenuItem", On<MenuItem>([](MenuItem& m, auto a) -> Value {
             return ToValue(m.Item(FromValue<std::int32_t>(a[0])));
           }))
      .Add("Count", {}, "Int32", On<MenuItem>([](MenuItem& m, auto) -> Value { return m.Count(); }))
      .Add("Child", {"String"}, "MenuItem", On<MenuItem>([](MenuItem& m, auto a) -> Value {
             return ToValue(m.Child(FromValue<std::string>(a[0])));
           }))
      .Add("Append", {"MenuItem"}, "", On<MenuItem>([](MenuItem& m, auto a) {
             m.Append(FromValue<Ref<MenuItem>>(a[0]));
             return None();
           }))
      .Add("Insert", {"Int32", "MenuItem"}, "", On<MenuItem>([](MenuItem& m, auto a) {
             m.Insert(FromValue<std::int32_t>(a[0]), FromValue<Ref<MenuItem>>(a[1]));
             return None();
           }))
      .Add("Remove", {"Int32"}, "", On<MenuItem>([](MenuItem& m, auto a) {
             m.Remove(FromValue<std::int32_t>(a[0]));
             return None();
           }))
      .Add("Remove", {"MenuItem"}, "", On<MenuItem>([](MenuItem& m, auto a) {
             auto item = FromValue<Ref<MenuItem>>(a[0]);
             for (std::int32_t i = 0; i < m.Count(); ++i)
               if (m.Item(i) == item) {
                 m.Remove(i);
                 break;
               }
             return None();
           }))
      .Add("Remove", {"String"}, "", On<MenuItem>([](MenuItem& m, auto a) {
             const auto name = FromValue<std::string>(a[0]);
             for (std::int32_t i = 0; i < m.Count(); ++i)
               if (m.Item(i)->Name() == name) {
                 m.Remove(i);
                 break;
               }
             return None();
           }))
      .Add("_Lookup", {"String"}, "MenuItem", On<MenuItem>([](MenuItem& m, auto a) -> Value {
             return ToValue(m.Lookup(FromValue<std::string>(a[0])));
           }))
      .Add("_Lookup", {"String", "Int32"}, "MenuItem", Unsupported(n + "_Lookup"))
      .Add("MenuItem", {}, "", On<MenuItem>([](MenuItem&, auto) { return None(); }))
      .Add("Constructor", {"String", "Variant"}, "", On<MenuItem>([](MenuItem& m, auto a) {
             m.SetText(FromValue<std::string>(a[0]));
             return None();
           }))
      .Add("PopUp", {}, "MenuItem", Unsupported(n + "PopUp"))
      .Add("PopUp", {"Int32", "Int32"}, "MenuItem", Unsupported(n + "PopUp"))
      .Add("_Swap", {"String", "MenuItem"}, "", Unsupported(n + "_Swap"))
      .Add("_DisableEntirely", {}, "", On<MenuItem>([](MenuItem& m, auto) {
             m.SetEnabled(false);
             for (std::int32_t i = 0; i < m.Count(); ++i) m.Item(i)->SetEnabled(false);
             return None();
           }))
      .Add("_SelfEnable", {}, "", On<MenuItem>([](MenuItem& m, auto) {
             m.SetEnabled(true);
             return None();
           }))
      .Add("MenuItem", {"String", "Variant"}, "", On<MenuItem>([](MenuItem& m, auto a) {
             m.SetText(FromValue<std::string>(a[0]));
             return None();
           }))
      // A new item is complete when made; the constructor has nothing left to do.
      .Add("Constructor", {}, "", On<MenuItem>([](MenuItem&, auto) { return None(); }))
      .Property(DeclareProperty<&MenuItem::Name, &MenuItem::SetName>("Name"))
      .Property(DeclareProperty<&MenuItem::Text, &MenuItem::SetText>("Text"))
      .Property(DeclareProperty<&MenuItem::KeyboardShortcut, &MenuItem::SetKeyboardShortcut>(
          "KeyboardShortcut"))
      .Property(DeclareProperty<&MenuItem::AutoEnable, &MenuItem::SetAutoEnable>("AutoEnable"))
      .Property(DeclareProperty<&MenuItem::Enabled, &MenuItem::SetEnabled>("Enabled"));
}

// The Edit commands act on the focused text field through the toolkit's own editing.
bool StandardEdit(const std::string& name) {
  auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  if (!field) return false;
  if (name == "EditUndo") field->undo();
  else if (name == "EditCut") field->cut();
  else if (name == "EditCopy") field->copy();
  else if (name == "EditPaste") field->paste();
  else if (name == "EditClear") field->del();
  else if (name == "EditSelectAll") field->selectAll();
  else return false;
  return true;
}

void AddActions(QMenu& menu, const MenuItem& title) {
  for (std::int32_t i = 0; i < title.Count(); ++i) {
    Ref<MenuItem> item = title.Item(i);
    if (item->IsSeparator()) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(QString::fromStdString(item->Text()));
    action->setObjectName(QString::fromStdString(item->Name()));
    action->setShortcut(QKeySequence(QString::fromStdString(ToolkitShortcut(item->KeyboardShortcut()))));
    action->setEnabled(item->Enabled());
    if (item->Name() == "FileQuit") action->setMenuRole(QAction::QuitRole);
    QObject::connect(action, &QAction::triggered, [item] { RunHandler([&] { item->Activate(); }); });
  }
}

}  // namespace

Ref<MenuItem> MenuItem::Item(std::int32_t index) const {
  if (index < 0 || index >= Count())
    throw OutOfBoundsException("menu " + name_ + " has no item " + std::to_string(index));
  return items_[static_cast<std::size_t>(index)];
}

Ref<MenuItem> MenuItem::Child(const std::string& name) const {
  for (const auto& item : items_)
    if (item->Name() == name) return item;
  return nullptr;
}

void MenuItem::Append(const Ref<MenuItem>& item) {
  if (!item) throw NilObjectException("an absent menu item cannot be appended");
  items_.push_back(item);
}

void MenuItem::Insert(std::int32_t index, const Ref<MenuItem>& item) {
  if (!item) throw NilObjectException("an absent menu item cannot be inserted");
  if (index < 0 || index > Count()) throw OutOfBoundsException("no menu position " + std::to_string(index));
  items_.insert(items_.begin() + index, item);
}

void MenuItem::Remove(std::int32_t index) {
  if (index < 0 || index >= Count()) throw OutOfBoundsException("no menu item " + std::to_string(index));
  items_.erase(items_.begin() + index);
}

Ref<MenuItem> MenuItem::Lookup(const std::string& name) const {
  for (const auto& item : items_) {
    if (item->Name() == name) return item;
    if (auto found = item->Lookup(name)) return found;
  }
  return nullptr;
}

void MenuItem::Activate() { StandardEdit(name_); }

void QuitMenuItem::Activate() { Quit(); }

QMenuBar* MenuBar::BuildToolkitBar(QWidget* parent) const {
  auto* bar = new QMenuBar(parent);
  for (std::int32_t i = 0; i < Count(); ++i) {
    Ref<MenuItem> title = Item(i);
    auto* menu = bar->addMenu(QString::fromStdString(title->Text()));
    menu->setObjectName(QString::fromStdString(title->Name()));
    AddActions(*menu, *title);
  }
  return bar;
}

std::string ToolkitShortcut(const std::string& shortcut) {
  if (shortcut.empty()) return {};
  QString text = QString::fromStdString(shortcut);
  // The desktop's command key here is Ctrl.
  text.replace(QStringLiteral("Cmd+"), QStringLiteral("Ctrl+"), Qt::CaseInsensitive);
  return QKeySequence(text).toString(QKeySequence::PortableText).toStdString();
}

const ClassRecord& MenuItem::ClassHandle() {
  if (auto* c = FindClass("MenuItem")) return *c;
  ClassBuilder b("MenuItem", nullptr);
  b.Scope("Public").Allocator([] { return new MenuItem; });
  return AddMenuItemOperations(b).Register();
}

const ClassRecord& QuitMenuItem::ClassHandle() {
  if (auto* c = FindClass("QuitMenuItem")) return *c;
  return ClassBuilder("QuitMenuItem", &MenuItem::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new QuitMenuItem; })
      .Register();
}

const ClassRecord& MenuBar::ClassHandle() {
  if (auto* c = FindClass("MenuBar")) return *c;
  return ClassBuilder("MenuBar", &MenuItem::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new MenuBar; })
      .Add("_InstallClone", {"MenuItem"}, "", Unsupported("MenuBar._InstallClone"))
      .Add("__DependencyList", {}, "", Unsupported("MenuBar.__DependencyList"))
      .Register();
}

}  // namespace fw
