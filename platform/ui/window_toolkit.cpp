#include "platform/ui/window.h"

#include <QApplication>
#include <QEventLoop>
#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "platform/files/picture.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/content_area.h"
#include "platform/ui/window_frame.h"

// The window's toolkit side: building the toolkit window, mirroring the properties onto it,
// painting, and the callbacks its widgets make.

namespace fw {

namespace {

// Keeps an object alive until control returns to the event loop, so a window closed from inside
// one of its own toolkit handlers outlives that handler.
class DeferredRelease : public QObject {
 public:
  explicit DeferredRelease(Ref<Object> object) : object_(std::move(object)) {}

 private:
  Ref<Object> object_;
};

void ReleaseAfterEvent(Ref<Object> object) {
  if (!QCoreApplication::instance()) return;  // nothing is dispatching; the Ref drops here
  (new DeferredRelease(std::move(object)))->deleteLater();
}

bool Contains(const std::vector<Ref<Object>>& items, const Object* object) {
  return std::any_of(items.begin(), items.end(), [&](const Ref<Object>& r) { return r.Get() == object; });
}

std::int32_t NonNegative(std::int32_t v) { return std::max<std::int32_t>(v, 0); }

}  // namespace

// ----- toolkit side -------------------------------------------------------------------------

QMainWindow* Window::PlatformWindow() {
  EnsurePlatformWindow();
  return frame_.data();
}

QWidget* Window::ContentArea() {
  EnsurePlatformWindow();
  return content_.data();
}

QMenuBar* Window::ToolkitMenuBar() const { return toolkitBar_.data(); }

void Window::EnsurePlatformWindow() {
  if (frame_) return;
  auto* frame = new detail::WindowFrame(this);
  auto* content = new detail::ContentArea(this);
  frame_ = frame;
  content_ = content;
  frame->setCentralWidget(content);
  frame->setWindowTitle(QString::fromStdString(title_));
  frame->setWindowModified(contentsChanged_);
  ApplyFlags();
  ApplyMenuBar();
  ApplyBackground();
  ApplySize();
  if (positioned_) frame->move(left_, top_);
}

void Window::ApplySize() {
  if (!frame_) return;
  content_->SetDesignSize(QSize(NonNegative(width_), NonNegative(height_)));
  QLayout* layout = frame_->layout();
  if (resizeable_) {
    content_->setMinimumSize(NonNegative(minWidth_), NonNegative(minHeight_));
    content_->setMaximumSize(std::min(NonNegative(maxWidth_), QWIDGETSIZE_MAX),
                             std::min(NonNegative(maxHeight_), QWIDGETSIZE_MAX));
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
  } else {
    // The toolkit then fixes the window at content plus menu bar: the user cannot resize it.
    content_->setFixedSize(NonNegative(width_), NonNegative(height_));
    layout->setSizeConstraint(QLayout::SetFixedSize);
  }
  layout->invalidate();
  layout->activate();
  if (resizeable_) frame_->resize(frame_->sizeHint());
}

void Window::ApplyFlags() {
  if (!frame_) return;
  // Frame kinds: 1 and 2 modal dialogs, 3 and 7 floating palettes, 4 and 5 plain boxes; the
  // others are ordinary document windows.
  Qt::WindowFlags flags = Qt::Window;
  if (frameKind_ == 1 || frameKind_ == 2) flags = Qt::Dialog;
  if (frameKind_ == 3 || frameKind_ == 7) flags = Qt::Tool;
  if (frameKind_ == 4 || frameKind_ == 5) {
    flags |= Qt::FramelessWindowHint;
  } else {
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeButton_) flags |= Qt::WindowCloseButtonHint;
    if (minimizeButton_) flags |= Qt::WindowMinimizeButtonHint;
    if (maximizeButton_) flags |= Qt::WindowMaximizeButtonHint;
  }
  if (frame_->windowFlags() == flags) return;
  const bool shown = frame_->isVisible();
  frame_->setWindowFlags(flags);  // hides the window
  if (shown) frame_->show();
}

void Window::ApplyBackground() {
  if (!content_) return;
  content_->setAutoFillBackground(hasBackColor_);
  if (!hasBackColor_) {
    content_->setPalette(QPalette());
    return;
  }
  QPalette palette = content_->palette();
  palette.setColor(QPalette::Window, QColor(backColor_.red, backColor_.green, backColor_.blue));
  content_->setPalette(palette);
}

void Window::ApplyMenuBar() {
  if (!frame_) return;
  QMenuBar* bar = menuBar_ ? menuBar_->BuildToolkitBar(frame_) : nullptr;
  frame_->setMenuBar(bar);  // the frame disposes of the bar it had
  toolkitBar_ = bar;
  if (bar) bar->setVisible(menuBarVisible_);
  ApplySize();
}

