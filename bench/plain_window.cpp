// The same window written directly in Qt Widgets, as a developer would without Frametide's
// framework: menu bar, nineteen controls with their texts and geometry, a repeating timer and
// a socket object. It reports start-up and memory exactly as the Frametide probe does, so the
// difference between the two is the framework's cost.

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "probe_report.h"

namespace {

class Canvas : public QWidget {
 public:
  using QWidget::QWidget;
  void SetPreview(QImage image) {
    preview_ = std::move(image);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!preview_.isNull()) painter.drawImage(rect(), preview_);
  }

 private:
  QImage preview_;
};

// The texts that the design sizes at 12 are laid out in pixels.
void SizeText(QWidget* widget) {
  QFont font = widget->font();
  font.setPixelSize(12);
  widget->setFont(font);
}

QLabel* Label(QWidget* parent, const QString& text, QRect geometry, bool sized) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setAutoFillBackground(true);
  label->setGeometry(geometry);
  if (sized) SizeText(label);
  return label;
}

QLineEdit* Field(QWidget* parent, const QString& text, QRect geometry, bool sized) {
  auto* field = new QLineEdit(text, parent);
  field->setGeometry(geometry);
  if (sized) SizeText(field);
  return field;
}

QPushButton* Button(QWidget* parent, const QString& caption, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(geometry);
  SizeText(button);
  return button;
}

QString DateFields(const QDateTime& t) {
  const QDate d = t.date();
  const QTime h = t.time();
  return QStringLiteral("%1,%2,%3,%4,%5,%6")
      .arg(d.year()).arg(d.month()).arg(d.day()).arg(h.hour()).arg(h.minute()).arg(h.second());
}

class MainWindow : public QMainWindow {
 public:
  MainWindow() {
    setWindowTitle("Frametide");
    BuildMenus();
    auto* area = new QWidget;
    area->setFixedSize(687, 399);
    setCentralWidget(area);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    BuildControls(area);
    const QString now = DateFields(QDateTime::currentDateTime());
    dvon_->setText(now);
    dbis_->setText(now);
  }

 private:
  void BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    QAction* quit = file->addAction("Quit", QKeySequence("Ctrl+Q"), qApp, &QApplication::quit);
    quit->setMenuRole(QAction::QuitRole);
    QMenu* edit = menuBar()->addMenu("Edit");
    AddEdit(edit, "Undo", "Ctrl+Z", &QLineEdit::undo);
    edit->addSeparator();
    AddEdit(edit, "Cut", "Ctrl+X", &QLineEdit::cut);
    AddEdit(edit, "Copy", "Ctrl+C", &QLineEdit::copy);
    AddEdit(edit, "Paste", "Ctrl+V", &QLineEdit::paste);
    AddEdit(edit, "Clear", "", &QLineEdit::del);
  }

  template <class Command>
  void AddEdit(QMenu* menu, const QString& text, const QString& shortcut, Command command) {
    menu->addAction(text, QKeySequence(shortcut), [command] {
      if (auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget())) (field->*command)();
    });
  }

  void BuildControls(QWidget* area) {
    Label(area,
          "1. paste a valid url into the field above\n2. select a timer period (seconds)\n"
          "3. modify start and stop dates\n4. press start\n5. watch frametiding\n"
          "6. press stop sometimes\n7. press make qt to make a movie",
          {375, 190, 257, 107}, true)
        ->setWordWrap(true);
    Field(area, "", {52, 14, 615, 19}, true);
    // The download client needs no widget; it is an object of the window.
    (new QObject(this))->setObjectName("Socket1");
    progress_ = new QProgressBar(area);
    progress_->setGeometry(20, 366, 647, 13);
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { ++ticks_; });
    timer_->start(10000);
    auto* start = Button(area, "start", {220, 46, 80, 20});
    connect(start, &QPushButton::clicked, this, [this] { status_->clear(); });
    (new Canvas(area))->setGeometry(20, 90, 280, 203);
    status_ = Label(area, "", {375, 333, 292, 19}, true);
    Label(area, "period in seconds:", {18, 46, 115, 20}, true);
    auto* movie = Button(area, "make qt", {220, 332, 80, 20});
    connect(movie, &QPushButton::clicked, this, [this] { progress_->setValue(0); });
    Field(area, "10", {137, 45, 65, 22}, true);
    Label(area, "frames per second:", {20, 334, 115, 20}, true);
    Field(area, "25", {137, 332, 65, 22}, true);
    Label(area, "start date", {375, 92, 60, 20}, true);
    Label(area, "stop date", {375, 124, 60, 20}, true);
    Label(area, "post processing:", {20, 305, 113, 23}, false);
    Label(area, "url: ", {20, 14, 35, 20}, false);
    dvon_ = Field(area, "", {447, 90, 220, 22}, false);
    dbis_ = Field(area, "", {447, 122, 220, 22}, false);
  }

  QProgressBar* progress_ = nullptr;
  QTimer* timer_ = nullptr;
  QLabel* status_ = nullptr;
  QLineEdit* dvon_ = nullptr;
  QLineEdit* dbis_ = nullptr;
  int ticks_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  MainWindow window;
  window.show();
  QTimer::singleShot(0, [] { probe::ReportAndQuit(probe::MonotonicMicroseconds()); });
  return app.exec();
}
