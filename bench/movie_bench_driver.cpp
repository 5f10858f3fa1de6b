// Frametide making one movie, run whole: start-up, then a press of "make qt" with the folder
// and the movie file answered as a person would, the fps field at 25, and the capture timer
// ticking every 100 ms meanwhile. Quits once the handler has returned and reports:
//   handler_ms <from the press until the handler returned, the movie released>
//   all_done_ms <from the press until "all done" was shown>
//   late_max_ms <the capture timer's worst lateness over that time>
//   late_max_from_ms, late_max_at_ms <from the press until the tick before it and until it came>
//   ticks <capture timer ticks over that time>
//   tick_period_ms <the capture timer's period>
//   message <each message box text>
//   movie_bench_driver <image folder> <movie file>

#include <QTimer>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "app/startup.h"
#include "platform/object/classes.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/runtime.h"
#include "probe_report.h"
#include "window/window1.h"

namespace {

constexpr int kTickPeriodMs = 100;
// A movie that takes longer than this is stuck, not slow; the benchmark sees the process killed.
constexpr unsigned kGiveUpSeconds = 600;

// Measures how late each capture tick comes against the one before it.
class TickWatch : public fw::Object {
  FW_CLASS_HANDLE()
  long long lastTickUs = 0;
  long long worstLateUs = 0;
  long long worstFromUs = 0, worstAtUs = 0;
  int ticks = 0;

  void Start() { lastTickUs = probe::MonotonicMicroseconds(); }
  void PerformAction() {
    Note(probe::MonotonicMicroseconds());
    ++ticks;
  }
  // A tick still due at `nowUs` is as late as it would be if it came now.
  void Note(long long nowUs) {
    const long long lateUs = nowUs - lastTickUs - kTickPeriodMs * 1000LL;
    if (lateUs > worstLateUs) {
      worstLateUs = lateUs;
      worstFromUs = lastTickUs;
      worstAtUs = nowUs;
    }
    lastTickUs = nowUs;
  }
};

const fw::ClassRecord& TickWatch::ClassHandle() {
  if (auto* c = fw::FindClass("TickWatch")) return *c;
  return fw::ClassBuilder("TickWatch", nullptr)
      .Allocator([] { return new TickWatch; })
      .Add("PerformAction", {}, "", fw::Method<&TickWatch::PerformAction>())
      .Register();
}

std::string imageFolder, movieFile;
long long allDoneUs = 0;

std::optional<std::string> Answer(const fw::DialogRequest& request) {
  switch (request.kind) {
    case fw::DialogRequest::Kind::SelectFolder:
      return imageFolder;
    case fw::DialogRequest::Kind::SaveAs:
      return movieFile;
    case fw::DialogRequest::Kind::MessageBox:
      if (request.text == "all done") allDoneUs = probe::MonotonicMicroseconds();
      std::printf("message %s\n", request.text.c_str());
      break;
  }
  return std::nullopt;
}

void MakeMovie() {
  fw::SetDialogResponder(Answer);
  auto window = frametide::Window1::Instance();
  window->fps()->SetText("25");
  auto watch = fw::MakeRef<TickWatch>();
  auto timer = window->Timer1();
  timer->AddActionNotificationReceiver(watch);
  timer->SetPeriod(kTickPeriodMs);
  watch->Start();

  const long long pressed = probe::MonotonicMicroseconds();
  window->PushButton2()->Push();
  const long long returned = probe::MonotonicMicroseconds();
  watch->Note(returned);

  timer->RemoveActionNotificationReceiver(watch);
  const auto sincePress = [pressed](long long us) { return us ? (us - pressed) / 1000.0 : -1; };
  std::printf("handler_ms %.1f\nall_done_ms %.1f\nlate_max_ms %.1f\nlate_max_from_ms %.1f\n"
              "late_max_at_ms %.1f\nticks %d\ntick_period_ms %d\n",
              sincePress(returned), sincePress(allDoneUs), watch->worstLateUs / 1000.0,
              sincePress(watch->worstFromUs), sincePress(watch->worstAtUs), watch->ticks,
              kTickPeriodMs);
  std::fflush(stdout);
  fw::Quit();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <image folder> <movie file>\n", argv[0]);
    return 2;
  }
  alarm(kGiveUpSeconds);
  imageFolder = argv[1];
  movieFile = argv[2];
  fw::SetTraceSink([](std::string_view step) {
    if (step == "event loop") QTimer::singleShot(0, MakeMovie);
  });
  return frametide::Run(argc, argv);
}
