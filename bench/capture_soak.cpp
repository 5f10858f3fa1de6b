// Capture under load, through the main window's own handlers on the application's own loop:
//   1. soak: 10,000 captures from a loopback server, each tick started as soon as the last
//      download has ended;
//   2. faults: 1,000 captures against a server that fails in turn in every way it can, each
//      failure followed by a capture from a server that behaves again;
//   3. responsiveness: one 200 MB download with a zero-period probe timer on the same loop.
// Prints every figure and whether each target is met; the exit status is 1 when one is missed.
//   capture_soak [--socket-only]
// --socket-only calls Socket1.Get itself instead of ticking Timer1, which tells a fault of the
// handlers from one of the socket.

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>

#include "app/startup.h"
#include "camera_server.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/runtime.h"
#include "probe_report.h"
#include "window/window1.h"

namespace {

using Clock = std::chrono::steady_clock;
using frametide::Window1;

constexpr int kSoakCaptures = 10000;
constexpr int kSampleEvery = 1000;
constexpr long kRssGrowthLimitKb = 2 * 1024;
constexpr int kFaultCaptures = 1000;
constexpr std::int64_t kLargeBodyBytes = 200LL * 1024 * 1024;
constexpr double kProbeGapLimitMs = 20;
// Shortened timeouts, so that a server that never answers costs little time.
constexpr int kConnectTimeoutMs = 2000;
constexpr int kIdleTimeoutMs = 250;
// A download that has raised no event by then never will.
constexpr int kWatchdogMs = 15000;

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (const dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    --count;  // the listing's own
  }
  return count;
}

// A 640 by 480 JPEG, as a camera would send it.
std::string CameraImage() {
  QImage image(640, 480, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, 640, 480);
  gradient.setColorAt(0, Qt::darkBlue);
  gradient.setColorAt(1, Qt::yellow);
  painter.fillRect(image.rect(), gradient);
  painter.end();
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 85);
  return buffer.data().toStdString();
}

// A schedule value, as the fields hold it: Year,Month,Day,Hour,Minute,Second.
std::string ScheduleText(const QDateTime& t) {
  const QDate d = t.date();
  const QTime c = t.time();
  return QString("%1,%2,%3,%4,%5,%6")
      .arg(d.year())
      .arg(d.month())
      .arg(d.day())
      .arg(c.hour())
      .arg(c.minute())
      .arg(c.second())
      .toStdString();
}

std::string Verdict(bool met) { return met ? "target met" : "TARGET MISSED"; }

// Counts the socket's Error and DownloadComplete events on their way to the window's handlers.
struct EventTally {
  long completions = 0;
  long errors = 0;
  std::int32_t code = 0;  // status of the last completion, or code of the last error
  Clock::duration longestCompletionHandler{};
  std::function<void(bool completed)> onEvent;
  long Events() const { return completions + errors; }
};

void CountEvents(fw::HTTPSocket& socket, EventTally& tally) {
  static std::vector<std::unique_ptr<fw::Operation>> kept;
  for (const bool error : {true, false}) {
    const char* name = error ? "Error" : "DownloadComplete";
    const fw::Operation* real = socket.Handler(name);
    if (!real || !real->body) throw std::runtime_error(std::string("Socket1 has no ") + name);
    auto counting = std::make_unique<fw::Operation>(*real);
    counting->body = [real, error, &tally](fw::Object& self, std::span<const fw::Value> args) {
      if (error) {
        ++tally.errors;
        tally.code = fw::FromValue<std::int32_t>(args[0]);
      } else {
        ++tally.completions;
        tally.code = fw::FromValue<std::int32_t>(args[1]);
      }
      if (tally.onEvent) tally.onEvent(!error);
      const auto started = Clock::now();
      fw::Value result = real->body(self, args);
      if (!error)
        tally.longestCompletionHandler =
            std::max(tally.longestCompletionHandler, Clock::now() - started);
      return result;
    };
    socket.InstallHandler(name, counting.get());
    kept.push_back(std::move(counting));
  }
}

