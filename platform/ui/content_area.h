#pragma once

// The area below a framework Window's menu bar; controls sit on it in the window's coordinates.

#include <QSize>
#include <QWidget>

namespace fw {

class Window;

namespace detail {

// Reports resizes and the mouse to its framework window, which owns it through the frame.
class ContentArea : public QWidget {
 public:
  explicit ContentArea(Window* owner) : owner_(owner) { setMouseTracking(true); }
  void Orphan() { owner_ = nullptr; }
  void SetDesignSize(QSize size) {
    design_ = size;
    updateGeometry();
  }
  QSize sizeHint() const override { return design_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  Window* owner_;
  QSize design_;
};

}  // namespace detail
}  // namespace fw
