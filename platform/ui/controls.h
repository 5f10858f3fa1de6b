#pragma once

// The visible controls: static text, single-line edit field, push button, canvas and progress
// bar. Each keeps its properties itself (see RectControl) and mirrors them onto its widget.

#include "platform/ui/canvas.h"
#include "platform/ui/edit_field.h"
#include "platform/ui/progress_bar.h"
#include "platform/ui/push_button.h"
#include "platform/ui/static_text.h"

namespace fw {

// Registers the five control classes (each registers once).
void RegisterStandardControls();

}  // namespace fw
