#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>

#include <QApplication>
#include <QCoreApplication>

#include "app/menu.h"
#include "platform/runtime/application.h"
#include "app/startup.h"
#include "platform/runtime/runtime.h"
#include "window/window1.h"

namespace {

using frametide::Window1;

// Everything start-up does before the loop: classes, framework, application object, window.
fw::Ref<Window1> StartUp() {
  frametide::initialize();
  fw::RunFrameworkInitialization([] { frametide::Startup(); });
  return Window1::Instance();
}

struct Geometry {
  const char* name;
  int left, top, width, height, tabIndex;
};

constexpr Geometry kVisible[] = {
    {"StaticText1", 375, 190, 257, 107, 0}, {"EditField1", 52, 14, 615, 19, 1},
    {"ProgressBar1", 20, 366, 647, 13, -1}, {"PushButton1", 220, 46, 80, 20, 2},
    {"Canvas1", 20, 90, 280, 203, 3},       {"nummer", 375, 333, 292, 19, 4},
    {"StaticText2", 18, 46, 115, 20, 5},    {"PushButton2", 220, 332, 80, 20, 6},
    {"periode", 137, 45, 65, 22, 7},        {"StaticText3", 20, 334, 115, 20, 8},
    {"fps", 137, 332, 65, 22, 9},           {"StaticText4", 375, 92, 60, 20, 10},
    {"StaticText5", 375, 124, 60, 20, 11},  {"StaticText7", 20, 305, 113, 23, 12},
    {"StaticText8", 20, 14, 35, 20, 13},    {"dvon", 447, 90, 220, 22, 14},
    {"dbis", 447, 122, 220, 22, 15}};

TEST(MainWindow, IsMadeOnceWithItsStateAtRest) {
  auto window = StartUp();
  EXPECT_EQ(Window1::Instance().Get(), window.Get());
  EXPECT_EQ(window->anzahl, 0);
  EXPECT_EQ(window->status, 0);
  EXPECT_EQ(window->downloading, 0);
  EXPECT_FALSE(window->savefolder);
  EXPECT_FALSE(window->aktuellsave);
  EXPECT_EQ(window->Title(), "Frametide");
  EXPECT_EQ(window->Width(), 687);
  EXPECT_EQ(window->Height(), 399);
  EXPECT_FALSE(window->Resizeable());
  EXPECT_TRUE(window->CloseButton());
  EXPECT_FALSE(window->MinimizeButton());
  EXPECT_FALSE(window->MaximizeButton());
  EXPECT_FALSE(window->ContentsChanged());
  EXPECT_EQ(window->MenuBar().Get(), frametide::Menu::Instance().Get());
  EXPECT_EQ(window->MenuBar().Get(), fw::RegisteredApp()->MenuBar().Get());

  QMainWindow* frame = window->PlatformWindow();
  EXPECT_EQ(frame->windowTitle(), "Frametide");
  EXPECT_EQ(window->ContentArea()->size(), QSize(687, 399));
  EXPECT_EQ(frame->minimumSize(), frame->maximumSize());  // the user cannot resize it
  EXPECT_TRUE(frame->isVisible());
}

TEST(MainWindow, MenuBarShowsTheShortcutsOnScreen) {
  auto window = StartUp();
  QMenuBar* bar = window->ToolkitMenuBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisibleTo(window->PlatformWindow()));
  std::vector<std::pair<std::string, std::string>> shown;
  for (QAction* menu : bar->actions())
    for (QAction* item : menu->menu()->actions())
      if (!item->isSeparator())
        shown.emplace_back(item->text().toStdString(),
                           item->shortcut().toString(QKeySequence::PortableText).toStdString());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Quit", "Ctrl+Q"}, {"Undo", "Ctrl+Z"},  {"Cut", "Ctrl+X"},
      {"Copy", "Ctrl+C"}, {"Paste", "Ctrl+V"}, {"Clear", ""}};
  EXPECT_EQ(shown, expected);
}