void Window::PlaceOnFirstShow() {
  if (shownOnce_) return;
  shownOnce_ = true;
  if (positioned_) return;
  // Placement 1 to 3 centre the window on its screen; 0 and the rest leave it to the toolkit.
  if (placement_ < 1 || placement_ > 3) return;
  if (QScreen* screen = frame_->screen()) {
    QRect area = screen->availableGeometry();
    frame_->move(area.center() - QPoint(frame_->width() / 2, frame_->height() / 2));
  }
}

void Window::ShowPlatform() {
  EnsurePlatformWindow();
  PlaceOnFirstShow();
  if (fullScreen_)
    frame_->showFullScreen();
  else if (frame_->isFullScreen())
    frame_->showNormal();
  else
    frame_->show();
}

bool Window::ContentResized(std::int32_t width, std::int32_t height) {
  const std::int32_t dx = width - width_, dy = height - height_;
  if (dx == 0 && dy == 0) return false;
  width_ = width;
  height_ = height;
  for (auto& [name, control] : controls_)
    if (auto* rc = dynamic_cast<RectControl*>(control.Get())) rc->Anchor(dx, dy);
  return true;
}

Value Window::ToolkitInvoke(std::string_view operation, std::vector<Value> arguments) {
  const int slot = Class().SlotOf(operation);
  if (slot < 0) return {};
  Ref<Window> keep(this);  // a handler may drop the last other reference
  Value result;
  RunHandler([&] { result = Invoke(*this, static_cast<std::size_t>(slot), arguments); });
  return result;
}

bool Window::ToolkitCloseRequested() {
  if (!Class().EventHandler("CancelClose")) return false;
  Ref<Window> keep(this);
  Value answer;
  RunHandler([&] { answer = RaiseEvent("CancelClose", {false}); });
  auto* cancel = std::get_if<bool>(&answer);
  return cancel && *cancel;
}

bool Window::QuitInsteadOfClosing() {
  // Closing the last window quits the application; the window stays until finalisation
  // releases it, so a handler still running finds its controls while it unwinds.
  if (!LoopRunning() || !Windows || Windows->items.size() != 1 ||
      Windows->items.front().Get() != this)
    return false;
  Quit();
  return true;
}

void Window::ToolkitClosed() {
  Ref<Window> keep(this);
  visible_ = false;
  const bool wasOpen = LeaveOpenLists();
  if (Class().EventHandler("Close")) RunHandler([&] { RaiseEvent("Close"); });
  // A closed window's timers and sockets stop with it, whoever still holds the window.
  while (!controls_.empty()) RemoveControl(controls_.back().second);
  if (wasOpen && Windows && Windows->items.empty()) Quit();
  ReleaseAfterEvent(std::move(keep));
}

void Window::ToolkitHidden() {
  if (modalLoop_) modalLoop_->quit();
}

void Window::RegisterOpen() {
  if (!Windows) Windows = MakeRef<ObjectList>();
  if (!_mImplicitWindowList) _mImplicitWindowList = MakeRef<ObjectMap>();
  Ref<Object> self(this);
  if (!Contains(Windows->items, this)) Windows->items.push_back(self);
  // The first window of a class stays its implicit instance.
  auto& implicit = _mImplicitWindowList->entries[Class().Name()];
  if (!implicit) implicit = self;
}

bool Window::LeaveOpenLists() {
  bool wasOpen = false;
  if (Windows) {
    auto& items = Windows->items;
    const auto before = items.size();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&](const Ref<Object>& r) { return r.Get() == this; }),
                items.end());
    wasOpen = items.size() != before;
  }
  if (_mImplicitWindowList) {
    auto& entries = _mImplicitWindowList->entries;
    for (auto it = entries.begin(); it != entries.end();)
      it = it->second.Get() == this ? entries.erase(it) : std::next(it);
  }
  return wasOpen;
}

// ----- painting ---------------------------------------------------------------------------

void Window::Refresh(bool eraseBackground) {
  if (!content_) return;
  content_->update();
  // The toolkit repaints whole widgets anyway; erasing also redraws every control.
  if (!eraseBackground) return;
  for (auto& [name, control] : controls_)
    if (auto* rc = dynamic_cast<RectControl*>(control.Get()); rc && rc->Widget())
      rc->Widget()->update();
}

void Window::RefreshRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                         bool eraseBackground) {
  if (!content_) return;
  const QRect area(x, y, NonNegative(w), NonNegative(h));
  content_->update(area);
  if (!eraseBackground) return;
  for (auto& [name, control] : controls_)
    if (auto* rc = dynamic_cast<RectControl*>(control.Get()); rc && rc->Widget() &&
                                                             rc->Widget()->geometry().intersects(area))
      rc->Widget()->update();
}

void Window::UpdateNow() {
  if (content_) content_->repaint();
}

void Window::DrawInto(const Ref<Graphics>& graphics, std::int32_t x, std::int32_t y) {
  Ref<Picture> target = graphics->Target();
  if (!target) throw NilObjectException("the graphics draw into no picture");
  EnsurePlatformWindow();
  QPainter painter(&target->Image());
  content_->render(&painter, QPoint(x, y));
}

}  // namespace fw
