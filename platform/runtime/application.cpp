#include "platform/runtime/application.h"

#include <QGuiApplication>
#include <QThread>

#include "platform/files/folder_item.h"
#include "platform/runtime/runtime.h"

namespace fw {

namespace {

void Yield(std::int32_t milliseconds) {
  if (!QCoreApplication::instance()) return;
  if (milliseconds > 0)
    QCoreApplication::processEvents(QEventLoop::AllEvents, milliseconds);
  else
    QCoreApplication::processEvents();
}

}  // namespace

Application::Application() {
  // Activate and Deactivate follow the toolkit's notion of the active application.
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    stateConnection_ = QObject::connect(gui, &QGuiApplication::applicationStateChanged,
                                        [this](Qt::ApplicationState state) {
                                          if (state == Qt::ApplicationActive)
                                            RaiseEvent("Activate");
                                          else if (state == Qt::ApplicationInactive)
                                            RaiseEvent("Deactivate");
                                        });
  }
}

Application::~Application() { QObject::disconnect(stateConnection_); }

const std::vector<std::string_view>& Application::EventNames() {
  static const std::vector<std::string_view> names = {
      "Open",   "Close",    "EnableMenuItems", "NewDocument",        "OpenDocument",
      "HandleAppleEvent", "Activate", "Deactivate", "UnhandledException", "CancelClose"};
  return names;
}

bool Application::RaiseEvent(std::string_view event, std::vector<Value> arguments) {
  const Operation* handler = Class().EventHandler(event);
  if (!handler || !handler->body) return false;
  Ref<Object> self(this);  // the handler may drop the last other reference
  RunHandler([&] { handler->body(*self, arguments); });
  return true;
}

const ClassRecord& Application::ClassHandle() {
  if (auto* c = FindClass("Application")) return *c;
  const std::string n = "Application.";
  using A = Application;
  return ClassBuilder("Application", nullptr)
      .Scope("Public")
      .Allocator([] { return new Application; })
      .Add("NewDocument", {}, "", On<A>([](A& a, auto) -> Value {
             a.RaiseEvent("NewDocument");
             return {};
           }))
      .Add("OpenDocument", {"FolderItem"}, "", On<A>([](A& a, auto args) -> Value {
             a.RaiseEvent("OpenDocument", {args.empty() ? Value{} : args[0]});
             return {};
           }))
      .Add("DoEvents", {"Int32"}, "", On<A>([](A&, auto args) -> Value {
             Yield(args.empty() ? 0 : FromValue<std::int32_t>(args[0]));
             return {};
           }))
      .Add("_AddMenuHandler", {"String", "Delegate"}, "", Unsupported(n + "_AddMenuHandler"))
      .Add("_AddPollableObject", {"Object"}, "", Unsupported(n + "_AddPollableObject"))
      .Add("_RemovePollableObject", {"Object"}, "", Unsupported(n + "_RemovePollableObject"))
      .Add("AddTrayItem", {"TrayItem"}, "Boolean", Unsupported(n + "AddTrayItem"))
      .Add("RemoveTrayItem", {"TrayItem"}, "", Unsupported(n + "RemoveTrayItem"))
      .Add("YieldToNextThread", {}, "", On<A>([](A&, auto) -> Value {
             Yield(0);
             return {};
           }))
      .Add("SleepCurrentThread", {"Int32"}, "", On<A>([](A&, auto args) -> Value {
             const auto ms = args.empty() ? 0 : FromValue<std::int32_t>(args[0]);
             if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
             return {};
           }))
      .Add("_DoSingleEvent", {"Boolean"}, "", On<A>([](A&, auto) -> Value {
             Yield(0);
             return {};
           }))
      .Add("_EnableMenuItems", {"MenuItem()"}, "", On<A>([](A& a, auto) -> Value {
             a.RaiseEvent("EnableMenuItems");
             return {};
           }))
      .Add("_CallOpen", {}, "", On<A>([](A& a, auto) -> Value {
             a.RaiseEvent("Open");
             return {};
           }))
      .Add("_HandleMenuCommand", {"MenuItem"}, "Boolean",
           On<A>([](A&, auto args) -> Value {
             auto item = args.empty() ? Ref<MenuItem>() : FromValue<Ref<MenuItem>>(args[0]);
             item->Activate();
             return true;
           }))
      .Add("_LoadPictureFromBundle", {"String"}, "Picture", Unsupported(n + "_LoadPictureFromBundle"))
      .Add("_LoadBundleSound", {"String"}, "Sound", Unsupported(n + "_LoadBundleSound"))
      .Add("__DependencyList", {}, "", Unsupported(n + "__DependencyList"))
      .Property(DeclareProperty<&Application::MenuBar, &Application::SetMenuBar>(
          "MenuBar", PropertyType::Object, "MenuBar"))
      .Register();
}

}  // namespace fw