enum class Fault { None, NotFound, CloseSilently, Refused, Unwritable, NeverAnswer, Large };

const char* FaultName(Fault f) {
  switch (f) {
    case Fault::None: return "none";
    case Fault::NotFound: return "404 with a page";
    case Fault::CloseSilently: return "close without a byte";
    case Fault::Refused: return "refused connection";
    case Fault::Unwritable: return "folder that cannot be written";
    case Fault::NeverAnswer: return "server that never answers";
    case Fault::Large: return "200 MB body";
  }
  return "?";
}

// The faults in the order the server cycles through them, each followed by a good capture.
constexpr Fault kFaultCycle[] = {Fault::NotFound, Fault::CloseSilently, Fault::Refused,
                                 Fault::Unwritable, Fault::NeverAnswer};

struct CaptureResult {
  bool started = false;    // the tick started a download
  bool ended = false;      // and that download raised its event
  bool completed = false;  // DownloadComplete rather than Error
  std::int32_t code = 0;   // the HTTP status, or the error code
};

class Bench {
 public:
  explicit Bench(bool socketOnly) : socketOnly_(socketOnly) {}

  // Runs on the loop, once the main window is shown.
  void Begin() {
    try {
      Prepare();
    } catch (const std::exception& e) {
      std::printf("cannot begin: %s\n", e.what());
      Finish(false);
    }
  }

  int ExitStatus() const { return allMet_ ? 0 : 1; }

 private:
  void Prepare() {
    image_ = CameraImage();
    server_ = std::make_unique<bench::CameraServer>(image_);
    refusing_ = std::make_unique<bench::RefusingPort>();
    // A folder whose parent is a file: no one can write there, not even the superuser.
    QFile(dir_.filePath("not-a-folder")).open(QIODevice::WriteOnly);
    folder_ = fw::MakeRef<fw::FolderItem>(dir_.filePath("captures").toStdString());
    unwritable_ = fw::MakeRef<fw::FolderItem>(dir_.filePath("not-a-folder/captures").toStdString());
    QDir(dir_.path()).mkdir("captures");

    fw::SetDialogResponder([this](const fw::DialogRequest& r) -> std::optional<std::string> {
      if (r.kind == fw::DialogRequest::Kind::SelectFolder) return folder_->AbsolutePath();
      messages_.push_back(r.text);
      return std::nullopt;
    });

    window_ = Window1::Instance();
    const QDateTime now = QDateTime::currentDateTime();
    window_->dvon()->SetText(ScheduleText(now.addDays(-1)));
    window_->dbis()->SetText(ScheduleText(now.addDays(1)));
    // Long enough that Timer1 never ticks by itself once a download has completed.
    window_->periode()->SetText("3600");
    window_->EditField1()->SetText(server_->Url());
    window_->Socket1()->SetTimeouts(kConnectTimeoutMs, kIdleTimeoutMs);
    CountEvents(*window_->Socket1(), tally_);
    tally_.onEvent = [this](bool completed) { Ended(completed); };
    watchdog_ = std::make_unique<QTimer>();
    watchdog_->setSingleShot(true);
    QObject::connect(watchdog_.get(), &QTimer::timeout, [this] { TimedOut(); });

    if (!socketOnly_) {
      window_->PushButton1()->Push();
      if (window_->status != 1) {
        std::printf("Start did not arm capture (status %d, button \"%s\")\n", window_->status,
                    window_->PushButton1()->Caption().c_str());
        Finish(false);
        return;
      }
    }
    std::printf("capture through %s, server %s\n",
                socketOnly_ ? "Socket1.Get called directly" : "Timer1's tick and the window's handlers",
                server_->Url().c_str());
    RunNextPhase();
  }

  // ---- one capture ----

