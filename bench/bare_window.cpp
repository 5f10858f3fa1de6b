// The baseline: a Qt program that shows one empty window. With any argument the window also
// holds one label, which makes the toolkit load its font database as every window with text
// must.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "probe_report.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(687, 399);
  window.setWindowTitle("bare");
  if (argc > 1) (new QLabel("url: ", &window))->move(20, 14);
  window.show();
  QTimer::singleShot(0, [] { probe::ReportAndQuit(probe::MonotonicMicroseconds()); });
  return app.exec();
}
