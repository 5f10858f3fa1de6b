#include "platform/ui/window_frame.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QKeyEvent>

#include "platform/ui/window.h"

namespace fw::detail {

void WindowFrame::closeEvent(QCloseEvent* event) {
  if (owner_ && (owner_->ToolkitCloseRequested() || owner_->QuitInsteadOfClosing())) {
    event->ignore();
    return;
  }
  event->accept();
  if (owner_) owner_->ToolkitClosed();
}

void WindowFrame::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (owner_ && !event->spontaneous()) owner_->ToolkitHidden();
}

void WindowFrame::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (owner_ && isVisible()) owner_->ToolkitInvoke("_CallMoved");
}

void WindowFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (owner_ && event->type() == QEvent::ActivationChange)
    owner_->ToolkitInvoke(isActiveWindow() ? "_CallActivated" : "_CallDeactivated");
}

void WindowFrame::keyPressEvent(QKeyEvent* event) {
  if (owner_ && !event->text().isEmpty()) {
    Value handled = owner_->ToolkitInvoke("_KeyDown", {event->text().toStdString()});
    if (auto* b = std::get_if<bool>(&handled); b && *b) return;
  }
  QMainWindow::keyPressEvent(event);
}

}  // namespace fw::detail
