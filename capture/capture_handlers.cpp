// Timed capture: Start/Stop, the schedule fields, the tick, and the download events.

#include "window/window1.h"

namespace frametide {

void Window1::Event_Open() {}

void Window1::PushButton1_Action() {}

void Window1::Timer1_Action() {}

std::string Window1::getstelle(const fw::Ref<fw::Date>&, std::int32_t) { return {}; }

void Window1::Socket1_ReceiveProgress(std::int32_t, std::int32_t, const std::string&) {}

void Window1::Socket1_Error(std::int32_t) {}

void Window1::Socket1_DownloadComplete(const std::string&, std::int32_t,
                                       const fw::Ref<fw::InternetHeaders>&,
                                       const fw::Ref<fw::FolderItem>&) {}

}  // namespace frametide
