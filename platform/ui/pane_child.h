#pragma once

// Non-visual controls (timers, sockets) reach their window through the "_PaneChild" interface
// that the program's control classes add; a control without it has no window.

#include "platform/object/object.h"

namespace fw {

// The window the control belongs to, or absent when its class does not answer "_PaneChild".
Ref<Object> PaneChildWindow(Object& control);

}  // namespace fw
