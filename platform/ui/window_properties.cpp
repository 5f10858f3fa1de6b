#include "platform/ui/window.h"

#include <QMenuBar>

#include "platform/ui/window_frame.h"

namespace fw {

void Window::SetWidth(std::int32_t v) {
  ContentResized(v, height_);
  ApplySize();
}

void Window::SetHeight(std::int32_t v) {
  ContentResized(width_, v);
  ApplySize();
}

void Window::SetMinWidth(std::int32_t v) {
  minWidth_ = v;
  ApplySize();
}
void Window::SetMinHeight(std::int32_t v) {
  minHeight_ = v;
  ApplySize();
}
void Window::SetMaxWidth(std::int32_t v) {
  maxWidth_ = v;
  ApplySize();
}
void Window::SetMaxHeight(std::int32_t v) {
  maxHeight_ = v;
  ApplySize();
}

void Window::SetFrame(std::int32_t v) {
  frameKind_ = v;
  ApplyFlags();
}

void Window::SetHasBackColor(bool v) {
  hasBackColor_ = v;
  ApplyBackground();
}

void Window::SetBackColor(const fw::Color& v) {
  backColor_ = v;
  ApplyBackground();
}

void Window::SetTitle(const std::string& v) {
  title_ = v;
  if (frame_) frame_->setWindowTitle(QString::fromStdString(v));
}

void Window::SetVisible(bool v) {
  visible_ = v;
  // Showing waits for the end of construction; a window never constructed shows on Show().
  if (!frame_ || constructing_) return;
  if (!v)
    frame_->hide();
  else if (constructed_)
    ShowPlatform();
}

void Window::SetFullScreen(bool v) {
  fullScreen_ = v;
  if (!frame_ || !frame_->isVisible()) return;
  if (v)
    frame_->showFullScreen();
  else
    frame_->showNormal();
}

void Window::SetMenuBarVisible(bool v) {
  menuBarVisible_ = v;
  if (!toolkitBar_) return;
  toolkitBar_->setVisible(v);
  ApplySize();
}

void Window::SetCloseButton(bool v) {
  closeButton_ = v;
  ApplyFlags();
}

void Window::SetResizeable(bool v) {
  resizeable_ = v;
  ApplySize();
}

void Window::SetMaximizeButton(bool v) {
  maximizeButton_ = v;
  ApplyFlags();
}

void Window::SetMinimizeButton(bool v) {
  minimizeButton_ = v;
  ApplyFlags();
}

std::int32_t Window::Left() const { return frame_ ? frame_->x() : left_; }
std::int32_t Window::Top() const { return frame_ ? frame_->y() : top_; }
void Window::SetLeft(std::int32_t v) { Move(v, Top()); }
void Window::SetTop(std::int32_t v) { Move(Left(), v); }

void Window::SetContentsChanged(bool v) {
  contentsChanged_ = v;
  if (frame_) frame_->setWindowModified(v);
}

void Window::SetMenuBar(const Ref<fw::MenuBar>& bar) {
  menuBar_ = bar;
  ApplyMenuBar();
}
}  // namespace fw
