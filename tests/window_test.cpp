#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/menu.h"
#include "platform/files/picture.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/window.h"

namespace {

using fw::Ref;
using fw::Value;

// A window class as a program writes one: event-table entries and a button handler, all
// members reached through the class table.
class TestWindow : public fw::Window {
  FW_CLASS_HANDLE()
  std::vector<std::string> log;
  int clicks = 0;
  bool failInLayout = false;
  bool visibleDuringOpen = true;
  std::size_t controlsAtOpen = 0;

  void Layout() {
    log.push_back("Layout");
    if (failInLayout) throw fw::OutOfBoundsException("layout failed");
    SetTitle("Test");
    SetWidth(400);
    SetHeight(300);
    SetContentsChanged(true);
  }
  void CreateControls() {
    log.push_back("CreateControls");
    Ref<fw::Object> button = New("PushButton");
    fw::Invoke(*button, static_cast<std::size_t>(button->Class().SlotOf("Constructor", {})));
    AddControl("Button1", button);
    const fw::Operation& handler =
        Class().Slot(static_cast<std::size_t>(Class().SlotOf("Button1_Action")));
    fw::InstallInstanceEventHandler(*button, "Action", &handler);
  }
  void Opened() {
    log.push_back("Open");
    visibleDuringOpen = PlatformWindow()->isVisible();
    controlsAtOpen = ControlCount();
  }
  void Button1Action() { ++clicks; }
};

const fw::ClassRecord& TestWindow::ClassHandle() {
  if (auto* c = fw::FindClass("TestWindow")) return *c;
  return fw::ClassBuilder("TestWindow", &fw::Window::ClassHandle())
      .Allocator([] { return new TestWindow; })
      .Add("Layout", {}, "", fw::Method<&TestWindow::Layout>())
      .Add("CreateControls", {}, "", fw::Method<&TestWindow::CreateControls>())
      .Add("Event_Open", {}, "", fw::Method<&TestWindow::Opened>())
      .Add("Button1_Action", {}, "", fw::Method<&TestWindow::Button1Action>())
      .Event("Layout", "Layout")
      .Event("CreateControls", "CreateControls")
      .Event("Open", "Event_Open")
      .Register();
}

Ref<TestWindow> MakeTestWindow() {
  return fw::Cast<TestWindow>(fw::RuntimeNewObject(TestWindow::ClassHandle()));
}

void Construct(fw::Window& window) { fw::Invoke(window, fw::Window::kConstructorSlot); }

Ref<fw::Window> PlainWindow(int width, int height, bool resizeable) {
  auto window = fw::Cast<fw::Window>(fw::RuntimeNewObject(fw::Window::ClassHandle()));
  window->SetWidth(width);
  window->SetHeight(height);
  window->SetResizeable(resizeable);
  return window;
}

template <class T>
Ref<T> AddMade(fw::Window& window, const std::string& className, const std::string& name) {
  const Value newArgs[] = {className};
  auto control = fw::FromValue<Ref<fw::Object>>(fw::Invoke(window, fw::Window::kNewSlot, newArgs));
  fw::Invoke(*control, static_cast<std::size_t>(control->Class().SlotOf("Constructor", {})));
  const Value addArgs[] = {name, control};
  fw::Invoke(window, fw::Window::kAddControlSlot, addArgs);
  return fw::Cast<T>(control);
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

void RunDeferredDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* NextTabStop(QWidget* from) {
  QWidget* w = from->nextInFocusChain();
  while (w != from && !(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
  return w;
}

Ref<fw::MenuBar> BarWithOneMenu() {
  auto bar = fw::MakeRef<fw::MenuBar>();
  auto file = fw::MakeRef<fw::MenuItem>();
  file->SetName("FileMenu");
  file->SetText("File");
  auto quit = fw::MakeRef<fw::QuitMenuItem>();
  quit->SetName("FileQuit");
  quit->SetText("Quit");
  file->Append(quit);
  bar->Append(file);
  return bar;
}

TEST(WindowClass, FiftyOperationsInOrderWithTheSlotsTheProgramCalls) {
  const std::vector<std::string> expected = {
      "Show", "ShowWithin", "ShowModalWithin", "Hide", "Close", "Refresh", "RefreshRect",
      "ShowModal", "NewDragItem", "AcceptTextDrop", "AcceptPictureDrop", "AcceptFileDrop",
      "AcceptMacDataDrop", "AcceptRawDataDrop", "Control", "SetFocus", "DrawInto",
      "_DrawBackground", "UpdateNow", "_AddControl", "_AddMenuHandler", "Window",
      "Operator_Convert", "__New", "_Move", "Maximize", "Minimize", "Restore", "_Update",
      "_CallMoved", "_EnableMenuItems", "_CallActivated", "_CallDeactivated",
      "_HandleMenuCommand", "_UnifiedClose", "_CallMouseDown", "_CallResized", "_CallResizing",
      "_RemoveControl", "_MouseEnter", "_MouseExit", "_MouseMove", "_Paint", "_MouseWheel",
      "_KeyDown", "__DependencyList", "Constructor", "TrueWindow", "FocusNext", "FocusPrevious"};
  const auto& table = fw::Window::ClassHandle().Table();
  ASSERT_EQ(table.size(), fw::Window::kOperationCount);
  std::vector<std::string> names;
  for (const auto& op : table) names.push_back(op.name);
  EXPECT_EQ(names, expected);

  EXPECT_EQ(table[fw::Window::kRefreshSlot].name, "Refresh");
  EXPECT_EQ(table[fw::Window::kRefreshSlot].arguments, std::vector<std::string>{"Boolean"});
  EXPECT_EQ(table[fw::Window::kAddControlSlot].name, "_AddControl");
  EXPECT_EQ(table[fw::Window::kAddControlSlot].arguments,
            (std::vector<std::string>{"String", "Object"}));
  EXPECT_EQ(table[fw::Window::kNewSlot].name, "__New");
  EXPECT_EQ(table[fw::Window::kNewSlot].result, "Object");
  EXPECT_EQ(table[fw::Window::kConstructorSlot].name, "Constructor");
  EXPECT_TRUE(table[fw::Window::kConstructorSlot].arguments.empty());

  // A subclass keeps the fifty in their slots and appends its own after them.
  const auto& sub = TestWindow::ClassHandle().Table();
  ASSERT_GT(sub.size(), fw::Window::kOperationCount);
  EXPECT_EQ(sub[fw::Window::kConstructorSlot].name, "Constructor");
  EXPECT_EQ(sub[fw::Window::kOperationCount].name, "Layout");
}

TEST(WindowClass, OperationsWithoutMeaningRaiseAndCallbacksRaiseOnlyPresentEvents) {
  auto window = PlainWindow(200, 100, true);
  EXPECT_THROW(fw::Invoke(*window, "NewDragItem",
                          std::vector<Value>{0, 0, 1, 1}),
               fw::UnsupportedOperationException);
  EXPECT_THROW(fw::Invoke(*window, "_AddMenuHandler", std::vector<Value>{std::string("x"), Value{}}),
               fw::UnsupportedOperationException);
  // No event-table entry: nothing runs and the Boolean callbacks answer False.
  Value handled = fw::Invoke(*window, "_CallMouseDown", std::vector<Value>{3, 4});
  EXPECT_EQ(std::get<bool>(handled), false);
  EXPECT_EQ(std::get<bool>(fw::Invoke(*window, "_KeyDown", std::vector<Value>{std::string("a")})),
            false);
  EXPECT_NO_THROW(fw::Invoke(*window, "_CallResized"));
  auto self = fw::FromValue<Ref<fw::Object>>(fw::Invoke(*window, "TrueWindow"));
  EXPECT_EQ(self.Get(), window.Get());
}

TEST(WindowClass, PropertiesAreFoundByNameWithTheirTypes) {
  using P = fw::PropertyType;
  const auto& c = TestWindow::ClassHandle();  // inherited declarations are found too
  const std::vector<std::pair<const char*, P>> expected = {
      {"Placement", P::Int32},        {"Width", P::Int32},          {"Height", P::Int32},
      {"MinWidth", P::Int32},         {"MinHeight", P::Int32},      {"MaxWidth", P::Int32},
      {"MaxHeight", P::Int32},        {"Frame", P::Int32},          {"Composite", P::Boolean},
      {"HasBackColor", P::Boolean},   {"BackColor", P::Color},      {"Title", P::String},
      {"Visible", P::Boolean},        {"FullScreen", P::Boolean},   {"MenuBarVisible", P::Boolean},
      {"CloseButton", P::Boolean},    {"Resizeable", P::Boolean},   {"LiveResize", P::Boolean},
      {"MaximizeButton", P::Boolean}, {"MinimizeButton", P::Boolean},
      {"MacProcID", P::Int32},  // the list's spelling finds the declared MacProcId
      {"Left", P::Int32},             {"Top", P::Int32},            {"ContentsChanged", P::Boolean},
      {"MenuBar", P::Object}};
  for (const auto& [name, type] : expected) {
    const fw::PropertyDeclaration* p = c.FindProperty(name);
    ASSERT_NE(p, nullptr) << name;
    EXPECT_EQ(p->type, type) << name;
  }
  EXPECT_EQ(c.FindProperty("MenuBar")->typeName, "MenuBar");

  auto window = MakeTestWindow();
  c.FindProperty("Title")->set(*window, std::string("Via list"));
  EXPECT_EQ(window->PlatformWindow()->windowTitle().toStdString(), "Via list");
  c.FindProperty("Width")->set(*window, 321);
  EXPECT_EQ(std::get<std::int32_t>(c.FindProperty("width")->get(*window)), 321);
}

TEST(Window, ConstructorRunsLayoutCreateControlsOpenThenOpensTheWindow) {
  auto window = MakeTestWindow();
  Construct(*window);
  EXPECT_EQ(window->log, (std::vector<std::string>{"Layout", "CreateControls", "Open"}));
  EXPECT_EQ(window->controlsAtOpen, 1u);
  EXPECT_FALSE(window->visibleDuringOpen);  // showing waits for the end of construction
  EXPECT_TRUE(window->PlatformWindow()->isVisible());
  EXPECT_FALSE(window->ContentsChanged());
  EXPECT_FALSE(window->PlatformWindow()->isWindowModified());

  ASSERT_TRUE(fw::Windows);
  ASSERT_EQ(fw::Windows->items.size(), 1u);
  EXPECT_EQ(fw::Windows->items[0].Get(), window.Get());
  ASSERT_TRUE(fw::_mImplicitWindowList);
  EXPECT_EQ(fw::_mImplicitWindowList->entries.at("TestWindow").Get(), window.Get());

  EXPECT_THROW(Construct(*window), fw::RuntimeException);
}

TEST(Window, AnExceptionDuringConstructionReachesTheCallerAndOpensNothing) {
  auto window = MakeTestWindow();
  window->failInLayout = true;
  EXPECT_THROW(Construct(*window), fw::OutOfBoundsException);
  EXPECT_EQ(window->log, std::vector<std::string>{"Layout"});
  EXPECT_FALSE(window->PlatformWindow()->isVisible());
  EXPECT_TRUE(!fw::Windows || fw::Windows->items.empty());
}

TEST(Window, ContentAreaBelowTheMenuBarHoldsControlsAtWindowCoordinates) {
  auto window = PlainWindow(687, 399, false);
  window->SetTitle("Frametide");
  window->SetCloseButton(true);
  window->SetMinimizeButton(false);
  window->SetMaximizeButton(false);
  window->SetMenuBar(BarWithOneMenu());
  Construct(*window);
  auto label = AddMade<fw::StaticText>(*window, "StaticText", "StaticText1");
  label->SetLeft(375);
  label->SetTop(190);
  label->SetWidth(257);
  label->SetHeight(107);
  Settle();

  QMainWindow* frame = window->PlatformWindow();
  QWidget* content = window->ContentArea();
  EXPECT_EQ(frame->windowTitle(), "Frametide");
  EXPECT_EQ(content->size(), QSize(687, 399));
  ASSERT_NE(window->ToolkitMenuBar(), nullptr);
  EXPECT_TRUE(window->ToolkitMenuBar()->isVisible());
  EXPECT_GE(content->y(), window->ToolkitMenuBar()->height());  // the bar sits above the content
  EXPECT_EQ(frame->height(), 399 + content->y());
  EXPECT_EQ(label->Widget()->parentWidget(), content);
  EXPECT_EQ(label->Widget()->geometry(), QRect(375, 190, 257, 107));

  // Not resizable: the toolkit pins the size, and a resize request changes nothing.
  EXPECT_EQ(frame->minimumSize(), frame->maximumSize());
  frame->resize(900, 700);
  Settle();
  EXPECT_EQ(content->size(), QSize(687, 399));
  EXPECT_EQ(window->Width(), 687);

  const Qt::WindowFlags flags = frame->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

  window->SetMenuBarVisible(false);
  Settle();
  EXPECT_FALSE(window->ToolkitMenuBar()->isVisible());
  EXPECT_EQ(content->size(), QSize(687, 399));
}

TEST(Window, LockFlagsAnchorControlsWhenTheContentResizes) {
  auto window = PlainWindow(400, 300, true);
  Construct(*window);
  auto none = AddMade<fw::PushButton>(*window, "PushButton", "None");
  auto stretch = AddMade<fw::PushButton>(*window, "PushButton", "Stretch");
  auto right = AddMade<fw::PushButton>(*window, "PushButton", "Right");
  for (auto* c : {none.Get(), stretch.Get(), right.Get()}) {
    c->SetLeft(10);
    c->SetTop(20);
    c->SetWidth(100);
    c->SetHeight(30);
  }
  stretch->SetLockLeft(true);
  stretch->SetLockRight(true);
  stretch->SetLockTop(true);
  stretch->SetLockBottom(true);
  right->SetLockRight(true);
  right->SetLockBottom(true);
  Settle();
  ASSERT_EQ(window->ContentArea()->size(), QSize(400, 300));

  QMainWindow* frame = window->PlatformWindow();
  frame->resize(frame->width() + 100, frame->height() + 50);
  Settle();
  EXPECT_EQ(window->Width(), 500);
  EXPECT_EQ(window->Height(), 350);
  EXPECT_EQ(none->Widget()->geometry(), QRect(10, 20, 100, 30));
  EXPECT_EQ(stretch->Widget()->geometry(), QRect(10, 20, 200, 80));
  EXPECT_EQ(right->Widget()->geometry(), QRect(110, 70, 100, 30));
  EXPECT_EQ(stretch->Width(), 200);
  EXPECT_EQ(right->Left(), 110);

  // Setting the size through the property anchors the same way.
  window->SetWidth(450);
  Settle();
  EXPECT_EQ(window->ContentArea()->width(), 450);
  EXPECT_EQ(stretch->Width(), 150);
  EXPECT_EQ(right->Left(), 60);
}

TEST(Window, TabOrderFollowsTabIndexAndFocusNextWalksIt) {
  auto window = PlainWindow(300, 200, true);
  Construct(*window);
  auto c = AddMade<fw::EditField>(*window, "EditField", "C");
  auto a = AddMade<fw::EditField>(*window, "EditField", "A");
  auto b = AddMade<fw::PushButton>(*window, "PushButton", "B");
  c->SetTabIndex(2);
  a->SetTabIndex(0);
  b->SetTabIndex(1);
  window->ApplyTabOrder();
  // The focus chain is a ring; widgets that take no focus are passed over when tabbing.
  EXPECT_EQ(NextTabStop(a->Widget()), b->Widget());
  EXPECT_EQ(NextTabStop(b->Widget()), c->Widget());
  EXPECT_EQ(NextTabStop(c->Widget()), a->Widget());

  window->SetFocus();
  Settle();
  a->SetFocus();
  window->FocusNext();
  EXPECT_EQ(window->PlatformWindow()->focusWidget(), b->Widget());
  window->FocusNext();
  EXPECT_EQ(window->PlatformWindow()->focusWidget(), c->Widget());
  window->FocusPrevious();
  EXPECT_EQ(window->PlatformWindow()->focusWidget(), b->Widget());
}

TEST(Window, ButtonClickRaisesActionOnTheInstalledMemberHandler) {
  auto window = MakeTestWindow();
  Construct(*window);
  auto button = window->ControlAs<fw::PushButton>("Button1");
  ASSERT_TRUE(button);
  button->Button()->click();
  button->Push();
  EXPECT_EQ(window->clicks, 2);

  fw::InstallInstanceEventHandler(*button, "Action", nullptr);
  button->Button()->click();
  EXPECT_EQ(window->clicks, 2);
  EXPECT_THROW(fw::InstallInstanceEventHandler(*button, "Paint", nullptr), fw::RuntimeException);
}

TEST(Window, ControlsAreFoundByNameAndTypedLookupsFailLoudly) {
  auto window = PlainWindow(300, 200, true);
  Construct(*window);
  auto field = AddMade<fw::EditField>(*window, "EditField", "periode");
  AddMade<fw::PushButton>(*window, "PushButton", "PushButton1");

  EXPECT_EQ(window->ControlCount(), 2u);
  EXPECT_EQ(window->FindControl("PERIODE").Get(), field.Get());  // letter case does not count
  EXPECT_EQ(field->Name(), "periode");
  EXPECT_EQ(field->Widget()->objectName(), "periode");
  EXPECT_EQ(window->ControlAt(1)->Class().Name(), "PushButton");

  EXPECT_FALSE(window->FindControl("nothing"));
  EXPECT_THROW(window->ControlAs<fw::EditField>("nothing")->SetText("x"),
               fw::NilObjectException);
  EXPECT_THROW(window->ControlAs<fw::EditField>("PushButton1"), fw::IllegalCastException);
  EXPECT_THROW(window->Control(2), fw::OutOfBoundsException);
  EXPECT_THROW(window->Control(-1), fw::OutOfBoundsException);
  EXPECT_THROW(window->New("NoSuchClass"), fw::NilObjectException);
  EXPECT_THROW(window->AddControl("x", nullptr), fw::NilObjectException);
}

// A non-visual control that learns its window through the _PaneChild interface.
class PaneChildProbe : public fw::Object {
  FW_CLASS_HANDLE()
  Ref<fw::Window> owner;
  void SetWindow(const Ref<fw::Window>& w) { owner = w; }
};

const fw::ClassRecord& PaneChildProbe::ClassHandle() {
  if (auto* c = fw::FindClass("PaneChildProbe")) return *c;
  return fw::ClassBuilder("PaneChildProbe", nullptr)
      .Allocator([] { return new PaneChildProbe; })
      .Add("_SetWindow", {"Window"}, "", fw::Method<&PaneChildProbe::SetWindow>())
      .Interface("_PaneChild")
      .Register();
}

TEST(Window, AddControlTiesPaneChildrenToTheWindow) {
  auto window = PlainWindow(300, 200, true);
  PaneChildProbe::ClassHandle();
  auto probe = fw::Cast<PaneChildProbe>(window->New("PaneChildProbe"));
  window->AddControl("Timer1", probe);
  EXPECT_EQ(probe->owner.Get(), window.Get());
  EXPECT_EQ(window->FindControl("Timer1").Get(), probe.Get());
  probe->owner.Reset();  // break the cycle the interface makes
}

TEST(Window, ClosingLeavesTheOpenListsAndReleasesTheWindowAfterTheEvent) {
  auto first = PlainWindow(200, 100, true);
  auto second = MakeTestWindow();
  Construct(*first);
  Construct(*second);
  ASSERT_EQ(fw::Windows->items.size(), 2u);
  QPointer<QMainWindow> frame = first->PlatformWindow();

  fw::Invoke(*first, "Close");
  EXPECT_FALSE(frame->isVisible());
  EXPECT_FALSE(first->Visible());
  ASSERT_EQ(fw::Windows->items.size(), 1u);
  EXPECT_EQ(fw::Windows->items[0].Get(), second.Get());
  EXPECT_EQ(fw::_mImplicitWindowList->entries.count("Window"), 0u);
  EXPECT_EQ(fw::_mImplicitWindowList->entries.count("TestWindow"), 1u);

  first.Reset();  // the close keeps the window alive until the event is over
  EXPECT_TRUE(frame);
  RunDeferredDeletes();
  EXPECT_FALSE(frame);  // the window went, and its widgets with it
}

TEST(Window, DroppingTheLastReferenceWhileShownOrInsideItsOwnHandlerIsSafe) {
  {
    auto window = PlainWindow(200, 100, true);
    window->Show();
    Settle();
  }
  RunDeferredDeletes();

  // The button's handler closes the window while the click is still being delivered.
  auto window = MakeTestWindow();
  Construct(*window);
  QPointer<QPushButton> button = window->ControlAs<fw::PushButton>("Button1")->Button();
  QPointer<QMainWindow> frame = window->PlatformWindow();
  fw::Windows->items.clear();
  fw::_mImplicitWindowList->entries.clear();
  // The only reference left is dropped by a slot of the window's own button.
  fw::Object* raw = window.Detach();
  QObject::connect(button, &QPushButton::clicked, [raw] { raw->Release(); });
  button->click();
  RunDeferredDeletes();
  EXPECT_FALSE(frame);
  EXPECT_FALSE(button);
}

TEST(Window, ShowModalReturnsOnceTheWindowCloses) {
  auto window = PlainWindow(200, 100, true);
  Construct(*window);
  QTimer::singleShot(20, [&] { window->Close(); });
  QTimer fallback;  // keeps a broken loop from hanging the test
  fallback.setSingleShot(true);
  QObject::connect(&fallback, &QTimer::timeout, [&] { window->Hide(); });
  fallback.start(5000);
  QElapsedTimer clock;
  clock.start();
  window->ShowModal();
  EXPECT_LT(clock.elapsed(), 4000);
  EXPECT_FALSE(window->PlatformWindow()->isVisible());
  EXPECT_EQ(window->PlatformWindow()->windowModality(), Qt::NonModal);
}

TEST(Window, DrawIntoRendersTheContentAreaIntoAPicture) {
  auto window = PlainWindow(40, 30, false);
  window->SetHasBackColor(true);
  window->SetBackColor(fw::Color{255, 0, 0});
  auto picture = fw::NewPicture(60, 50, 32);
  const Value args[] = {fw::ToValue(picture->GraphicsContext()), 10, 5};
  fw::Invoke(*window, "DrawInto", args);
  EXPECT_EQ(picture->Image().pixelColor(10, 5), QColor(255, 0, 0));
  EXPECT_EQ(picture->Image().pixelColor(49, 34), QColor(255, 0, 0));
  EXPECT_EQ(picture->Image().pixelColor(5, 2).alpha(), 0);  // outside: untouched
  EXPECT_THROW(window->DrawInto(nullptr, 0, 0), fw::NilObjectException);
}

TEST(Window, MenuBarPropertyBuildsTheToolkitBar) {
  auto window = PlainWindow(300, 200, true);
  auto bar = BarWithOneMenu();
  window->PlatformWindow();
  const fw::PropertyDeclaration* p = window->Class().FindProperty("MenuBar");
  p->set(*window, fw::ToValue(bar));
  EXPECT_EQ(window->MenuBar().Get(), bar.Get());
  ASSERT_NE(window->ToolkitMenuBar(), nullptr);
  ASSERT_EQ(window->ToolkitMenuBar()->actions().size(), 1);
  EXPECT_EQ(window->ToolkitMenuBar()->actions()[0]->text(), "File");

  window->SetMenuBar(nullptr);
  EXPECT_EQ(window->ToolkitMenuBar(), nullptr);
}

TEST(Window, VisibleWaitsForConstructionAndHideShowFollowIt) {
  auto window = PlainWindow(200, 100, true);
  window->SetVisible(true);
  EXPECT_FALSE(window->PlatformWindow()->isVisible());
  Construct(*window);
  EXPECT_TRUE(window->PlatformWindow()->isVisible());
  fw::Invoke(*window, "Hide");
  EXPECT_FALSE(window->Visible());
  EXPECT_FALSE(window->PlatformWindow()->isVisible());
  fw::Invoke(*window, "Show");
  EXPECT_TRUE(window->PlatformWindow()->isVisible());
  const Value refresh[] = {true};
  EXPECT_NO_THROW(fw::Invoke(*window, fw::Window::kRefreshSlot, refresh));

  auto hidden = PlainWindow(200, 100, true);
  hidden->SetVisible(false);
  Construct(*hidden);
  EXPECT_FALSE(hidden->PlatformWindow()->isVisible());
}

}  // namespace
