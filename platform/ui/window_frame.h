#pragma once

// The top-level toolkit window behind a framework Window.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

namespace fw {

class Window;

namespace detail {

// It reports closing, hiding, moves, activation and keys to its framework window, which it never
// owns: the framework window owns it.
class WindowFrame : public QMainWindow {
 public:
  explicit WindowFrame(Window* owner);
  void Orphan() { owner_ = nullptr; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Window* owner_;
  QElapsedTimer painted_;  // since the window was last painted
  QTimer paintLater_;
};

}  // namespace detail
}  // namespace fw
