#include <gtest/gtest.h>

#include <QMainWindow>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/app.h"
#include "platform/runtime/application.h"
#include "app/menu.h"
#include "movie/plugin_entrypoints.h"
#include "app/startup.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/runtime.h"
#include "window/window1.h"

namespace {

struct ProgramRun {
  std::vector<std::string> steps;
  std::vector<std::string> messages;
  int status = -1;
};

// Runs the whole program; `atLoop` runs once the event loop is running. The run quits itself
// after `quitAfterMs` at the latest.
ProgramRun RunProgram(std::function<void()> atLoop = {}, int quitAfterMs = 50,
               std::string_view throwAt = {}) {
  ProgramRun run;
  fw::SetDialogResponder([&](const fw::DialogRequest& r) -> std::optional<std::string> {
    run.messages.push_back(r.text);
    return std::nullopt;
  });
  fw::SetTraceSink([&, atLoop, quitAfterMs, throwAt](std::string_view step) {
    run.steps.emplace_back(step);
    if (!throwAt.empty() && step == throwAt) throw fw::IOException("injected at " + std::string(step));
    if (step == "event loop") {
      QTimer::singleShot(0, [atLoop] {
        if (atLoop) atLoop();
      });
      QTimer::singleShot(quitAfterMs, [] { fw::Quit(); });
    }
  });
  char name[] = "frametide";
  char* argv[] = {name, nullptr};
  run.status = frametide::Run(1, argv);
  fw::SetTraceSink({});
  return run;
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& steps, std::string_view step) {
  auto it = std::find(steps.begin(), steps.end(), step);
  return it == steps.end() ? -1 : it - steps.begin();
}

// `expected` appear in this order (other steps may stand between them).
void ExpectInOrder(const std::vector<std::string>& steps, const std::vector<std::string>& expected) {
  std::ptrdiff_t last = -1;
  for (const auto& step : expected) {
    const auto at = IndexOf(steps, step);
    ASSERT_GE(at, 0) << "missing step " << step;
    EXPECT_GT(at, last) << "out of order: " << step;
    last = at;
  }
}

TEST(StartUp, RunsItsStepsInOrderAndShutsDownCleanly) {
  const ProgramRun run = RunProgram();
  EXPECT_EQ(run.status, 0);
  ExpectInOrder(run.steps, {"runtime init", "initialize", "framework classes", "register Window",
                            "register Window1.Window1", "register Window1.Socket1",
                            "register Window1.Timer1", "register Menu.Menu", "register App",
                            "main", "framework initialisation", "startup", "external classes",
                            "plug-in entry points", "file types", "new application object",
                            "register application object", "menu handlers", "default view",
                            "event loop", "event loop ended", "finalize",
                            "release _mImplicitWindowList", "release mDirtyWindows",
                            "release Windows", "Window1 exit", "release mArrayMap",
                            "release sClassFQNToRefMap", "release sClassRefMap",
                            "release plugin_entrypoints", "release Menu._implicitInstance",
                            "runtime exit"});
  // Framework classes come before the program's own.
  EXPECT_LT(IndexOf(run.steps, "register HTTPSocket"), IndexOf(run.steps, "register Window1.Window1"));
  EXPECT_TRUE(run.messages.empty());
}

std::vector<std::string> RegisteredClassNames() {
  std::vector<std::string> names;
  for (const auto* c : fw::RegisteredClasses()) names.push_back(c->Name());
  return names;
}

TEST(StartUp, EveryClassIsSetUpByInitialisationAndNothingOutlivesFinalisation) {
  std::vector<std::string> afterInitialize;
  fw::SetTraceSink([&](std::string_view step) {
    if (step == "main") afterInitialize = RegisteredClassNames();
    if (step == "event loop") QTimer::singleShot(0, [] { fw::Quit(); });
  });
  char name[] = "frametide";
  char* argv[] = {name, nullptr};
  const int status = frametide::Run(1, argv);
  fw::SetTraceSink({});
  EXPECT_EQ(status, 0);

  // The framework's classes first, the program's own last and in their order.
  const std::vector<std::string> own = {"Window1.Window1", "Window1.Socket1", "Window1.Timer1",
                                        "Menu.Menu", "App"};
  ASSERT_GT(afterInitialize.size(), own.size());
  EXPECT_EQ(std::vector<std::string>(afterInitialize.end() - 5, afterInitialize.end()), own);
  for (const char* framework :
       {"Object", "Window", "StaticText", "EditField", "PushButton", "Canvas", "ProgressBar",
        "Timer", "HTTPSocket", "InternetHeaders", "MenuItem", "QuitMenuItem", "MenuBar",
        "Application", "FolderItem", "Date", "Picture", "Delegate", "PluginEntrypointsTable",
        "PluginHandle"})
    EXPECT_GE(IndexOf(afterInitialize, framework), 0) << framework;
  // Nothing was left to register later, during the run or at its end.
  EXPECT_EQ(RegisteredClassNames(), afterInitialize);

  EXPECT_FALSE(frametide::plugin_entrypoints);
  EXPECT_FALSE(frametide::Menu::_implicitInstance);
  EXPECT_FALSE(fw::_mImplicitWindowList);
  EXPECT_FALSE(fw::mDirtyWindows);
  EXPECT_FALSE(fw::Windows);
  EXPECT_FALSE(fw::mArrayMap);
  EXPECT_FALSE(fw::sClassFQNToRefMap);
  EXPECT_FALSE(fw::sClassRefMap);
  EXPECT_FALSE(fw::RegisteredApp());
  // Nothing is left for static destruction to release.
  EXPECT_EQ(fw::Object::Live(), 0);
}

TEST(StartUp, OneMenuBarForApplicationAndWindow) {
  fw::Ref<fw::MenuBar> appBar, windowBar;
  bool windowOpen = false;
  const ProgramRun run = RunProgram([&] {
    appBar = fw::RegisteredApp()->MenuBar();
    auto window = fw::GetImplicitWindow("Window1.Window1");
    windowBar = window->MenuBar();
    // Start-up keeps no reference of its own: the window lists and its controls hold it.
    windowOpen = window->PlatformWindow()->isVisible();
  });
  EXPECT_EQ(run.status, 0);
  ASSERT_TRUE(appBar);
  EXPECT_EQ(appBar.Get(), windowBar.Get());
  EXPECT_NE(dynamic_cast<frametide::Menu*>(appBar.Get()), nullptr);
  EXPECT_TRUE(windowOpen);
  EXPECT_EQ(appBar->Count(), 2);  // built once: File and Edit, not four menus
}

TEST(StartUp, AFailingStepEndsStartUpButNotShutdown) {
  const ProgramRun run = RunProgram({}, 50, "file types");
  EXPECT_NE(run.status, 0);
  EXPECT_GE(IndexOf(run.steps, "unhandled exception: IOException: injected at file types"), 0);
  EXPECT_EQ(IndexOf(run.steps, "new application object"), -1);
  EXPECT_EQ(IndexOf(run.steps, "default view"), -1);
  EXPECT_EQ(IndexOf(run.steps, "event loop"), -1);
  ExpectInOrder(run.steps, {"finalize", "release Windows", "release Menu._implicitInstance",
                            "runtime exit"});
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_NE(run.messages[0].find("IOException"), std::string::npos);
}

TEST(StartUp, AHandlerExceptionIsShownAndTheLoopGoesOn) {
  static const fw::Operation failing{"Failing", {}, "", "Test",
                                     [](fw::Object&, std::span<const fw::Value>) -> fw::Value {
                                       throw fw::NilObjectException("nothing there");
                                     }};
  bool laterEventRan = false;
  const ProgramRun run = RunProgram(
      [&] {
        auto window = fw::GetImplicitWindow("Window1.Window1");
        auto button = window->ControlAs<fw::PushButton>("PushButton1");
        fw::InstallInstanceEventHandler(*button, "Action", &failing);
        qobject_cast<QPushButton*>(button->Widget())->click();
        QTimer::singleShot(0, [&] { laterEventRan = true; });
      },
      100);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(laterEventRan);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_EQ(run.messages[0], "NilObjectException: nothing there");
}

TEST(StartUp, ClosingTheMainWindowEndsTheProgram) {
  const ProgramRun run = RunProgram(
      [] { fw::GetImplicitWindow("Window1.Window1")->PlatformWindow()->close(); }, 5000);
  EXPECT_EQ(run.status, 0);
  ExpectInOrder(run.steps, {"event loop ended", "finalize", "runtime exit"});
}

TEST(AppClass, SeventeenInheritedOperationsThenItsOwn) {
  const auto& record = frametide::App::ClassHandle();
  EXPECT_EQ(&record, &frametide::App::ClassHandle());
  const char* names[] = {"NewDocument", "OpenDocument", "DoEvents", "_AddMenuHandler",
                         "_AddPollableObject", "_RemovePollableObject", "AddTrayItem",
                         "RemoveTrayItem", "YieldToNextThread", "SleepCurrentThread",
                         "_DoSingleEvent", "_EnableMenuItems", "_CallOpen", "_HandleMenuCommand",
                         "_LoadPictureFromBundle", "_LoadBundleSound", "__DependencyList",
                         "Event_Activate"};
  ASSERT_EQ(record.Table().size(), std::size(names));
  for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(record.Table()[i].name, names[i]);
  EXPECT_EQ(record.EventHandler("Activate"), &record.Table()[17]);
  for (auto event : fw::Application::EventNames())
    if (event != "Activate") { EXPECT_EQ(record.EventHandler(event), nullptr) << event; }
  ASSERT_EQ(record.Members().size(), 1u);
  EXPECT_EQ(record.Members()[0].name, "Event_Activate");

  auto app = fw::Cast<frametide::App>(fw::RuntimeNewObject(record));
  EXPECT_TRUE(app->RaiseEvent("Activate"));
  EXPECT_TRUE(app->RaiseEvent("Activate"));
  EXPECT_FALSE(app->RaiseEvent("Deactivate"));
  EXPECT_FALSE(app->MenuBar());
}

}  // namespace

