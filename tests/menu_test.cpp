#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QCoreApplication>
#include <QTimer>
#include <memory>

#include "app/menu.h"
#include "platform/runtime/runtime.h"

namespace {

using frametide::Menu;

struct Expected {
  const char* name;
  const char* text;
  const char* shortcut;  // nullptr: never set
  bool autoEnable;
};

void ExpectItem(const fw::Ref<fw::MenuItem>& item, const Expected& e) {
  SCOPED_TRACE(e.name);
  EXPECT_EQ(item->Name(), e.name);
  EXPECT_EQ(item->Text(), e.text);
  EXPECT_EQ(item->AutoEnable(), e.autoEnable);
  EXPECT_EQ(item->KeyboardShortcutSet(), e.shortcut != nullptr);
  if (e.shortcut) { EXPECT_EQ(item->KeyboardShortcut(), e.shortcut); }
}

TEST(MenuBar, OneSharedBarWithFileThenEdit) {
  auto first = Menu::Instance();
  auto second = Menu::Instance();
  EXPECT_EQ(first.Get(), second.Get());
  EXPECT_EQ(first->References(), 3);  // the module's own and the two callers'
  ASSERT_EQ(first->Count(), 2);

  auto file = first->Item(0);
  ExpectItem(file, {"UntitledMenu2", "File", "", false});
  ASSERT_EQ(file->Count(), 1);
  ExpectItem(file->Item(0), {"FileQuit", "Quit", "Cmd+Q", true});
  EXPECT_NE(dynamic_cast<fw::QuitMenuItem*>(file->Item(0).Get()), nullptr);

  auto edit = first->Item(1);
  ExpectItem(edit, {"UntitledMenu0", "Edit", "", false});
  const Expected commands[] = {{"EditUndo", "Undo", "Cmd+Z", false},
                               {"UntitledMenu1", "-", nullptr, false},
                               {"EditCut", "Cut", "Cmd+X", false},
                               {"EditCopy", "Copy", "Cmd+C", false},
                               {"EditPaste", "Paste", "Cmd+V", false},
                               {"EditClear", "Clear", "", false}};
  ASSERT_EQ(edit->Count(), 6);
  for (int i = 0; i < 6; ++i) ExpectItem(edit->Item(i), commands[i]);
  EXPECT_TRUE(edit->Item(1)->IsSeparator());
  EXPECT_EQ(first->Lookup("EditPaste"), edit->Item(4));
  EXPECT_FALSE(first->Lookup("UntitledMenu3"));
}

TEST(MenuBar, ClassTableIsMenuItemsThenBarsThenOwn) {
  const auto& record = Menu::ClassHandle();
  EXPECT_EQ(record.Name(), "Menu.Menu");
  EXPECT_EQ(record.Parent(), &fw::MenuBar::ClassHandle());
  const char* names[] = {"Enable", "Close", "Item", "Count", "Child", "Append", "Insert",
                         "Remove", "Remove", "Remove", "_Lookup", "_Lookup", "MenuItem",
                         "Constructor", "PopUp", "PopUp", "_Swap", "_DisableEntirely",
                         "_SelfEnable", "MenuItem", "Constructor", "_InstallClone",
                         "__DependencyList", "Untitled1", "Untitled2"};
  ASSERT_EQ(record.Table().size(), std::size(names));
  for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(record.Table()[i].name, names[i]) << i;
  EXPECT_EQ(record.Table()[20].arguments.size(), 0u);
  EXPECT_EQ(record.Table()[20].declaredBy, "Menu.Menu");  // the one override
  EXPECT_EQ(record.Table()[13].declaredBy, "MenuItem");
  EXPECT_EQ(record.Table()[21].declaredBy, "MenuBar");
  EXPECT_EQ(record.Scope(), "Public");
  for (const char* own : {"Constructor", "Untitled1", "Untitled2"}) {
    auto* m = record.FindMember(own);
    ASSERT_NE(m, nullptr) << own;
    EXPECT_EQ(*fw::FindAttribute(m->attributes, "__Scope")->value, "Public");
  }
}

TEST(MenuBar, ModuleExitReleasesTheInstance) {
  std::vector<std::string> steps;
  fw::SetTraceSink([&](std::string_view s) { steps.emplace_back(s); });
  fw::Ref<Menu> held = Menu::Instance();
  Menu::ImplicitInstanceExit();
  EXPECT_FALSE(Menu::_implicitInstance);
  EXPECT_EQ(held->References(), 1);
  EXPECT_EQ(steps.back(), "release Menu._implicitInstance");
  // A later request builds a new bar from scratch.
  auto again = Menu::Instance();
  EXPECT_NE(again.Get(), held.Get());
  EXPECT_EQ(again->Count(), 2);
  fw::SetTraceSink({});
}

TEST(MenuBar, ToolkitBarCarriesTextsAndPlatformShortcuts) {
  EXPECT_EQ(fw::ToolkitShortcut("Cmd+Q"), "Ctrl+Q");
  EXPECT_EQ(fw::ToolkitShortcut(""), "");
  auto bar = Menu::Instance();
  std::unique_ptr<QMenuBar> toolkit(bar->BuildToolkitBar(nullptr));
  const auto menus = toolkit->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), "File");
  EXPECT_EQ(menus[1]->text(), "Edit");
  EXPECT_TRUE(menus[0]->shortcut().isEmpty());
  EXPECT_TRUE(menus[1]->shortcut().isEmpty());
  const auto file = menus[0]->menu()->actions();
  ASSERT_EQ(file.size(), 1);
  EXPECT_EQ(file[0]->text(), "Quit");
  EXPECT_EQ(file[0]->shortcut().toString(QKeySequence::PortableText), "Ctrl+Q");
  const auto edit = menus[1]->menu()->actions();
  ASSERT_EQ(edit.size(), 6);
  const char* expected[][2] = {{"Undo", "Ctrl+Z"}, {"", ""},          {"Cut", "Ctrl+X"},
                               {"Copy", "Ctrl+C"}, {"Paste", "Ctrl+V"}, {"Clear", ""}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(edit[i]->isSeparator(), i == 1) << i;
    if (i != 1) { EXPECT_EQ(edit[i]->text(), expected[i][0]) << i; }
    EXPECT_EQ(edit[i]->shortcut().toString(QKeySequence::PortableText), expected[i][1]) << i;
  }
}

TEST(MenuBar, QuitEndsTheLoop) {
  auto bar = Menu::Instance();
  std::unique_ptr<QMenuBar> toolkit(bar->BuildToolkitBar(nullptr));
  QAction* quit = toolkit->actions()[0]->menu()->actions()[0];
  bool timedOut = false;
  QTimer::singleShot(0, quit, [quit] { quit->trigger(); });
  QTimer::singleShot(5000, [&] {
    timedOut = true;
    QCoreApplication::quit();
  });
  fw::RuntimeRun();
  EXPECT_FALSE(timedOut);
}

}  // namespace
