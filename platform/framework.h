#pragma once

// Framework-wide set-up and the window lists.

#include <string_view>

#include "platform/runtime.h"

namespace fw {

// Sets up the class table of every framework class; the window list `Windows` is made empty
// right after the class table of Window.
void RegisterFrameworkClasses();

// Releases a window list at shutdown: closes the windows it holds, so that controls holding
// their window let go of it, then drops the list.
template <class List>
void ReleaseWindowList(Ref<List>& list, std::string_view name);

}  // namespace fw