TEST(MainWindow, HoldsNineteenControlsInCreationOrder) {
  auto window = StartUp();
  const char* names[] = {"StaticText1", "EditField1", "Socket1", "ProgressBar1", "Timer1",
                         "PushButton1", "Canvas1", "nummer", "StaticText2", "PushButton2",
                         "periode", "StaticText3", "fps", "StaticText4", "StaticText5",
                         "StaticText7", "StaticText8", "dvon", "dbis"};
  ASSERT_EQ(window->ControlCount(), 19u);
  for (std::size_t i = 0; i < 19; ++i) {
    EXPECT_EQ(window->ControlAt(i).Get(), window->FindControl(names[i]).Get()) << names[i];
  }
  EXPECT_EQ(window->ControlAt(2)->Class().Name(), "Window1.Socket1");
  EXPECT_EQ(window->ControlAt(4)->Class().Name(), "Window1.Timer1");
  EXPECT_EQ(window->StaticText1().Get(), window->FindControl("StaticText1").Get());
  EXPECT_EQ(window->Socket1().Get(), window->FindControl("Socket1").Get());
}

TEST(MainWindow, ControlsStandAtTheirDesignGeometry) {
  auto window = StartUp();
  for (const auto& g : kVisible) {
    SCOPED_TRACE(g.name);
    auto control = window->ControlAs<fw::RectControl>(g.name);
    EXPECT_EQ(control->Left(), g.left);
    EXPECT_EQ(control->Top(), g.top);
    EXPECT_EQ(control->Width(), g.width);
    EXPECT_EQ(control->Height(), g.height);
    EXPECT_EQ(control->Widget()->geometry(), QRect(g.left, g.top, g.width, g.height));
    EXPECT_EQ(control->Index(), -2147483647 - 1);
    if (g.tabIndex >= 0) { EXPECT_EQ(control->TabIndex(), g.tabIndex); }
  }
}

TEST(MainWindow, TextsAndFontsAsDesigned) {
  auto window = StartUp();
  const std::string instructions =
      "1. paste a valid url into the field above\r2. select a timer period (seconds)\r"
      "3. modify start and stop dates\r4. press start\r5. watch frametiding\r"
      "6. press stop sometimes\r7. press make qt to make a movie";
  EXPECT_EQ(instructions.size(), 200u);
  EXPECT_EQ(window->StaticText1()->Text(), instructions);
  auto* label = qobject_cast<QLabel*>(window->StaticText1()->Widget());
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text().count('\n'), 6);

  EXPECT_EQ(window->PushButton1()->Caption(), "start");
  EXPECT_EQ(qobject_cast<QPushButton*>(window->PushButton1()->Widget())->text(), "start");
  EXPECT_EQ(window->PushButton2()->Caption(), "make qt");
  EXPECT_EQ(window->periode()->Text(), "10");
  EXPECT_EQ(qobject_cast<QLineEdit*>(window->periode()->Widget())->text(), "10");
  EXPECT_EQ(window->fps()->Text(), "25");
  EXPECT_EQ(window->EditField1()->Text(), "");
  EXPECT_EQ(window->nummer()->Text(), "");
  EXPECT_EQ(window->StaticText2()->Text(), "period in seconds:");
  EXPECT_EQ(window->StaticText8()->Text(), "url: ");

  for (const char* name : {"StaticText1", "EditField1", "PushButton1", "nummer", "StaticText2",
                           "PushButton2", "periode", "StaticText3", "fps", "StaticText4",
                           "StaticText5"})
    EXPECT_EQ(window->ControlAs<fw::RectControl>(name)->Widget()->font().pixelSize(), 12) << name;
  const double defaultSize = QApplication::font().pointSizeF();
  for (const char* name : {"StaticText7", "StaticText8", "dvon", "dbis"})
    EXPECT_DOUBLE_EQ(window->ControlAs<fw::RectControl>(name)->Widget()->font().pointSizeF(),
                     defaultSize)
        << name;
}

