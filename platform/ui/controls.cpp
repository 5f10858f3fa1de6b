#include "platform/ui/controls.h"

namespace fw {

void RegisterStandardControls() {
  StaticText::ClassHandle();
  EditField::ClassHandle();
  PushButton::ClassHandle();
  Canvas::ClassHandle();
  ProgressBar::ClassHandle();
}

}  // namespace fw
