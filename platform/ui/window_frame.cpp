#include "platform/ui/window_frame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHideEvent>
#include <QKeyEvent>

#include "platform/ui/window.h"

namespace fw::detail {

namespace {

// A screen shows at most about 60 pictures a second. A loop that refreshes the window at every
// step of its work (hundreds a second) would otherwise spend its time painting, and an X
// server as much again receiving the pictures.
constexpr int kPaintIntervalMs = 16;

}  // namespace

WindowFrame::WindowFrame(Window* owner) : owner_(owner) {
  paintLater_.setSingleShot(true);
  paintLater_.callOnTimeout(this, [this] {
    QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
  });
}

// Painting what changed is asked of the window as one request; a request that comes too soon
// after the last painting waits, and what changed meanwhile is painted with it.
bool WindowFrame::event(QEvent* event) {
  if (event->type() == QEvent::UpdateRequest) {
    if (painted_.isValid() && painted_.elapsed() < kPaintIntervalMs) {
      if (!paintLater_.isActive())
        paintLater_.start(static_cast<int>(kPaintIntervalMs - painted_.elapsed()));
      return true;
    }
    painted_.start();
  }
  return QMainWindow::event(event);
}

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