TEST(MainWindow, NonVisualControlsAndProgressAsDesigned) {
  auto window = StartUp();
  auto bar = window->ProgressBar1();
  EXPECT_EQ(bar->Value(), 0);
  EXPECT_EQ(bar->Maximum(), 100);
  auto timer = window->Timer1();
  EXPECT_EQ(timer->Mode(), 2);
  EXPECT_EQ(timer->Period(), 10000);
  auto socket = window->Socket1();
  EXPECT_EQ(socket->Address(), "");
  EXPECT_EQ(socket->Port(), 0);
  EXPECT_FALSE(socket->yield());
  // The two know their window through their own class.
  auto owner = fw::FromValue<fw::Ref<fw::Window>>(fw::Call(*socket, "Window"));
  EXPECT_EQ(owner.Get(), window.Get());
  owner = fw::FromValue<fw::Ref<fw::Window>>(fw::Call(*timer, "Window"));
  EXPECT_EQ(owner.Get(), window.Get());
}

TEST(MainWindow, SixEventsBoundEachToItsOwnHandler) {
  auto window = StartUp();
  const auto& record = window->Class();
  auto slot = [&](const char* name) { return &record.Slot(static_cast<std::size_t>(record.SlotOf(name))); };
  auto socket = window->FindControl("Socket1");
  auto* events = dynamic_cast<fw::EventSource*>(socket.Get());
  ASSERT_NE(events, nullptr);
  EXPECT_EQ(events->Handler("ReceiveProgress"), slot("Socket1_ReceiveProgress"));
  EXPECT_EQ(events->Handler("Error"), slot("Socket1_Error"));
  EXPECT_EQ(events->Handler("DownloadComplete"), slot("Socket1_DownloadComplete"));
  auto handlerOf = [&](const char* control) {
    auto c = window->FindControl(control);
    return dynamic_cast<fw::EventSource*>(c.Get())->Handler("Action");
  };
  EXPECT_EQ(handlerOf("Timer1"), slot("Timer1_Action"));
  EXPECT_EQ(handlerOf("PushButton1"), slot("PushButton1_Action"));
  EXPECT_EQ(handlerOf("PushButton2"), slot("PushButton2_Action"));
  for (const char* unbound : {"Canvas1", "StaticText1", "EditField1", "ProgressBar1", "dvon"}) {
    auto c = window->FindControl(unbound);
    auto* source = dynamic_cast<fw::EventSource*>(c.Get());
    ASSERT_NE(source, nullptr);
    for (const auto& event : source->EventNames())
      EXPECT_EQ(source->Handler(event), nullptr) << unbound << " " << event;
  }
}

// The window class's fifty operations, as the framework window declares them.
const char* const kWindowOperations[] = {
    "Show", "ShowWithin", "ShowModalWithin", "Hide", "Close", "Refresh", "RefreshRect",
    "ShowModal", "NewDragItem", "AcceptTextDrop", "AcceptPictureDrop", "AcceptFileDrop",
    "AcceptMacDataDrop", "AcceptRawDataDrop", "Control", "SetFocus", "DrawInto",
    "_DrawBackground", "UpdateNow", "_AddControl", "_AddMenuHandler", "Window",
    "Operator_Convert", "__New", "_Move", "Maximize", "Minimize", "Restore", "_Update",
    "_CallMoved", "_EnableMenuItems", "_CallActivated", "_CallDeactivated", "_HandleMenuCommand",
    "_UnifiedClose", "_CallMouseDown", "_CallResized", "_CallResizing", "_RemoveControl",
    "_MouseEnter", "_MouseExit", "_MouseMove", "_Paint", "_MouseWheel", "_KeyDown",
    "__DependencyList", "Constructor", "TrueWindow", "FocusNext", "FocusPrevious"};

