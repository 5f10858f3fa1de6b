#pragma once

// What both probes print once their window is shown and the loop has idled: the moment (on
// the monotonic clock) the window was first shown, and the resident set size after idling.

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

namespace probe {

inline long long MonotonicMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

inline long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Called once the loop runs with the window shown: reports, idles, reports memory, quits.
inline void ReportAndQuit(long long shownAt) {
  std::printf("shown %lld\n", shownAt);
  std::fflush(stdout);
  QTimer::singleShot(500, [] {
    std::printf("rss %ld\n", ResidentKilobytes());
    std::fflush(stdout);
    QCoreApplication::quit();
  });
}

}  // namespace probe