  void Arrange(Fault fault) {
    switch (fault) {
      case Fault::NotFound: server_->SetBehaviour(bench::Behaviour::NotFound); break;
      case Fault::CloseSilently: server_->SetBehaviour(bench::Behaviour::CloseSilently); break;
      case Fault::NeverAnswer: server_->SetBehaviour(bench::Behaviour::NeverAnswer); break;
      case Fault::Large: server_->SetBehaviour(bench::Behaviour::Large); break;
      default: server_->SetBehaviour(bench::Behaviour::Image); break;
    }
    const std::string url = fault == Fault::Refused ? refusing_->Url() : server_->Url();
    if (window_->EditField1()->Text() != url) window_->EditField1()->SetText(url);
    const auto& folder = fault == Fault::Unwritable ? unwritable_ : folder_;
    if (window_->savefolder.Get() != folder.Get()) window_->savefolder = folder;
  }

  // Starts one capture; `done` runs from the loop once its download has raised its event, or
  // at once when no download started.
  void Capture(Fault fault, std::function<void(const CaptureResult&)> done) {
    Arrange(fault);
    done_ = std::move(done);
    result_ = {};
    waiting_ = true;
    const long before = tally_.Events();
    if (socketOnly_) {
      const auto& folder = fault == Fault::Unwritable ? unwritable_ : folder_;
      file_ = folder->Child(fault == Fault::Large ? "large.jpg" : "capture.jpg");
      window_->Socket1()->Get(window_->EditField1()->Text(), file_);
      result_.started = true;
    } else {
      window_->Timer1()->CallAction();
      file_ = window_->aktuellsave;
      // An error from within Get has already replaced the "fetching " line.
      result_.started = tally_.Events() > before ||
                        window_->nummer()->Text().rfind("fetching ", 0) == 0;
    }
    if (!result_.started) {
      waiting_ = false;
      QTimer::singleShot(0, [this] { Report(); });
      return;
    }
    if (tally_.Events() == before) watchdog_->start(kWatchdogMs);
  }

  void Ended(bool completed) {
    if (!waiting_) {
      ++strayEvents_;
      return;
    }
    waiting_ = false;
    watchdog_->stop();
    result_.ended = true;
    result_.completed = completed;
    result_.code = tally_.code;
    // After the handler, from the loop, as the next tick would come.
    QTimer::singleShot(0, [this] { Report(); });
  }

  void TimedOut() {
    waiting_ = false;
    Report();
  }

  void Report() {
    auto done = std::move(done_);
    done(result_);
  }

  // Size of the file of the last capture; -1 when there is none.
  qint64 FileSize() const {
    return file_ ? QFileInfo(QString::fromStdString(file_->AbsolutePath())).size() : -1;
  }

  bool CapturedImage(const CaptureResult& r) const {
    return r.ended && r.completed && r.code == 200 &&
           FileSize() == static_cast<qint64>(image_.size());
  }

  // ---- soak ----

  struct Soaking {
    int done = 0;
    long downloads = 0, missing = 0, notImages = 0, requestsAtStart = 0, eventsAtStart = 0;
    std::int32_t anzahlAtStart = 0;
    std::vector<long> rssKb;
    std::vector<int> descriptors;
    Clock::time_point started;
  } soak_;

  void Soak() {
    soak_.requestsAtStart = server_->Requests();
    soak_.eventsAtStart = tally_.Events();
    soak_.anzahlAtStart = window_->anzahl;
    soak_.started = Clock::now();
    std::printf("\n== soak: %d captures\n", kSoakCaptures);
    std::printf("before: resident %ld KB, %d descriptors open\n", probe::ResidentKilobytes(),
                OpenDescriptors());
    SoakNext();
  }

