#pragma once

#include "platform/ui/menu.h"

namespace frametide {

// The application's one menu bar: File (Quit) and Edit (Undo, separator, Cut, Copy, Paste,
// Clear). The application object and the main window show the same instance.
class Menu : public fw::MenuBar {
  FW_CLASS_HANDLE()
  // The one instance, built on first use; the caller gets a reference of its own.
  static fw::Ref<Menu> Instance();
  // Module exit: drops the instance's reference and leaves it absent.
  static void ImplicitInstanceExit();

  void Constructor();
  void Untitled1();  // File
  void Untitled2();  // Edit

  static fw::Ref<Menu> _implicitInstance;
};

}  // namespace frametide
