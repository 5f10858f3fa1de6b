#include "platform/ui/pane_child.h"

#include "platform/object/classes.h"

namespace fw {

Ref<Object> PaneChildWindow(Object& control) {
  if (!control.Class().Answers("_PaneChild")) return nullptr;
  return FromValue<Ref<Object>>(Invoke(control, "Window"));
}

}  // namespace fw