  void SoakNext() {
    if (soak_.done == kSoakCaptures) {
      SoakVerdict();
      return;
    }
    Capture(Fault::None, [this](const CaptureResult& r) {
      if (!r.started) {
        std::printf("capture %d: the tick started no download (status line \"%s\", status %d, "
                    "downloading %d)\n",
                    soak_.done + 1, window_->nummer()->Text().c_str(), window_->status,
                    window_->downloading);
        ++soak_.missing;
        SoakVerdict();
        return;
      }
      ++soak_.downloads;
      if (!r.ended) {
        std::printf("capture %d: no event within %d ms\n", soak_.done + 1, kWatchdogMs);
        ++soak_.missing;
        SoakVerdict();
        return;
      }
      if (!CapturedImage(r)) ++soak_.notImages;
      if (++soak_.done % kSampleEvery == 0) {
        soak_.rssKb.push_back(probe::ResidentKilobytes());
        soak_.descriptors.push_back(OpenDescriptors());
        std::printf("after %5d: resident %ld KB, %d descriptors open\n", soak_.done,
                    soak_.rssKb.back(), soak_.descriptors.back());
        std::fflush(stdout);
      }
      SoakNext();
    });
  }

  void SoakVerdict() {
    const double seconds = std::chrono::duration<double>(Clock::now() - soak_.started).count();
    const long requests = server_->Requests() - soak_.requestsAtStart;
    const long events = tally_.Events() - soak_.eventsAtStart;
    std::printf("%d captures in %.1f s (%.0f per second); %ld requests served, %ld downloads "
                "started, %ld events, %ld stray events, %ld without an event, %ld not the image; "
                "anzahl went up by %d\n",
                soak_.done, seconds, soak_.done / std::max(seconds, 1e-9), requests,
                soak_.downloads, events, strayEvents_, soak_.missing, soak_.notImages,
                window_->anzahl - soak_.anzahlAtStart);
    const bool complete = soak_.done == kSoakCaptures;
    Judge("every download ends in exactly one event",
          complete && soak_.missing == 0 && strayEvents_ == 0 && events == soak_.downloads &&
              requests == soak_.downloads);
    if (soak_.rssKb.size() >= 2) {
      const long growth = soak_.rssKb.back() - soak_.rssKb.front();
      std::printf("resident memory from capture %d to %d: %+ld KB (limit %+ld KB)\n", kSampleEvery,
                  soak_.done, growth, kRssGrowthLimitKb);
      Judge("resident memory grows by less than 2 MB", complete && growth < kRssGrowthLimitKb);
      const auto [low, high] =
          std::minmax_element(soak_.descriptors.begin(), soak_.descriptors.end());
      std::printf("open descriptors after each thousand: %d to %d\n", *low, *high);
      Judge("open descriptors stay flat", complete && *low == *high);
    } else {
      Judge("resident memory grows by less than 2 MB", false);
      Judge("open descriptors stay flat", false);
    }
    RunNextPhase();
  }

  // ---- faults ----

  struct FaultCount {
    long times = 0, resumed = 0;
    std::map<std::string, long> outcomes;
  };
  struct Faulting {
    int done = 0;
    bool stopped = false;
    Fault last = Fault::None;
    std::map<Fault, FaultCount> byFault;
  } faults_;

  static std::string Describe(const CaptureResult& r) {
    if (!r.started) return "no download started";
    if (!r.ended) return "no event";
    return (r.completed ? "DownloadComplete, status " : "Error, code ") + std::to_string(r.code);
  }

  void Faults() {
    std::printf("\n== faults: %d captures, every failure followed by a good capture\n",
                kFaultCaptures);
    FaultNext();
  }