TEST(MainWindowClass, TableMembersAndProperties) {
  const auto& record = Window1::ClassHandle();
  EXPECT_EQ(&record, &Window1::ClassHandle());
  EXPECT_EQ(record.Name(), "Window1.Window1");
  EXPECT_EQ(record.Parent(), &fw::Window::ClassHandle());
  EXPECT_EQ(record.Scope(), "Public");
  const char* own[] = {"Layout", "CreateControls", "_CreateControls0", "Socket1_ReceiveProgress",
                       "Socket1_Error", "Socket1_DownloadComplete", "Timer1_Action",
                       "PushButton1_Action", "PushButton2_Action", "UntitledMenu0", "EditClear",
                       "EditPaste", "EditCopy", "EditCut", "UntitledMenu1", "EditUndo",
                       "UntitledMenu2", "FileQuit", "UntitledMenu3", "Event_Open", "getstelle"};
  ASSERT_EQ(record.Table().size(), 50u + 21u);
  for (std::size_t i = 0; i < 50; ++i) {
    EXPECT_EQ(record.Table()[i].name, kWindowOperations[i]) << i;
    EXPECT_EQ(record.Table()[i].declaredBy, "Window") << i;  // no overrides
  }
  for (std::size_t i = 0; i < 21; ++i) EXPECT_EQ(record.Table()[50 + i].name, own[i]);
  EXPECT_EQ(record.Table()[50 + 5].arguments,
            (std::vector<std::string>{"String", "Int32", "InternetHeaders", "FolderItem"}));

  const char* members[] = {
      "Layout", "CreateControls", "_CreateControls0", "StaticText1", "EditField1", "Socket1",
      "ProgressBar1", "Timer1", "PushButton1", "Canvas1", "nummer", "StaticText2", "PushButton2",
      "periode", "StaticText3", "fps", "StaticText4", "StaticText5", "StaticText7", "StaticText8",
      "dvon", "dbis", "Socket1_ReceiveProgress", "Socket1_Error", "Socket1_DownloadComplete",
      "Timer1_Action", "PushButton1_Action", "PushButton2_Action", "UntitledMenu0", "EditClear",
      "EditPaste", "EditCopy", "EditCut", "UntitledMenu1", "EditUndo", "UntitledMenu2",
      "FileQuit", "UntitledMenu3", "Event_Open", "getstelle"};
  ASSERT_EQ(record.Members().size(), std::size(members));
  for (std::size_t i = 0; i < std::size(members); ++i)
    EXPECT_EQ(record.Members()[i].name, members[i]) << i;
  EXPECT_TRUE(fw::FindAttribute(record.Members()[2].attributes, "Hidden"));
  EXPECT_FALSE(fw::FindAttribute(record.Members()[2].attributes, "Hidden")->value);
  EXPECT_EQ(record.Members()[5].result, "HTTPSocket");
  for (const auto& m : record.Members()) {
    const auto* scope = fw::FindAttribute(m.attributes, "__Scope");
    ASSERT_NE(scope, nullptr) << m.name;
    EXPECT_EQ(*scope->value, m.name == "getstelle" ? "Protected" : "Public") << m.name;
    if (m.name != "_CreateControls0") { EXPECT_FALSE(fw::FindAttribute(m.attributes, "Hidden")); }
  }
  const char* properties[][2] = {{"anzahl", "Int32"},       {"status", "Int32"},
                                 {"downloading", "Int32"},  {"savefolder", "FolderItem"},
                                 {"aktuellsave", "FolderItem"}};
  ASSERT_EQ(record.Properties().size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(record.Properties()[i].name, properties[i][0]);
    EXPECT_EQ(record.Properties()[i].typeName, properties[i][1]);
    EXPECT_EQ(*fw::FindAttribute(record.Properties()[i].attributes, "__Scope")->value, "Public");
  }
  EXPECT_EQ(record.EventHandler("Open"), &record.Table()[50 + 19]);
  EXPECT_EQ(record.EventHandler("Layout"), &record.Table()[50]);
  EXPECT_EQ(record.EventHandler("CreateControls"), &record.Table()[51]);
}

