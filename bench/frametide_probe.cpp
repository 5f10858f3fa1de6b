// Frametide's own start-up, run whole, reporting once the event loop runs with the main
// window shown.

#include <QTimer>
#include <string_view>

#include "app/startup.h"
#include "platform/runtime/runtime.h"
#include "probe_report.h"

int main(int argc, char** argv) {
  fw::SetTraceSink([](std::string_view step) {
    if (step == "event loop")
      QTimer::singleShot(0, [] { probe::ReportAndQuit(probe::MonotonicMicroseconds()); });
  });
  return frametide::Run(argc, argv);
}