  void FaultNext() {
    if (faults_.done == kFaultCaptures || faults_.stopped) {
      FaultVerdict();
      return;
    }
    const int i = faults_.done;
    const Fault fault = i % 2 == 0 ? kFaultCycle[(i / 2) % std::size(kFaultCycle)] : Fault::None;
    Capture(fault, [this, fault](const CaptureResult& r) {
      ++faults_.done;
      if (fault != Fault::None) {
        auto& count = faults_.byFault[fault];
        ++count.times;
        ++count.outcomes[Describe(r)];
        faults_.last = fault;
        if (!r.started || !r.ended) {
          std::printf("capture %d, a %s: %s, status line \"%s\", downloading %d\n",
                      faults_.done, FaultName(fault), Describe(r).c_str(),
                      window_->nummer()->Text().c_str(), window_->downloading);
          faults_.stopped = true;
        }
      } else if (CapturedImage(r)) {
        ++faults_.byFault[faults_.last].resumed;
      } else {
        std::printf("capture %d after a %s: %s, status line \"%s\", downloading %d\n",
                    faults_.done, FaultName(faults_.last), Describe(r).c_str(),
                    window_->nummer()->Text().c_str(), window_->downloading);
        faults_.stopped = true;
      }
      FaultNext();
    });
  }

  void FaultVerdict() {
    bool resumedAll = !faults_.stopped && faults_.done == kFaultCaptures;
    for (const Fault fault : kFaultCycle) {
      const FaultCount& count = faults_.byFault[fault];
      std::printf("%-30s %4ld times, capture resumed after %4ld;", FaultName(fault), count.times,
                  count.resumed);
      for (const auto& [outcome, n] : count.outcomes) std::printf(" %s x%ld", outcome.c_str(), n);
      std::printf("\n");
      resumedAll = resumedAll && count.times > 0 && count.resumed == count.times;
    }
    std::printf("%d captures made, %ld stray events, %zu message boxes shown\n", faults_.done,
                strayEvents_, messages_.size());
    Judge("capture never stops", resumedAll);
    RunNextPhase();
  }

  // ---- responsiveness ----

  struct Probing {
    Clock::time_point last;
    Clock::duration longestGap{};
    Clock::duration longestGapEnded{};  // since the download started
    long firings = 0, late = 0;
    long rssBeforeKb = 0;
    Clock::time_point started;
  } probe_;

  // The download goes into a file of its own, as a capture's normally does: at the start of a
  // second no capture has named a file after it yet.
  void Responsiveness() {
    std::printf("\n== responsiveness: a %lld MB download with a zero-period timer on the loop\n",
                static_cast<long long>(kLargeBodyBytes >> 20));
    server_->SetLargeBodyBytes(kLargeBodyBytes);
    const int toNextSecond = 1000 - QTime::currentTime().msec();
    QTimer::singleShot(toNextSecond + 5, [this] { DownloadLarge(); });
  }

  void DownloadLarge() {
    ProbedDownload([this](const CaptureResult& r, double gapMs) {
      Judge("the probe timer is never late by more than 20 ms",
            r.ended && r.completed && FileSize() == kLargeBodyBytes && gapMs <= kProbeGapLimitMs);
      // Not a target: the same again at once, which in the same second rewrites the same file.
      const std::string first = file_ ? file_->AbsolutePath() : "";
      std::printf("again at once (a figure, not a target):\n");
      ProbedDownload([this, first](const CaptureResult&, double) {
        std::printf("(%s the file of the download before)\n",
                    file_ && file_->AbsolutePath() == first ? "into" : "not into");
        for (const auto& path : {first, file_ ? file_->AbsolutePath() : std::string()})
          if (!path.empty()) QFile::remove(QString::fromStdString(path));
        RunNextPhase();
      });
    });
  }

