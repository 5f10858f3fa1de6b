#include "app/startup.h"

#include "app/app.h"
#include "app/menu.h"
#include "movie/plugin_entrypoints.h"
#include "platform/object/delegate.h"
#include "platform/runtime/framework.h"
#include "platform/runtime/runtime.h"
#include "window/window1.h"

namespace frametide {

int Run(int argc, char** argv) {
  if (!fw::RuntimeInit(argc, argv)) return 1;
  initialize();
  Main();
  finalize();
  return fw::RuntimeExit();
}

void initialize() {
  fw::Trace("initialize");
  fw::RegisterFrameworkClasses();
  Window1::ClassHandle();
  Window1Socket1::ClassHandle();
  Window1Timer1::ClassHandle();
  Menu::ClassHandle();
  App::ClassHandle();
}

void Main() {
  fw::Trace("main");
  auto startup = fw::RuntimeCreateDelegate(&fw::Delegate::Invoke, &Startup, "(  )");
  try {
    fw::RunFrameworkInitialization(startup->Callable());
    startup.Reset();
    fw::RuntimeRun();
  } catch (...) {
    fw::UnhandledException(std::current_exception());
  }
  startup.Reset();
}

void Startup() {
  fw::Trace("startup");
  fw::RuntimeInitExternalClasses();
  fw::Trace("plug-in entry points");
  InitPluginEntrypoints();
  InitFileTypes();
  NewAppInstance();
  ApplicationAddMenuHandlers();
  MakeDefaultView();
}

void InitFileTypes() { fw::Trace("file types"); }

void NewAppInstance() {
  fw::Trace("new application object");
  auto app = fw::Cast<App>(fw::RuntimeNewObject(App::ClassHandle()));
  if (!app) throw fw::NilObjectException("the application object could not be made");
  auto bar = Menu::Instance();
  app->SetMenuBar(bar);
  bar.Reset();
  fw::RuntimeRegisterAppObject(app);
}

void ApplicationAddMenuHandlers() { fw::Trace("menu handlers"); }

void MakeDefaultView() {
  fw::Trace("default view");
  Window1::SetMenuBarSource([] { return fw::Ref<fw::MenuBar>(Menu::Instance()); });
  // The framework keeps the window alive in its window lists.
  Window1::Instance().Reset();
}

void finalize() {
  fw::Trace("finalize");
  fw::ReleaseGlobal(fw::_mImplicitWindowList, "_mImplicitWindowList");
  fw::ReleaseGlobal(fw::mDirtyWindows, "mDirtyWindows");
  fw::ReleaseGlobal(fw::Windows, "Windows");
  fw::ReleaseGlobal(fw::mArrayMap, "mArrayMap");
  fw::ReleaseGlobal(fw::sClassFQNToRefMap, "sClassFQNToRefMap");
  fw::ReleaseGlobal(fw::sClassRefMap, "sClassRefMap");
  fw::ReleaseGlobal(plugin_entrypoints, "plugin_entrypoints");
  Menu::ImplicitInstanceExit();
}

}  // namespace frametide