TEST(MainWindowClass, ControlsHandlersAndMenuItemsAreDeclaredWithTheirTypes) {
  const auto& record = Window1::ClassHandle();
  auto member = [&](const char* name) {
    const auto* m = record.FindMember(name);
    if (!m) ADD_FAILURE() << "no member " << name;
    return m ? *m : fw::MemberDeclaration{};
  };
  const char* controls[][2] = {
      {"StaticText1", "StaticText"}, {"EditField1", "EditField"},   {"Socket1", "HTTPSocket"},
      {"ProgressBar1", "ProgressBar"}, {"Timer1", "Timer"},         {"PushButton1", "PushButton"},
      {"Canvas1", "Canvas"},         {"nummer", "StaticText"},      {"StaticText2", "StaticText"},
      {"PushButton2", "PushButton"}, {"periode", "EditField"},      {"StaticText3", "StaticText"},
      {"fps", "EditField"},          {"StaticText4", "StaticText"}, {"StaticText5", "StaticText"},
      {"StaticText7", "StaticText"}, {"StaticText8", "StaticText"}, {"dvon", "EditField"},
      {"dbis", "EditField"}};
  for (const auto& [name, type] : controls) {
    EXPECT_EQ(member(name).result, type) << name;
    EXPECT_TRUE(member(name).arguments.empty()) << name;
    EXPECT_LT(record.SlotOf(name), 0) << name;  // looked up by name, not a class-table operation
  }
  using Types = std::vector<std::string>;
  const std::pair<const char*, Types> handlers[] = {
      {"Socket1_ReceiveProgress", {"Int32", "Int32", "String"}},
      {"Socket1_Error", {"Int32"}},
      {"Socket1_DownloadComplete", {"String", "Int32", "InternetHeaders", "FolderItem"}},
      {"Timer1_Action", {}},
      {"PushButton1_Action", {}},
      {"PushButton2_Action", {}}};
  for (std::size_t i = 0; i < std::size(handlers); ++i) {
    const auto& [name, arguments] = handlers[i];
    EXPECT_EQ(record.Table()[50 + 3 + i].arguments, arguments) << name;
    EXPECT_EQ(record.Table()[50 + 3 + i].result, "") << name;
    EXPECT_EQ(member(name).arguments, arguments) << name;
  }
  for (std::size_t i = 0; i < 10; ++i) {
    const auto& item = record.Table()[50 + 9 + i];
    const std::string result = item.name == "FileQuit" ? "QuitMenuItem" : "MenuItem";
    EXPECT_EQ(item.result, result) << item.name;
    EXPECT_TRUE(item.arguments.empty()) << item.name;
    EXPECT_EQ(member(item.name.c_str()).result, result) << item.name;
  }
}

TEST(MainWindow, EachTypedAccessorFindsTheControlOfItsName) {
  auto window = StartUp();
  auto same = [&](const fw::Ref<fw::Object>& control, const char* name) {
    ASSERT_TRUE(control) << name;
    EXPECT_EQ(control.Get(), window->FindControl(name).Get()) << name;
  };
  same(window->StaticText1(), "StaticText1"), same(window->EditField1(), "EditField1");
  same(window->Socket1(), "Socket1"), same(window->ProgressBar1(), "ProgressBar1");
  same(window->Timer1(), "Timer1"), same(window->PushButton1(), "PushButton1");
  same(window->Canvas1(), "Canvas1"), same(window->nummer(), "nummer");
  same(window->StaticText2(), "StaticText2"), same(window->PushButton2(), "PushButton2");
  same(window->periode(), "periode"), same(window->StaticText3(), "StaticText3");
  same(window->fps(), "fps"), same(window->StaticText4(), "StaticText4");
  same(window->StaticText5(), "StaticText5"), same(window->StaticText7(), "StaticText7");
  same(window->StaticText8(), "StaticText8"), same(window->dvon(), "dvon");
  same(window->dbis(), "dbis");
}

