// Folders of generated JPEG images made into a movie by Frametide ("make qt", through the movie
// plug-in) and by the ffmpeg command line with the same encoder settings, in pairs of runs that
// take turns at going first, each run in a process of its own and measured the same way (wall
// time from start to exit, peak resident memory from wait4). Four cases: easy content (a
// timelapse-like scene whose shapes move smoothly) and hard content (the same with sensor-like
// noise in every pixel), each at 1280 by 720 and at 1920 by 1080:
//   movie_bench <movie_bench_driver> [pairs per case, 3] [images per case, 1000]
// Exits non-zero when a target is missed in any case or either side fails to make a movie.

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

constexpr int kJpegQuality = 85;
constexpr int kGeneratorThreads = 3;

// Targets.
constexpr double kMaxWallRatio = 1.00;
constexpr double kMaxMemoryRatio = 1.10;
constexpr double kMaxLateMs = 100.0;

struct Case {
  const char* name;
  int width, height;
  bool noisy;
};
constexpr Case kCases[] = {{"easy 1280x720", 1280, 720, false},
                           {"hard 1280x720", 1280, 720, true},
                           {"easy 1920x1080", 1920, 1080, false},
                           {"hard 1920x1080", 1920, 1080, true}};

using bench::MonotonicMicroseconds;

// ----- The images ----------------------------------------------------------------------------

