// Movie assembly: a folder of images into one movie file.

#include "window/window1.h"

namespace frametide {

void Window1::PushButton2_Action() {}

}  // namespace frametide
