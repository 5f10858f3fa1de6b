// A folder of 1,000 JPEG images of 1280 by 720 made into a movie by Frametide ("make qt", through
// the movie plug-in) and by the ffmpeg command line with the same encoder settings, alternating,
// each run in a process of its own and measured the same way (wall time from start to exit, peak
// resident memory from wait4):
//   movie_bench <movie_bench_driver> [runs]
// Exits non-zero when a target is missed or either side fails to make the movie.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "monotonic_clock.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kImages = 1000;
constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kJpegQuality = 85;
constexpr int kGeneratorThreads = 3;

// Targets.
constexpr double kMaxWallRatio = 1.10;
constexpr double kMaxMemoryRatio = 1.00;
constexpr double kMaxLateMs = 100.0;

using bench::MonotonicMicroseconds;

// ----- The images ----------------------------------------------------------------------------

// A sky-like gradient that drifts, shapes that move across it, and sensor-like noise, so that
// the encoder has motion to search and detail to code in every frame.
QImage Frame(int index) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  const double t = index / 25.0;
  QPainter painter(&image);
  QLinearGradient sky(0, 0, kWidth, kHeight);
  sky.setColorAt(0, QColor::fromHsv((index / 2) % 360, 120, 230));
  sky.setColorAt(1, QColor::fromHsv((index / 2 + 140) % 360, 200, 90));
  painter.fillRect(image.rect(), sky);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  for (int s = 0; s < 6; ++s) {
    const double x = kWidth / 2.0 + (kWidth / 2.5) * std::sin(t * (0.4 + 0.13 * s) + s);
    const double y = kHeight / 2.0 + (kHeight / 2.5) * std::cos(t * (0.3 + 0.11 * s) + 2 * s);
    const double r = 40 + 15 * s;
    QRadialGradient ball(x - r / 3, y - r / 3, r);
    ball.setColorAt(0, QColor::fromHsv(s * 60, 80, 255));
    ball.setColorAt(1, QColor::fromHsv(s * 60, 255, 120));
    painter.setBrush(ball);
    if (s % 2)
      painter.drawEllipse(QPointF(x, y), r, r);
    else
      painter.drawRect(QRectF(x - r, y - r * 0.6, 2 * r, 1.2 * r));
  }
  painter.end();
  std::uint32_t state = 2463534242u ^ static_cast<std::uint32_t>(index * 2654435761u);
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      const int noise = static_cast<int>(state & 15) - 8;
      const std::uint32_t p = row[x];
      const auto channel = [&](int shift) {
        return static_cast<std::uint32_t>(std::clamp(static_cast<int>((p >> shift) & 255) + noise,
                                                     0, 255))
               << shift;
      };
      row[x] = 0xff000000u | channel(16) | channel(8) | channel(0);
    }
  }
  return image;
}

// The name a capture taken `index` seconds after midnight would get.
std::string CaptureName(int index) {
  char name[40];
  std::snprintf(name, sizeof name, "2026-12-09-%02d-%02d-%02d.jpg", index / 3600,
                index / 60 % 60, index % 60);
  return name;
}

// Writes each image once under its capture name (for Frametide, which lists the folder by name)
// and links it as <n>.jpg, n from 1 (for ffmpeg's numbered input): the same files, in the same
// order, for both.
bool MakeImages(const fs::path& captures, const fs::path& numbered) {
  fs::create_directories(captures);
  fs::create_directories(numbered);
  std::vector<std::thread> workers;
  std::vector<char> ok(kGeneratorThreads, 1);
  for (int w = 0; w < kGeneratorThreads; ++w) {
    workers.emplace_back([&, w] {
      for (int i = w; i < kImages; i += kGeneratorThreads) {
        const fs::path file = captures / CaptureName(i);
        if (!Frame(i).save(QString::fromStdString(file.string()), "JPEG", kJpegQuality) ||
            link(file.c_str(), (numbered / (std::to_string(i + 1) + ".jpg")).c_str()) != 0)
          ok[w] = 0;
      }
    });
  }
  for (auto& worker : workers) worker.join();
  return std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; });
}

std::uintmax_t FolderBytes(const fs::path& folder) {
  std::uintmax_t total = 0;
  for (const auto& entry : fs::directory_iterator(folder)) total += entry.file_size();
  return total;
}

