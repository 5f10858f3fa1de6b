// Runs both probes side by side, alternating, and prints the medians and their ratios:
//   startup_bench <bare_window> <frametide_probe> [runs]
// Start-up is from just before the process is started to the moment its window was shown.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long MonotonicMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

struct Sample {
  double startupMs = -1;
  long rssKb = -1;
};

Sample RunOnce(const std::string& program, const char* argument = nullptr) {
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};
  pid_t pid = 0;
  const long long started = MonotonicMicroseconds();
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) return {};
  close(out[1]);
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  Sample s;
  long long shown = 0;
  long rss = 0;
  if (std::sscanf(text.c_str(), "shown %lld\nrss %ld", &shown, &rss) == 2) {
    s.startupMs = static_cast<double>(shown - started) / 1000.0;
    s.rssKb = rss;
  }
  return s;
}

template <class T>
T Quantile(std::vector<T> v, double q) {
  std::sort(v.begin(), v.end());
  return v.empty() ? T{} : v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

template <class T>
T Median(const std::vector<T>& v) {
  return Quantile(v, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <bare_window> <frametide_probe> [runs]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 3 ? std::atoi(argv[3]) : 15;
  std::vector<double> bareMs, ftMs, labelMs;
  std::vector<long> bareKb, ftKb, labelKb;
  RunOnce(argv[1]);  // warm the page cache for both before measuring
  RunOnce(argv[2]);
  for (int i = 0; i < runs; ++i) {
    const Sample label = RunOnce(argv[1], "label");
    labelMs.push_back(label.startupMs);
    labelKb.push_back(label.rssKb);
    for (int which = 0; which < 2; ++which) {
      const Sample s = RunOnce(argv[1 + which]);
      if (s.startupMs < 0) {
        std::fprintf(stderr, "a probe did not report; is there a display (or QT_QPA_PLATFORM)?\n");
        return 1;
      }
      (which ? ftMs : bareMs).push_back(s.startupMs);
      (which ? ftKb : bareKb).push_back(s.rssKb);
    }
  }
  const double bm = Median(bareMs), fm = Median(ftMs);
  const long bk = Median(bareKb), fk = Median(ftKb);
  std::printf("runs each: %d (alternating)\n", runs);
  std::printf("start-up to window shown, median: bare Qt %.1f ms, Frametide %.1f ms, ratio %.2f\n",
              bm, fm, fm / bm);
  std::printf("idle resident memory, median:     bare Qt %ld KiB, Frametide %ld KiB, ratio %.2f\n",
              bk, fk, static_cast<double>(fk) / static_cast<double>(bk));
  const double lm = Median(labelMs);
  const long lk = Median(labelKb);
  std::printf("for reference, the bare window with one label: %.1f ms (Frametide ratio %.2f), "
              "%ld KiB (Frametide ratio %.2f)\n",
              lm, fm / lm, lk, static_cast<double>(fk) / static_cast<double>(lk));
  // Start-up times on a shared machine scatter; the quartiles show by how much.
  std::printf("start-up quartiles: bare Qt %.1f-%.1f ms, Frametide %.1f-%.1f ms\n",
              Quantile(bareMs, 0.25), Quantile(bareMs, 0.75), Quantile(ftMs, 0.25),
              Quantile(ftMs, 0.75));
  std::printf("target: both ratios within 1.20\n");
  return 0;
}