// A sky-like gradient that drifts and shapes that move across it; the hard case adds sensor-like
// noise, so that the encoder has detail to code in every frame.
QImage Frame(const Case& c, int index) {
  const int width = c.width, height = c.height;
  QImage image(width, height, QImage::Format_RGB32);
  const double t = index / 25.0;
  QPainter painter(&image);
  QLinearGradient sky(0, 0, width, height);
  sky.setColorAt(0, QColor::fromHsv((index / 2) % 360, 120, 230));
  sky.setColorAt(1, QColor::fromHsv((index / 2 + 140) % 360, 200, 90));
  painter.fillRect(image.rect(), sky);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  for (int s = 0; s < 6; ++s) {
    const double x = width / 2.0 + (width / 2.5) * std::sin(t * (0.4 + 0.13 * s) + s);
    const double y = height / 2.0 + (height / 2.5) * std::cos(t * (0.3 + 0.11 * s) + 2 * s);
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
  if (!c.noisy) return image;
  std::uint32_t state = 2463534242u ^ static_cast<std::uint32_t>(index * 2654435761u);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
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

// Writes each image under its capture name: Frametide lists the folder by name and ffmpeg's
// glob sorts by name, so both take the same files in the same order.
bool MakeImages(const Case& c, int images, const fs::path& captures) {
  fs::create_directories(captures);
  std::vector<std::thread> workers;
  std::vector<char> ok(kGeneratorThreads, 1);
  for (int w = 0; w < kGeneratorThreads; ++w) {
    workers.emplace_back([&, w] {
      for (int i = w; i < images; i += kGeneratorThreads) {
        const fs::path file = captures / CaptureName(i);
        if (!Frame(c, i).save(QString::fromStdString(file.string()), "JPEG", kJpegQuality))
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
  double cpuSeconds = 0;  // user and system
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
  const auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  outcome.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
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

// Makes the case's images, runs the pairs and prints its figures; whether every target is met.
bool RunCase(const Case& c, const std::string& driver, int pairs, int images, const fs::path& work) {
  const fs::path captures = work / "captures";
  const fs::path ftMovie = work / "frametide.mov", ffMovie = work / "ffmpeg.mov";
  std::printf("\n== %s: %d images\n", c.name, images);
  const long long generating = MonotonicMicroseconds();
  if (!MakeImages(c, images, captures)) {
    std::printf("could not write the images into %s\n", captures.c_str());
    return false;
  }
  std::printf("images: JPEG quality %d, %.0f MB, made in %.1f s\n", kJpegQuality,
              FolderBytes(captures) / 1e6, (MonotonicMicroseconds() - generating) / 1e6);
  std::fflush(stdout);

  const std::vector<std::string> ffmpeg = {
      "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-framerate", "25",
      "-pattern_type", "glob", "-i", (captures / "*.jpg").string(), "-c:v", "libx264",
      "-preset", "medium", "-crf", "23", "-pix_fmt", "yuv420p", ffMovie.string()};
  const std::vector<std::string> frametide = {driver, captures.string(), ftMovie.string()};

  std::vector<double> ffWall, ftWall, lateMs;
  std::string worstLateWhen;
  double tickPeriodMs = 0;
  std::vector<long> ffKb, ftKb;
  bool madeBoth = true;
  for (int pair = 1; pair <= pairs && madeBoth; ++pair) {
    fs::remove(ffMovie);
    fs::remove(ftMovie);
    // Each goes first in every other pair, so neither always finds the other's leftovers.
    Outcome ff, ft;
    if (pair % 2) {
      ff = Run(ffmpeg);
      ft = Run(frametide);
    } else {
      ft = Run(frametide);
      ff = Run(ffmpeg);
    }
    const double late = Reported(ft.output, "late_max_ms");
    tickPeriodMs = Reported(ft.output, "tick_period_ms");
    // The handler's times count from the press of the button.
    // Processor time shows, apart from the machine's load, how much work each side does.
    std::printf("pair %d: ffmpeg %.2f s (processor %.1f s), %ld KiB | Frametide %.2f s "
                "(processor %.1f s), %ld KiB (ratio %.2f); handler: \"all done\" at %.2f s, "
                "returned at %.2f s; capture timer late by at most %.0f ms (no tick from %.2f s "
                "to %.2f s) over %.0f ticks\n",
                pair, ff.wallSeconds, ff.cpuSeconds, ff.peakKb, ft.wallSeconds, ft.cpuSeconds,
                ft.peakKb, ft.wallSeconds / ff.wallSeconds, Reported(ft.output, "all_done_ms") / 1000.0,
                Reported(ft.output, "handler_ms") / 1000.0, late,
                Reported(ft.output, "late_max_from_ms") / 1000.0,
                Reported(ft.output, "late_max_at_ms") / 1000.0, Reported(ft.output, "ticks"));
    // The encoder's work follows what it is given: alike movies mean alike pictures.
    std::error_code sizeError;
    std::printf("  movie sizes: ffmpeg %.1f MB, Frametide %.1f MB\n",
                static_cast<double>(fs::file_size(ffMovie, sizeError)) / 1e6,
                static_cast<double>(fs::file_size(ftMovie, sizeError)) / 1e6);
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
                    "pair %d, no tick from %.2f s to %.2f s after the press, \"all done\" at "
                    "%.2f s",
                    pair, Reported(ft.output, "late_max_from_ms") / 1000.0,
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
  const std::string everyFrame = std::string(",").append(std::to_string(images));
  const bool complete = madeBoth && ftMade.ends_with(everyFrame) && ffMade.ends_with(everyFrame);
  if (madeBoth && !complete) std::printf("a movie does not hold all %d images\n", images);
  fs::remove_all(captures);
  fs::remove(ffMovie);
  fs::remove(ftMovie);

  const double ffW = Median(ffWall), ftW = Median(ftWall);
  const long ffK = Median(ffKb), ftK = Median(ftKb);
  const double worstLate = *std::max_element(lateMs.begin(), lateMs.end());
  const bool wallMet = ftW <= kMaxWallRatio * ffW;
  const bool memoryMet = ftK <= kMaxMemoryRatio * ffK;
  const bool lateMet = worstLate <= kMaxLateMs;
  // Neighbouring runs share the machine's load; their ratios show how much of the spread is it.
  std::vector<double> pairedRatios;
  for (std::size_t i = 0; i < ftWall.size(); ++i) pairedRatios.push_back(ftWall[i] / ffWall[i]);
  std::printf("%s, wall time, median of %zu pairs: ffmpeg %.2f s, Frametide %.2f s, ratio %.2f "
              "(pairs from %.2f to %.2f; target at most %.2f): %s\n",
              c.name, ftWall.size(), ffW, ftW, ftW / ffW,
              *std::min_element(pairedRatios.begin(), pairedRatios.end()),
              *std::max_element(pairedRatios.begin(), pairedRatios.end()), kMaxWallRatio,
              Verdict(complete, wallMet));
  std::printf("%s, peak resident memory, median: ffmpeg %ld KiB, Frametide %ld KiB, ratio %.2f "
              "(target at most %.2f): %s\n",
              c.name, ffK, ftK, static_cast<double>(ftK) / static_cast<double>(ffK),
              kMaxMemoryRatio, Verdict(complete, memoryMet));
  std::printf("%s, capture timer (every %.0f ms) lateness, worst: %.0f ms (%s) (target at most "
              "%.0f ms): %s\n",
              c.name, tickPeriodMs, worstLate, worstLateWhen.c_str(), kMaxLateMs,
              Verdict(complete, lateMet));
  std::fflush(stdout);
  return complete && wallMet && memoryMet && lateMet;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <movie_bench_driver> [pairs per case] [images per case]\n",
                 argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const std::string driver = fs::absolute(argv[1]).string();
  const int pairs = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
  // Fewer than two images make no movie at all.
  const int images = std::max(2, argc > 3 ? std::atoi(argv[3]) : 1000);

  std::string pattern = (fs::temp_directory_path() / "frametide-movie-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path work = pattern;
  std::vector<std::string> missed;
  for (const Case& c : kCases)
    if (!RunCase(c, driver, pairs, images, work)) missed.push_back(c.name);
  fs::remove_all(work);

  std::string list;
  for (const auto& name : missed) list += (list.empty() ? "" : ", ") + name;
  std::printf("\nall cases: %s\n", missed.empty() ? "every target met"
                                                   : ("MISSED in " + list).c_str());
  return missed.empty() ? 0 : 1;
}