// ----- The processes -------------------------------------------------------------------------

struct Outcome {
  bool exitedCleanly = false;
  double wallSeconds = 0;
  long peakKb = 0;
  std::string output;  // its standard output
};

Outcome Run(const std::vector<std::string>& command) {
  Outcome outcome;
  int out[2];
  if (pipe(out) != 0) return outcome;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const long long started = MonotonicMicroseconds();
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(spawned));
    return outcome;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0)
    outcome.output.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  outcome.wallSeconds = static_cast<double>(MonotonicMicroseconds() - started) / 1e6;
  outcome.peakKb = usage.ru_maxrss;  // kilobytes on Linux
  outcome.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return outcome;
}

// The number after "<key> " in a driver's report, or -1.
double Reported(const std::string& output, const std::string& key) {
  const auto at = output.find(key + " ");
  return at == std::string::npos ? -1 : std::atof(output.c_str() + at + key.size() + 1);
}

// Codec, tag, size, frame rate and frame count of the movie's video, as ffprobe reads them.
std::string Describe(const fs::path& movie) {
  if (!fs::exists(movie)) return "none";
  const Outcome probe = Run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                             "-show_entries",
                             "stream=codec_name,codec_tag_string,width,height,r_frame_rate,"
                             "pix_fmt,nb_read_packets",
                             "-of", "csv=p=0", movie.string()});
  std::string text = probe.output;
  while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
  return probe.exitedCleanly && !text.empty() ? text : "unreadable";
}

template <class T>
T Median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? T{} : v[v.size() / 2];
}

