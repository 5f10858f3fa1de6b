// Timed capture: Start/Stop, the schedule fields, the tick, and the download events.

#include <algorithm>

#include "platform/dialogs.h"
#include "platform/text.h"
#include "window/window1.h"

namespace frametide {

namespace {

// The schedule value of a moment: Year,Month,Day,Hour,Minute,Second, unpadded.
std::string ScheduleValue(const fw::Date& d) {
  return fw::Str(d.Year()) + "," + fw::Str(d.Month()) + "," + fw::Str(d.Day()) + "," +
         fw::Str(d.Hour()) + "," + fw::Str(d.Minute()) + "," + fw::Str(d.Second());
}

}  // namespace

void Window1::Event_Open() {
  // One reading of the clock, so that both fields name the same second.
  auto now = fw::MakeRef<fw::Date>();
  dvon()->SetText(ScheduleValue(*now));
  dbis()->SetText(ScheduleValue(*now));
}

void Window1::PushButton1_Action() {
  nummer()->SetText("");
  if (!fw::TextEquals(EditField1()->Text(), "") && fw::TextEquals(PushButton1()->Caption(), "Start")) {
    savefolder = fw::SelectFolder();
    if (savefolder) {
      status = 1;
      downloading = 0;
      PushButton1()->SetCaption("Stop");
    }
    return;
  }
  if (fw::TextEquals(EditField1()->Text(), "")) {
    fw::MsgBox("try to paste a valid url into the field!");
    return;
  }
  savefolder = nullptr;
  status = 0;
  downloading = 0;
  PushButton1()->SetCaption("Start");
}

void Window1::Timer1_Action() {}

std::string Window1::getstelle(const fw::Ref<fw::Date>&, std::int32_t) { return {}; }

void Window1::Socket1_ReceiveProgress(std::int32_t, std::int32_t, const std::string&) {}

void Window1::Socket1_Error(std::int32_t) {}

void Window1::Socket1_DownloadComplete(const std::string&, std::int32_t,
                                       const fw::Ref<fw::InternetHeaders>&,
                                       const fw::Ref<fw::FolderItem>&) {}

}  // namespace frametide