namespace {

struct Said {
  int status = -1;
  QString text;
};

// Runs the application with the display variables replaced by `display`.
Said RunWithDisplay(const std::vector<std::pair<QString, QString>>& display) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
    environment.remove(name);
  for (const auto& [name, value] : display) environment.insert(name, value);
  program.setProcessEnvironment(environment);
  program.start(QCoreApplication::applicationDirPath() + "/frametide", {});
  if (!program.waitForFinished(10000)) {
    program.kill();
    program.waitForFinished();
    return {};
  }
  if (program.exitStatus() != QProcess::NormalExit) return {};  // crashed or aborted
  return {program.exitCode(), QString::fromUtf8(program.readAllStandardError())};
}

void ExpectOneLineAboutTheDisplay(const Said& said) {
  EXPECT_EQ(said.status, 1);
  EXPECT_EQ(said.text.count('\n'), 1) << said.text.toStdString();
  EXPECT_TRUE(said.text.endsWith('\n'));
  EXPECT_TRUE(said.text.contains("display")) << said.text.toStdString();
}

TEST(StartUp, WithoutADisplayItSaysSoInOneLineAndFails) {
  ExpectOneLineAboutTheDisplay(RunWithDisplay({}));
}

TEST(StartUp, WithAnUnreachableDisplayItSaysSoInOneLineAndFails) {
  int number = 97;
  while (QFileInfo::exists(QString("/tmp/.X11-unix/X%1").arg(number))) ++number;
  const QString display = QString(":%1").arg(number);
  const Said x11 = RunWithDisplay({{"DISPLAY", display}});
  ExpectOneLineAboutTheDisplay(x11);
  EXPECT_TRUE(x11.text.contains("DISPLAY=" + display)) << x11.text.toStdString();

  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  const Said wayland = RunWithDisplay({{"WAYLAND_DISPLAY", "wayland-none"},
                                       {"XDG_RUNTIME_DIR", runtime.path()},
                                       {"XDG_SESSION_TYPE", "wayland"}});
  ExpectOneLineAboutTheDisplay(wayland);
  EXPECT_TRUE(wayland.text.contains("WAYLAND_DISPLAY=wayland-none")) << wayland.text.toStdString();
}

}  // namespace
