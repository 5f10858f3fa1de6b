#pragma once

#include "platform/runtime/application.h"

namespace frametide {

// The application class: one instance, made at start-up, whose menu bar is the shared Menu.
class App : public fw::Application {
  FW_CLASS_HANDLE()
  void Event_Activate();
};

}  // namespace frametide