TEST(MainWindowClass, ControlClassesTieToTheirWindow) {
  StartUp();
  const auto& socket = frametide::Window1Socket1::ClassHandle();
  const auto& http = fw::HTTPSocket::ClassHandle();
  ASSERT_EQ(socket.Table().size(), http.Table().size() + 4);
  const int ctor = http.SlotOf("Constructor", {});
  EXPECT_EQ(socket.SlotOf("Constructor", {}), ctor);
  EXPECT_EQ(socket.Table()[static_cast<std::size_t>(ctor)].declaredBy, "Window1.Socket1");
  const char* pane[] = {"_SetWindow", "Window", "_Index", "_SetIndex"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(socket.Table()[http.Table().size() + i].name, pane[i]);
  EXPECT_EQ(socket.Interfaces(), std::vector<std::string>{"_PaneChild"});
  EXPECT_EQ(http.Interfaces(), (std::vector<std::string>{"Readable", "Writeable", "_SOAPSocket"}));
  for (const char* i : {"_PaneChild", "Readable", "Writeable", "_SOAPSocket"})
    EXPECT_TRUE(socket.Answers(i)) << i;

  const auto& timer = frametide::Window1Timer1::ClassHandle();
  const char* names[] = {"Reset", "addActionNotificationReceiver",
                         "removeActionNotificationReceiver", "_CallAction", "_SetWindow", "Window",
                         "_Index", "_SetIndex", "Constructor"};
  ASSERT_EQ(timer.Table().size(), std::size(names));
  for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(timer.Table()[i].name, names[i]);
  EXPECT_EQ(timer.Interfaces(), std::vector<std::string>{"_PaneChild"});
  EXPECT_EQ(fw::Timer::ClassHandle().Interfaces(), std::vector<std::string>{"actionSource"});
}

// A window whose control creation fails once its timer and socket are registered.
class FailingWindow : public fw::Window {
  FW_CLASS_HANDLE()
  void CreateControls() {
    for (const char* className : {"Window1.Timer1", "Window1.Socket1"}) {
      const fw::Value args[] = {std::string(className)};
      auto control = fw::FromValue<fw::Ref<fw::Object>>(fw::Invoke(*this, kNewSlot, args));
      fw::Invoke(*control, static_cast<std::size_t>(control->Class().SlotOf("Constructor", {})));
      AddControl(className, control);
    }
    throw fw::NilObjectException("the third control could not be made");
  }
};

const fw::ClassRecord& FailingWindow::ClassHandle() {
  if (auto* c = fw::FindClass("FailingWindow")) return *c;
  return fw::ClassBuilder("FailingWindow", &fw::Window::ClassHandle())
      .Allocator([] { return new FailingWindow; })
      .Add("CreateControls", {}, "", fw::Method<&FailingWindow::CreateControls>())
      .Event("CreateControls", "CreateControls")
      .Register();
}

TEST(MainWindowClass, AWindowWhoseControlCreationFailsIsStillReleased) {
  frametide::initialize();
  const long before = fw::Object::Live();
  auto window = fw::Cast<FailingWindow>(fw::RuntimeNewObject(FailingWindow::ClassHandle()));
  const auto handle = window->Handle();
  EXPECT_THROW(fw::Invoke(*window, fw::Window::kConstructorSlot), fw::NilObjectException);
  // Nothing is undone: the two controls stay registered and know their window.
  ASSERT_EQ(window->ControlCount(), 2u);
  fw::Ref<fw::Object> timer = window->FindControl("Window1.Timer1");
  EXPECT_EQ(fw::FromValue<fw::Ref<fw::Window>>(fw::Call(*timer, "Window")).Get(), window.Get());

  window.Reset();
  EXPECT_EQ(handle->window, nullptr);  // the window is gone, its controls did not hold it
  EXPECT_FALSE(fw::FromValue<fw::Ref<fw::Window>>(fw::Call(*timer, "Window")));
  timer.Reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(fw::Object::Live(), before);
}

TEST(MainWindowClass, MenuItemAccessorsFindItemsByName) {
  auto window = StartUp();
  EXPECT_EQ(window->FileQuit()->Name(), "FileQuit");
  EXPECT_EQ(window->EditCopy()->Text(), "Copy");
  EXPECT_EQ(window->UntitledMenu1()->Text(), "-");
  EXPECT_EQ(window->UntitledMenu2()->Text(), "File");
  EXPECT_FALSE(window->UntitledMenu3());  // the bar has no such item
}

}  // namespace
