#pragma once

// What every probe prints once its window is shown and the loop has idled: the moment (on the
// monotonic clock) the window was first shown, the processor time spent until then, what the
// window shows, and the resident set size after idling.

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

#include "monotonic_clock.h"

namespace probe {

using bench::MonotonicMicroseconds;

// Counts only this process's own work, so it shows the cost of start-up apart from waiting for
// a busy machine.
inline long long ProcessorMicroseconds() {
  return bench::MicrosecondsOn(CLOCK_PROCESS_CPUTIME_ID);
}

inline long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

inline std::string Quoted(QString text) {
  text.replace('\n', QStringLiteral("\\n"));
  return (QLatin1Char('"') + text + QLatin1Char('"')).toStdString();
}

// One line for the window, each menu command and each control, so that the bench can check
// that the programs it compares show the same window with the same texts, places and fonts.
inline void DescribeWindow() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* window = qobject_cast<QMainWindow*>(top);
    if (!window || !window->isVisible() || !window->centralWidget()) continue;
    QWidget* area = window->centralWidget();
    std::printf("window %s %dx%d\n", Quoted(window->windowTitle()).c_str(), area->width(),
                area->height());
    for (QAction* title : window->menuBar()->actions()) {
      std::printf("menu %s\n", Quoted(title->text()).c_str());
      if (!title->menu()) continue;
      for (QAction* item : title->menu()->actions())
        std::printf("menu item %s %s\n", item->isSeparator() ? "-" : Quoted(item->text()).c_str(),
                    item->shortcut().toString(QKeySequence::PortableText).toStdString().c_str());
    }
    for (QObject* child : area->children()) {
      auto* control = qobject_cast<QWidget*>(child);
      if (!control) continue;
      QString text;
      if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
      if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
      const QRect g = control->geometry();
      std::printf("control %s %d,%d %dx%d %dpx %s\n", control->metaObject()->className(), g.x(),
                  g.y(), g.width(), g.height(), QFontInfo(control->font()).pixelSize(),
                  Quoted(text).c_str());
    }
  }
}

// Called once the loop runs with the window shown: reports, idles, reports memory, quits.
// Asked with --describe, it also describes the window.
inline void ReportAndQuit(long long shownAt) {
  std::printf("shown %lld\ncpu %lld\n", shownAt, ProcessorMicroseconds());
  if (QCoreApplication::arguments().contains(QStringLiteral("--describe"))) DescribeWindow();
  std::fflush(stdout);
  QTimer::singleShot(500, [] {
    std::printf("rss %ld\n", ResidentKilobytes());
    std::fflush(stdout);
    QCoreApplication::quit();
  });
}

}  // namespace probe
