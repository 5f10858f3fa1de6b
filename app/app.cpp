#include "app/app.h"

namespace frametide {

// Activation needs nothing of the program.
void App::Event_Activate() {}

const fw::ClassRecord& App::ClassHandle() {
  if (auto* c = fw::FindClass("App")) return *c;
  return fw::ClassBuilder("App", &fw::Application::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new App; })
      .Add("Event_Activate", {}, "", fw::Method<&App::Event_Activate>())
      .Member({"Event_Activate", {}, "", {fw::ScopeAttribute("Public")}})
      .Event("Activate", "Event_Activate")
      .Register();
}

}  // namespace frametide
