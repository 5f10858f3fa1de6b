// For reference: a Qt program that shows one empty window, the least any window costs.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "probe_report.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(687, 399);
  window.setWindowTitle("bare");
  window.show();
  QTimer::singleShot(0, [] { probe::ReportAndQuit(probe::MonotonicMicroseconds()); });
  return app.exec();
}