// Figures of a run that made no complete movie judge nothing.
const char* Verdict(bool complete, bool met) {
  return !complete ? "not judged, no complete movie" : met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <movie_bench_driver> [runs]\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const std::string driver = fs::absolute(argv[1]).string();
  const int runs = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);

  std::string pattern = (fs::temp_directory_path() / "frametide-movie-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path work = pattern;
  const fs::path captures = work / "captures", numbered = work / "numbered";
  const fs::path ftMovie = work / "frametide.mov", ffMovie = work / "ffmpeg.mov";

  const long long generating = MonotonicMicroseconds();
  if (!MakeImages(captures, numbered)) {
    std::fprintf(stderr, "could not write the images into %s\n", work.c_str());
    fs::remove_all(work);
    return 1;
  }
  std::printf("images: %d JPEG %dx%d, quality %d, %.0f MB, made in %.1f s\n", kImages, kWidth,
              kHeight, kJpegQuality, FolderBytes(captures) / 1e6,
              (MonotonicMicroseconds() - generating) / 1e6);
  std::fflush(stdout);

  const std::vector<std::string> ffmpeg = {
      "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-framerate", "25",
      "-i", (numbered / "%d.jpg").string(), "-c:v", "libx264", "-preset", "medium", "-crf", "23",
      "-pix_fmt", "yuv420p", ffMovie.string()};
  const std::vector<std::string> frametide = {driver, captures.string(), ftMovie.string()};

  std::vector<double> ffWall, ftWall, lateMs;
  std::string worstLateWhen;
  double tickPeriodMs = 0;
  std::vector<long> ffKb, ftKb;
  bool madeBoth = true;
  for (int run = 1; run <= runs && madeBoth; ++run) {
    fs::remove(ffMovie);
    fs::remove(ftMovie);
    // Each goes first in every other run, so neither always finds the other's leftovers.
    Outcome ff, ft;
    if (run % 2) {
      ff = Run(ffmpeg);
      ft = Run(frametide);
    } else {
      ft = Run(frametide);
      ff = Run(ffmpeg);
    }
    const double late = Reported(ft.output, "late_max_ms");
    tickPeriodMs = Reported(ft.output, "tick_period_ms");
    // The handler's times count from the press of the button.
    std::printf("run %d: ffmpeg %.2f s, %ld KiB | Frametide %.2f s, %ld KiB; handler: \"all done\" "
                "at %.2f s, returned at %.2f s; capture timer late by at most %.0f ms (no tick "
                "from %.2f s to %.2f s) over %.0f ticks\n",
                run, ff.wallSeconds, ff.peakKb, ft.wallSeconds, ft.peakKb,
                Reported(ft.output, "all_done_ms") / 1000.0,
                Reported(ft.output, "handler_ms") / 1000.0, late,
                Reported(ft.output, "late_max_from_ms") / 1000.0,
                Reported(ft.output, "late_max_at_ms") / 1000.0, Reported(ft.output, "ticks"));
    std::fflush(stdout);
    if (!ff.exitedCleanly || !fs::exists(ffMovie)) {
      std::printf("ffmpeg made no movie\n");
      madeBoth = false;
    }
    if (!ft.exitedCleanly || !fs::exists(ftMovie) || fs::file_size(ftMovie) == 0 || late < 0 ||
        ft.output.find("message all done\n") == std::string::npos) {
      std::printf("Frametide made no movie; its report:\n%s", ft.output.c_str());
      madeBoth = false;
    }
    ffWall.push_back(ff.wallSeconds);
    ffKb.push_back(ff.peakKb);
    ftWall.push_back(ft.wallSeconds);
    ftKb.push_back(ft.peakKb);
    if (lateMs.empty() || late > *std::max_element(lateMs.begin(), lateMs.end())) {
      char when[160];
      std::snprintf(when, sizeof when,
                    "run %d, no tick from %.2f s to %.2f s after the press, \"all done\" at %.2f s",
                    run, Reported(ft.output, "late_max_from_ms") / 1000.0,
                    Reported(ft.output, "late_max_at_ms") / 1000.0,
                    Reported(ft.output, "all_done_ms") / 1000.0);
      worstLateWhen = when;
    }
    lateMs.push_back(late);
  }

  const std::string ftMade = Describe(ftMovie), ffMade = Describe(ffMovie);
  std::printf("movies (codec,tag,width,height,pixels,rate,frames): Frametide %s | ffmpeg %s\n",
              ftMade.c_str(), ffMade.c_str());
  // Both must hold every image: a fast movie that lost frames proves nothing.
  const std::string everyFrame = std::string(",").append(std::to_string(kImages));
  const bool complete = madeBoth && ftMade.ends_with(everyFrame) && ffMade.ends_with(everyFrame);
  if (madeBoth && !complete) std::printf("a movie does not hold all %d images\n", kImages);

  const double ffW = Median(ffWall), ftW = Median(ftWall);
  const long ffK = Median(ffKb), ftK = Median(ftKb);
  const double worstLate = *std::max_element(lateMs.begin(), lateMs.end());
  const bool wallMet = ftW <= kMaxWallRatio * ffW;
  const bool memoryMet = ftK <= kMaxMemoryRatio * ffK;
  const bool lateMet = worstLate <= kMaxLateMs;
  std::printf("runs each: %zu (alternating)\n", ftWall.size());
  std::printf("wall time, median:            ffmpeg %.2f s, Frametide %.2f s, ratio %.2f "
              "(target at most %.2f): %s\n",
              ffW, ftW, ftW / ffW, kMaxWallRatio, Verdict(complete, wallMet));
  // Neighbouring runs share the machine's load; their ratios show how much of the spread is it.
  std::vector<double> pairedRatios;
  for (std::size_t i = 0; i < ftWall.size(); ++i) pairedRatios.push_back(ftWall[i] / ffWall[i]);
  std::printf("wall time ratio of each run's pair: median %.2f, from %.2f to %.2f\n",
              Median(pairedRatios), *std::min_element(pairedRatios.begin(), pairedRatios.end()),
              *std::max_element(pairedRatios.begin(), pairedRatios.end()));
  std::printf("peak resident memory, median: ffmpeg %ld KiB, Frametide %ld KiB, ratio %.2f "
              "(target at most %.2f): %s\n",
              ffK, ftK, static_cast<double>(ftK) / static_cast<double>(ffK), kMaxMemoryRatio,
              Verdict(complete, memoryMet));
  std::printf("capture timer (every %.0f ms) lateness, worst of all runs: %.0f ms (%s) "
              "(target at most %.0f ms): %s\n",
              tickPeriodMs, worstLate, worstLateWhen.c_str(), kMaxLateMs,
              Verdict(complete, lateMet));

  fs::remove_all(work);
  return complete && wallMet && memoryMet && lateMet ? 0 : 1;
}
