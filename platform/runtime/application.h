#pragma once

// The application object: one per process, held by the runtime once registered.

#include <string_view>
#include <vector>

#include "platform/object/classes.h"
#include "platform/ui/menu.h"
#include "platform/object/object.h"

namespace fw {

class Application : public Object {
  FW_CLASS_HANDLE()
  Application();
  ~Application() override;

  Ref<fw::MenuBar> MenuBar() const { return menuBar_; }
  void SetMenuBar(const Ref<fw::MenuBar>& bar) { menuBar_ = bar; }

  // The framework's application events, in its table order.
  static const std::vector<std::string_view>& EventNames();
  // Runs the handler the class's event table gives the event; returns whether one ran.
  bool RaiseEvent(std::string_view event, std::vector<Value> arguments = {});

 private:
  Ref<fw::MenuBar> menuBar_;
  QMetaObject::Connection stateConnection_;
};

}  // namespace fw
