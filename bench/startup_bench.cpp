// Start-up time and idle memory of Frametide against the same window written directly in Qt:
//   startup_bench <frametide_probe> <plain_window> <bare_window> [runs]
// The programs run side by side, in rounds, each round in a new order, so a machine that gets
// busier or quieter during the run weighs on all of them alike. Start-up is from just before a
// process is started to the moment its event loop runs with the window shown, beside the
// processor time the process itself spent until then; memory is the resident set after half a
// second of idling. First it checks that Frametide and the plain program show the same window.
// The empty window is shown for reference only.
// Exits 1 when Frametide misses a target, 2 when the programs cannot be compared.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "monotonic_clock.h"

extern char** environ;

namespace {

// Frametide may cost at most this much more than the plain program, in time and in memory.
constexpr double kTargetRatio = 1.10;
constexpr int kDefaultRuns = 15;
constexpr int kMinimumRuns = 15;

using bench::MonotonicMicroseconds;

struct Sample {
  double startupMs = -1;
  double processorMs = -1;
  double rssKb = -1;
  std::vector<std::string> window;  // what the program said it shows, when asked
};

// Runs the program once and reads its report. What it says on its standard error is kept
// out of the table and shown only when it fails to report.
Sample RunOnce(const std::string& program, bool describe = false) {
  int out[2];
  if (pipe(out) != 0) return {};
  std::FILE* errors = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (errors) posix_spawn_file_actions_adddup2(&actions, fileno(errors), 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  char* argv[] = {const_cast<char*>(program.c_str()),
                  describe ? const_cast<char*>("--describe") : nullptr, nullptr};
  pid_t pid = 0;
  const long long started = MonotonicMicroseconds();
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[256];
  ssize_t n;
  while (spawned == 0 && (n = read(out[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  if (spawned == 0) waitpid(pid, &status, 0);
  Sample s;
  long long shown = -1, processor = -1;
  long rss = -1;
  std::size_t at = 0;
  while (spawned == 0 && at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (std::sscanf(line.c_str(), "shown %lld", &shown) == 1) continue;
    if (std::sscanf(line.c_str(), "cpu %lld", &processor) == 1) continue;
    if (std::sscanf(line.c_str(), "rss %ld", &rss) == 1) continue;
    s.window.push_back(line);
  }
  if (shown >= 0 && processor >= 0 && rss >= 0) {
    s.startupMs = static_cast<double>(shown - started) / 1000.0;
    s.processorMs = static_cast<double>(processor) / 1000.0;
    s.rssKb = static_cast<double>(rss);
  } else if (errors) {
    std::rewind(errors);
    while (std::fgets(buffer, sizeof buffer, errors)) std::fputs(buffer, stderr);
  }
  if (errors) std::fclose(errors);
  return s;
}

double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  // Linear interpolation between the two nearest ranks.
  const double at = q * static_cast<double>(v.size() - 1);
  const auto below = static_cast<std::size_t>(at);
  const std::size_t above = std::min(below + 1, v.size() - 1);
  return v[below] + (at - static_cast<double>(below)) * (v[above] - v[below]);
}

struct Program {
  const char* label;
  std::string path;
  std::vector<double> startupMs;
  std::vector<double> processorMs;
  std::vector<double> rssKb;
};

double Median(const std::vector<double>& v) { return Quantile(v, 0.5); }

void PrintRow(const Program& p) {
  std::printf("  %-24s %7.1f (%5.1f-%5.1f)   %7.1f        %7.0f (%5.0f-%5.0f)\n", p.label,
              Median(p.startupMs), Quantile(p.startupMs, 0.25), Quantile(p.startupMs, 0.75),
              Median(p.processorMs), Median(p.rssKb), Quantile(p.rssKb, 0.25),
              Quantile(p.rssKb, 0.75));
}

// Runs of one round were taken moments apart, so their ratios show how far the machine's
// changing load, not the programs, moves the comparison.
std::vector<double> RoundRatios(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) ratios.push_back(a[i] / b[i]);
  return ratios;
}

void PrintRatios(const char* against, const Program& frametide, const Program& other) {
  const std::vector<double> rounds = RoundRatios(frametide.startupMs, other.startupMs);
  std::printf("  Frametide / %s: start-up %.2f (round by round %.2f-%.2f), processor time %.2f, "
              "memory %.2f\n",
              against, Median(frametide.startupMs) / Median(other.startupMs),
              Quantile(rounds, 0.25), Quantile(rounds, 0.75),
              Median(frametide.processorMs) / Median(other.processorMs),
              Median(frametide.rssKb) / Median(other.rssKb));
}

// Prints the verdict on one measure and answers whether its target is met.
bool Verdict(const char* measure, double frametide, double plain) {
  const double ratio = frametide / plain;
  const bool met = ratio <= kTargetRatio;
  std::printf("%s: Frametide %.2f times the plain Qt program's, target at most %.2f: %s\n",
              measure, ratio, kTargetRatio, met ? "met" : "MISSED");
  return met;
}

// A comparison is fair only between programs that show the same window.
bool SameWindow(const Sample& frametide, const Sample& plain) {
  if (!frametide.window.empty() && frametide.window == plain.window) return true;
  std::fprintf(stderr, "the plain Qt program does not show Frametide's window; Frametide:\n");
  for (const auto& line : frametide.window) std::fprintf(stderr, "  %s\n", line.c_str());
  std::fprintf(stderr, "plain Qt:\n");
  for (const auto& line : plain.window) std::fprintf(stderr, "  %s\n", line.c_str());
  return false;
}

const char* Describe(const char* variable) {
  const char* v = std::getenv(variable);
  return v && *v ? v : "(not set)";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: %s <frametide_probe> <plain_window> <bare_window> [runs]\n",
                 argv[0]);
    return 2;
  }
  const int runs = argc > 4 ? std::atoi(argv[4]) : kDefaultRuns;
  if (runs < kMinimumRuns) {
    std::fprintf(stderr, "at least %d runs each, for quartiles worth reading\n", kMinimumRuns);
    return 2;
  }
  std::vector<Program> programs = {{"Frametide", argv[1], {}, {}, {}},
                                   {"plain Qt, same window", argv[2], {}, {}, {}},
                                   {"plain Qt, empty window", argv[3], {}, {}, {}}};
  // The first runs warm the page cache and show what each program's window holds.
  const Sample frametideWindow = RunOnce(programs[0].path, true);
  const Sample plainWindow = RunOnce(programs[1].path, true);
  RunOnce(programs[2].path);
  if (!SameWindow(frametideWindow, plainWindow)) return 2;
  const std::size_t count = programs.size();
  for (int round = 0; round < runs; ++round) {
    for (std::size_t k = 0; k < count; ++k) {
      Program& p = programs[(static_cast<std::size_t>(round) + k) % count];
      const Sample s = RunOnce(p.path);
      if (s.startupMs < 0) {
        std::fprintf(stderr, "%s (%s) did not report; is there a display (or QT_QPA_PLATFORM)?\n",
                     p.label, p.path.c_str());
        return 2;
      }
      p.startupMs.push_back(s.startupMs);
      p.processorMs.push_back(s.processorMs);
      p.rssKb.push_back(s.rssKb);
    }
  }
  const Program& frametide = programs[0];
  const Program& plain = programs[1];
  const Program& empty = programs[2];
  std::printf("platform %s, display %s; %d runs each, in turn\n", Describe("QT_QPA_PLATFORM"),
              Describe("DISPLAY"), runs);
  std::printf("  %-24s %-23s %-14s %s\n", "", "start-up to window", "processor", "idle memory");
  std::printf("  %-24s %-23s %-14s %s\n", "", "median (quartiles), ms", "median, ms",
              "median (quartiles), KiB");
  for (const auto& p : programs) PrintRow(p);
  PrintRatios("plain Qt, same window", frametide, plain);
  PrintRatios("empty window (for reference, no target)", frametide, empty);
  const bool startupMet = Verdict("start-up", Median(frametide.startupMs), Median(plain.startupMs));
  const bool memoryMet = Verdict("idle memory", Median(frametide.rssKb), Median(plain.rssKb));
  return startupMet && memoryMet ? 0 : 1;
}
