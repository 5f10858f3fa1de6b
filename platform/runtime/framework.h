#pragma once

// Framework-wide set-up and the window lists.

#include <string_view>

#include "platform/runtime/runtime.h"

namespace fw {

// Sets up the class table of every framework class; the window list `Windows` is made empty
// right after the class table of Window.
void RegisterFrameworkClasses();

}  // namespace fw