  // One large download with the probe timer running; prints its figures.
  void ProbedDownload(std::function<void(const CaptureResult&, double gapMs)> done) {
    probe_ = {};
    probeTimer_ = std::make_unique<QTimer>();
    probeTimer_->setInterval(0);
    QObject::connect(probeTimer_.get(), &QTimer::timeout, [this] {
      const auto now = Clock::now();
      if (now - probe_.last > probe_.longestGap) {
        probe_.longestGap = now - probe_.last;
        probe_.longestGapEnded = now - probe_.started;
      }
      if (now - probe_.last > std::chrono::duration<double, std::milli>(kProbeGapLimitMs))
        ++probe_.late;
      probe_.last = now;
      ++probe_.firings;
    });
    probe_.rssBeforeKb = probe::ResidentKilobytes();
    tally_.longestCompletionHandler = {};
    probe_.started = probe_.last = Clock::now();
    probeTimer_->start();
    Capture(Fault::Large, [this, done = std::move(done)](const CaptureResult& r) {
      probeTimer_->stop();
      const double seconds = std::chrono::duration<double>(Clock::now() - probe_.started).count();
      const double gapMs = std::chrono::duration<double, std::milli>(probe_.longestGap).count();
      const qint64 size = FileSize();
      if (!r.ended) {
        std::printf("%s\n", Describe(r).c_str());
        Judge("the probe timer is never late by more than 20 ms", false);
        RunNextPhase();
        return;
      }
      std::printf("%s; %lld bytes stored in %.2f s (%.0f MB/s); resident memory %+ld KB\n",
                  Describe(r).c_str(), static_cast<long long>(size), seconds,
                  (size >> 20) / std::max(seconds, 1e-9),
                  probe::ResidentKilobytes() - probe_.rssBeforeKb);
      std::printf("probe fired %ld times, %ld of them late; longest gap %.2f ms (limit %.0f ms), "
                  "ending %.0f ms into the download; completion handler took %.2f ms\n",
                  probe_.firings, probe_.late, gapMs, kProbeGapLimitMs,
                  std::chrono::duration<double, std::milli>(probe_.longestGapEnded).count(),
                  std::chrono::duration<double, std::milli>(tally_.longestCompletionHandler).count());
      done(r, gapMs);
    });
  }

  // ---- the phases ----

  // Run in this order; each is asynchronous and calls RunNextPhase once it has given its
  // verdicts, whether its targets were met or not.
  using Phase = void (Bench::*)();
  static constexpr Phase kPhases[] = {&Bench::Soak, &Bench::Faults, &Bench::Responsiveness};
  std::size_t nextPhase_ = 0;

  void RunNextPhase() {
    if (nextPhase_ == std::size(kPhases)) {
      Finish(true);
      return;
    }
    (this->*kPhases[nextPhase_++])();
  }

  // ---- end ----

  void Judge(const char* target, bool met) {
    std::printf("%s: %s\n", target, Verdict(met).c_str());
    std::fflush(stdout);
    allMet_ = allMet_ && met;
  }

  void Finish(bool ran) {
    allMet_ = allMet_ && ran;
    std::printf("\n%s\n", allMet_ ? "all targets met" : "at least one target missed");
    for (const auto& text : messages_) std::printf("message box: %s\n", text.c_str());
    fw::SetDialogResponder({});
    watchdog_.reset();
    probeTimer_.reset();
    window_.Reset();
    file_.Reset();
    folder_.Reset();
    unwritable_.Reset();
    fw::Quit();
  }

  bool socketOnly_;
  bool allMet_ = true;
  QTemporaryDir dir_;
  std::string image_;
  std::unique_ptr<bench::CameraServer> server_;
  std::unique_ptr<bench::RefusingPort> refusing_;
  fw::Ref<fw::FolderItem> folder_, unwritable_;
  fw::Ref<fw::FolderItem> file_;  // the file of the capture running or last run
  fw::Ref<Window1> window_;
  EventTally tally_;
  std::unique_ptr<QTimer> watchdog_, probeTimer_;
  std::vector<std::string> messages_;
  std::function<void(const CaptureResult&)> done_;
  CaptureResult result_;
  bool waiting_ = false;
  long strayEvents_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const bool socketOnly = argc > 1 && std::string_view(argv[1]) == "--socket-only";
  auto bench = std::make_unique<Bench>(socketOnly);
  fw::SetTraceSink([&bench](std::string_view step) {
    if (step == "event loop") QTimer::singleShot(0, [&bench] { bench->Begin(); });
  });
  const int status = frametide::Run(1, argv);
  const int verdict = bench->ExitStatus();
  bench.reset();
  return status != 0 ? status : verdict;
}
