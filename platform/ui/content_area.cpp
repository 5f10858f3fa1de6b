#include "platform/ui/content_area.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

#include "platform/ui/window.h"

namespace fw::detail {

void ContentArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Hidden resizes come from the toolkit settling its layout, not from the user.
  if (owner_ && isVisible() &&
      owner_->ContentResized(event->size().width(), event->size().height()))
    owner_->ToolkitInvoke("_CallResized");
}

void ContentArea::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (owner_) owner_->ToolkitInvoke("_CallMouseDown", {p.x(), p.y()});
  QWidget::mousePressEvent(event);
}

void ContentArea::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (owner_) owner_->ToolkitInvoke("_MouseMove", {p.x(), p.y()});
  QWidget::mouseMoveEvent(event);
}

void ContentArea::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  if (owner_) owner_->ToolkitInvoke("_MouseEnter");
}

void ContentArea::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (owner_) owner_->ToolkitInvoke("_MouseExit");
}

void ContentArea::wheelEvent(QWheelEvent* event) {
  const QPoint p = event->position().toPoint();
  const QPoint d = event->angleDelta() / 120;
  if (owner_) owner_->ToolkitInvoke("_MouseWheel", {p.x(), p.y(), d.x(), d.y()});
  QWidget::wheelEvent(event);
}

}  // namespace fw::detail
