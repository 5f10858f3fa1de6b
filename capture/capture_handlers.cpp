// Timed capture: Start/Stop, the schedule fields, the tick, and the download events.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/dialogs/dialogs.h"
#include "platform/files/picture.h"
#include "platform/net/error_codes.h"
#include "platform/text/text.h"
#include "window/window1.h"

namespace frametide {

namespace {

// The schedule value of a moment: Year,Month,Day,Hour,Minute,Second, unpadded.
std::string ScheduleValue(const fw::Date& d) {
  return fw::Str(d.Year()) + "," + fw::Str(d.Month()) + "," + fw::Str(d.Day()) + "," +
         fw::Str(d.Hour()) + "," + fw::Str(d.Minute()) + "," + fw::Str(d.Second());
}

// A schedule field as a date-time. A piece the text lacks reads as "", so 0.
fw::Ref<fw::Date> ScheduleDate(const std::vector<std::string>& pieces) {
  auto piece = [&](std::size_t i) {
    return fw::ToInt32(fw::Val(i < pieces.size() ? pieces[i] : std::string()));
  };
  auto d = fw::MakeRef<fw::Date>();
  d->SetYear(piece(0));
  d->SetMonth(piece(1));
  d->SetDay(piece(2));
  d->SetHour(piece(3));
  d->SetMinute(piece(4));
  d->SetSecond(piece(5));
  return d;
}

std::string ErrorText(std::int32_t code) { return "Error code " + fw::Str(code) + " has occurred."; }

constexpr std::int32_t kMinPeriodSeconds = 1;
constexpr std::int32_t kMaxPeriodSeconds = 2147483;  // times 1000 still fits an Int32

// Type and creator codes by the last four characters of a downloaded file's path.
struct FileKind {
  const char* endings[4];
  const char* type;
  const char* creator;
};
constexpr FileKind kFileKinds[] = {
    {{".mov", ".MOV", ".MP4", ".mp4"}, "MooV", "TVOD"},
    {{".jpg", ".JPG"}, "JPEG", "ogle"},
    {{".mp3", ".MP3"}, "MPG3", "MPgP"},
};

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

void Window1::Timer1_Action() {
  auto moment = fw::MakeRef<fw::Date>();
  const auto von = fw::Split(dvon()->Text(), ",");
  const auto bis = fw::Split(dbis()->Text(), ",");
  auto start = ScheduleDate(von);
  auto stop = ScheduleDate(bis);
  if (!(start->TotalSeconds() < moment->TotalSeconds() &&
        moment->TotalSeconds() < stop->TotalSeconds()))
    return;
  if (status != 1 || downloading != 0) {
    nummer()->SetText("waiting for day and hour to come");
    return;
  }

  // The name comes from a reading of the clock taken after the window test.
  auto captured = fw::MakeRef<fw::Date>();
  const std::size_t stelle = static_cast<std::size_t>(Class().SlotOf("getstelle"));
  std::string name = fw::Str(captured->Year());
  for (std::int32_t n = 2; n <= 6; ++n) {
    const fw::Value arguments[] = {fw::ToValue(captured), n};
    name += "-" + fw::FromValue<std::string>(fw::Invoke(*this, stelle, arguments));
  }
  aktuellsave = savefolder->Child(name + ".jpg");
  nummer()->SetText("fetching " + name + ".jpg");
  auto socket = Socket1();
  const std::string address = EditField1()->Text();
  // Set before Get: an Error raised from within Get clears it, and must not be undone here.
  downloading = 1;
  socket->Get(address, aktuellsave);
}

std::string Window1::getstelle(const fw::Ref<fw::Date>& d, std::int32_t n) {
  std::int32_t value = 0;
  switch (n) {
    case 2: value = d->Month(); break;
    case 3: value = d->Day(); break;
    case 4: value = d->Hour(); break;
    case 5: value = d->Minute(); break;
    case 6: value = d->Second(); break;
    default: throw fw::OutOfBoundsException("getstelle names fields 2 to 6, not " + fw::Str(n));
  }
  return value < 10 ? "0" + fw::Str(value) : fw::Str(value);
}

void Window1::Socket1_ReceiveProgress(std::int32_t bytesReceived, std::int32_t totalBytes,
                                      const std::string&) {
  if (totalBytes == 0) {
    ProgressBar1()->SetMaximum(0);  // no length announced: the bar only shows activity
    return;
  }
  ProgressBar1()->SetMaximum(100);
  const double percent = static_cast<double>(bytesReceived) / static_cast<double>(totalBytes) * 100.0;
  ProgressBar1()->SetValue(fw::ToInt32(percent));
}

void Window1::Socket1_Error(std::int32_t code) {
  nummer()->SetText(ErrorText(code));
  // The download is over: the next tick inside the schedule may start another.
  downloading = 0;
}

void Window1::Socket1_DownloadComplete(const std::string&, std::int32_t httpStatus,
                                       const fw::Ref<fw::InternetHeaders>&,
                                       const fw::Ref<fw::FolderItem>& file) {
  ProgressBar1()->SetMaximum(100);
  ProgressBar1()->SetValue(0);
  downloading = 0;
  anzahl = anzahl + 1;

  // The file is kept as it came, but a camera that fails must not look as if all were well.
  if (httpStatus == 0) {
    nummer()->SetText(ErrorText(fw::http_error::kIncompleteAnswer));
  } else if (httpStatus < 200 || httpStatus > 299) {
    nummer()->SetText(ErrorText(httpStatus));
  } else {
    auto socket = Socket1();
    if (socket->BytesReceived() < socket->ContentLength())
      nummer()->SetText(ErrorText(fw::http_error::kIncompleteAnswer));
  }

  if (aktuellsave && aktuellsave->Exists()) {
    // A file that is no picture (an error page, an empty body) leaves the last preview shown;
    // the file stays as the server sent it.
    if (auto source = aktuellsave->OpenAsPicture()) {
      const std::int32_t w = Canvas1()->Width();
      const std::int32_t h = Canvas1()->Height();
      auto preview = fw::NewPicture(w, h, 32);
      preview->GraphicsContext()->DrawPicture(source, 0, 0, preview->Width(), preview->Height(),
                                              0, 0, source->Width(), source->Height());
      Canvas1()->SetBackdrop(preview);
    }
  }

  // Below a second the timer would fetch as fast as the server answers; above the limit the
  // milliseconds no longer fit.
  const std::int32_t seconds =
      std::clamp(fw::ToInt32(fw::Val(periode()->Text())), kMinPeriodSeconds, kMaxPeriodSeconds);
  Timer1()->SetPeriod(seconds * 1000);

  const std::string ext = fw::Right(file->AbsolutePath(), 4);
  for (const FileKind& kind : kFileKinds) {
    const bool matches = std::any_of(std::begin(kind.endings), std::end(kind.endings),
                                     [&](const char* e) { return e && fw::TextEquals(ext, e); });
    if (!matches) continue;
    file->SetMacType(kind.type);
    file->SetMacCreator(kind.creator);
  }
}

}  // namespace frametide
