#include "platform/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEnterEvent>
#include <QEventLoop>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "platform/controls.h"
#include "platform/menu.h"
#include "platform/picture.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace fw {

namespace detail {

// The top-level toolkit window. It reports closing, hiding, moves, activation and keys to its
// framework window, which it never owns: the framework window owns it.
class WindowFrame : public QMainWindow {
 public:
  explicit WindowFrame(Window* owner) : owner_(owner) {}
  void Orphan() { owner_ = nullptr; }

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (owner_ && (owner_->ToolkitCloseRequested() || owner_->QuitInsteadOfClosing())) {
      event->ignore();
      return;
    }
    event->accept();
    if (owner_) owner_->ToolkitClosed();
  }
  void hideEvent(QHideEvent* event) override {
    QMainWindow::hideEvent(event);
    if (owner_ && !event->spontaneous()) owner_->ToolkitHidden();
  }
  void moveEvent(QMoveEvent* event) override {
    QMainWindow::moveEvent(event);
    if (owner_ && isVisible()) owner_->ToolkitInvoke("_CallMoved");
  }
  void changeEvent(QEvent* event) override {
    QMainWindow::changeEvent(event);
    if (owner_ && event->type() == QEvent::ActivationChange)
      owner_->ToolkitInvoke(isActiveWindow() ? "_CallActivated" : "_CallDeactivated");
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (owner_ && !event->text().isEmpty()) {
      Value handled = owner_->ToolkitInvoke("_KeyDown", {event->text().toStdString()});
      if (auto* b = std::get_if<bool>(&handled); b && *b) return;
    }
    QMainWindow::keyPressEvent(event);
  }

 private:
  Window* owner_;
};

// The area below the menu bar; controls sit on it in the window's coordinates.
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
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    // Hidden resizes come from the toolkit settling its layout, not from the user.
    if (owner_ && isVisible() &&
        owner_->ContentResized(event->size().width(), event->size().height()))
      owner_->ToolkitInvoke("_CallResized");
  }
  void mousePressEvent(QMouseEvent* event) override {
    const QPoint p = event->position().toPoint();
    if (owner_) owner_->ToolkitInvoke("_CallMouseDown", {p.x(), p.y()});
    QWidget::mousePressEvent(event);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    const QPoint p = event->position().toPoint();
    if (owner_) owner_->ToolkitInvoke("_MouseMove", {p.x(), p.y()});
    QWidget::mouseMoveEvent(event);
  }
  void enterEvent(QEnterEvent* event) override {
    QWidget::enterEvent(event);
    if (owner_) owner_->ToolkitInvoke("_MouseEnter");
  }
  void leaveEvent(QEvent* event) override {
    QWidget::leaveEvent(event);
    if (owner_) owner_->ToolkitInvoke("_MouseExit");
  }
  void wheelEvent(QWheelEvent* event) override {
    const QPoint p = event->position().toPoint();
    const QPoint d = event->angleDelta() / 120;
    if (owner_) owner_->ToolkitInvoke("_MouseWheel", {p.x(), p.y(), d.x(), d.y()});
    QWidget::wheelEvent(event);
  }

 private:
  Window* owner_;
  QSize design_;
};

}  // namespace detail

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

Window& W(Object& self) { return dynamic_cast<Window&>(self); }

template <class F>
OperationImpl On(F body) {
  return [body](Object& self, std::span<const Value> args) -> Value { return body(W(self), args); };
}

// An internal callback: raises the window event of that name with the callback's arguments.
OperationImpl RaiseBody(std::string event, bool answersBoolean = false) {
  return [event, answersBoolean](Object& self, std::span<const Value> args) -> Value {
    Value result = W(self).RaiseEvent(event, std::vector<Value>(args.begin(), args.end()));
    if (answersBoolean && std::holds_alternative<std::monostate>(result)) return false;
    return result;
  };
}

bool Contains(const std::vector<Ref<Object>>& items, const Object* object) {
  return std::any_of(items.begin(), items.end(), [&](const Ref<Object>& r) { return r.Get() == object; });
}

std::int32_t NonNegative(std::int32_t v) { return std::max<std::int32_t>(v, 0); }

}  // namespace

Window::Window() : handle_(std::make_shared<WindowHandle>(WindowHandle{this})) {}

Window::~Window() {
  handle_->window = nullptr;
  controls_.clear();
  if (!frame_) return;
  frame_->Orphan();
  if (content_) content_->Orphan();
  frame_->hide();
  // The last reference may go from inside one of this window's own toolkit handlers.
  if (QCoreApplication::instance())
    frame_->deleteLater();
  else
    delete frame_.data();
}

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

// ----- events -------------------------------------------------------------------------------

Value Window::RaiseEvent(std::string_view event, std::vector<Value> arguments) {
  const Operation* handler = Class().EventHandler(event);
  if (!handler || !handler->body) return {};
  return handler->body(*this, arguments);
}

void Window::RunEntry(std::string_view event) { RaiseEvent(event); }

// ----- operations ---------------------------------------------------------------------------

void Window::Constructor() {
  if (constructing_ || constructed_)
    throw RuntimeException("window of class " + Class().Name() + " is constructed already");
  EnsurePlatformWindow();
  constructing_ = true;
  try {
    RunEntry("Layout");
    RunEntry("CreateControls");
    ApplyTabOrder();
    RunEntry("Open");
  } catch (...) {
    constructing_ = false;
    throw;
  }
  constructing_ = false;
  constructed_ = true;
  SetContentsChanged(false);
  RegisterOpen();
  if (visible_) ShowPlatform();
}

void Window::Show() {
  visible_ = true;
  EnsurePlatformWindow();
  if (!constructing_) ShowPlatform();
}

void Window::ShowWithin(const Ref<Window>& parent) {
  if (parent && parent.Get() != this) {
    EnsurePlatformWindow();
    QWidget* parentFrame = parent->PlatformWindow();
    frame_->winId();
    parentFrame->winId();
    frame_->windowHandle()->setTransientParent(parentFrame->windowHandle());
  }
  Show();
}

void Window::ShowModalWithin(const Ref<Window>& parent) {
  if (!parent) throw NilObjectException("a modal window needs a parent window to show within");
  EnsurePlatformWindow();
  ShowWithin(parent);
  ShowModal();
}

void Window::ShowModal() {
  EnsurePlatformWindow();
  Ref<Window> keep(this);
  // The toolkit only takes a new modality while the window is hidden.
  const Qt::WindowModality modality =
      frame_->windowHandle() && frame_->windowHandle()->transientParent() ? Qt::WindowModal
                                                                           : Qt::ApplicationModal;
  if (frame_->isVisible()) frame_->hide();
  frame_->setWindowModality(modality);
  QEventLoop loop;
  modalLoop_ = &loop;
  Show();
  if (frame_ && frame_->isVisible()) loop.exec(QEventLoop::DialogExec);
  modalLoop_ = nullptr;
  if (frame_) frame_->setWindowModality(Qt::NonModal);
}

void Window::Hide() {
  visible_ = false;
  if (frame_) frame_->hide();
}

void Window::Close() {
  if (frame_) {
    frame_->close();
    return;
  }
  ToolkitClosed();
}

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

Ref<Object> Window::Control(std::int32_t index) const {
  if (index < 0) throw OutOfBoundsException("window has no control " + std::to_string(index));
  return ControlAt(static_cast<std::size_t>(index));
}

Ref<Object> Window::ControlAt(std::size_t index) const {
  if (index >= controls_.size())
    throw OutOfBoundsException("window has " + std::to_string(controls_.size()) +
                               " controls, none at " + std::to_string(index));
  return controls_[index].second;
}

Ref<Object> Window::FindControl(std::string_view name) const {
  for (const auto& [n, control] : controls_)
    if (TextEquals(n, name)) return control;
  return nullptr;
}

void Window::SetFocus() {
  EnsurePlatformWindow();
  frame_->raise();
  frame_->activateWindow();
}

void Window::DrawInto(const Ref<Graphics>& graphics, std::int32_t x, std::int32_t y) {
  Ref<Picture> target = graphics->Target();
  if (!target) throw NilObjectException("the graphics draw into no picture");
  EnsurePlatformWindow();
  QPainter painter(&target->Image());
  content_->render(&painter, QPoint(x, y));
}

void Window::AddControl(const std::string& name, const Ref<Object>& control) {
  if (!control) throw NilObjectException("an absent control cannot be added as " + name);
  auto it = std::find_if(controls_.begin(), controls_.end(),
                         [&](const auto& entry) { return entry.second == control; });
  if (it != controls_.end())
    it->first = name;
  else
    controls_.emplace_back(name, control);
  if (auto* rc = dynamic_cast<RectControl*>(control.Get())) {
    rc->SetName(name);
    if (rc->OwnerWindow() != this) rc->AttachTo(*this);
  }
  // Non-visual controls learn their window through their own class table.
  if (control->Class().Answers("_PaneChild")) Call(*control, "_SetWindow", Ref<Window>(this));
}

void Window::RemoveControl(const Ref<Object>& control) {
  if (!control) throw NilObjectException("an absent control cannot be removed");
  Ref<Object> keep = control;
  std::erase_if(controls_, [&](const auto& entry) { return entry.second == control; });
  if (auto* rc = dynamic_cast<RectControl*>(control.Get()); rc && rc->Widget())
    rc->Widget()->hide();
}

Ref<Object> Window::New(const std::string& className) {
  const ClassRecord* record = FindClass(className);
  if (!record) {
    // The framework's own controls can be asked for by name before anything used them.
    RegisterStandardControls();
    record = FindClass(className);
  }
  if (!record) throw NilObjectException("there is no class named " + className);
  Ref<Object> object = RuntimeNewObject(*record);
  if (auto* rc = dynamic_cast<RectControl*>(object.Get())) rc->AttachTo(*this);
  return object;
}

void Window::Move(std::int32_t left, std::int32_t top) {
  positioned_ = true;
  left_ = left;
  top_ = top;
  if (frame_) frame_->move(left, top);
}

void Window::Maximize() {
  EnsurePlatformWindow();
  visible_ = true;
  frame_->showMaximized();
}

void Window::Minimize() {
  EnsurePlatformWindow();
  visible_ = true;
  frame_->showMinimized();
}

void Window::Restore() {
  EnsurePlatformWindow();
  visible_ = true;
  frame_->showNormal();
}

Ref<Window> Window::TrueWindow() { return Ref<Window>(this); }

void Window::FocusNext() { FocusStep(true); }
void Window::FocusPrevious() { FocusStep(false); }

void Window::FocusStep(bool forward) {
  if (!frame_) return;
  QWidget* start = frame_->focusWidget() ? frame_->focusWidget() : content_.data();
  QWidget* w = start;
  // The focus chain is a ring; one lap is enough.
  for (int steps = 0; w && steps < 100000; ++steps) {
    w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    if (!w || w == start) return;
    if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && frame_->isAncestorOf(w) &&
        w->isVisibleTo(frame_)) {
      w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return;
    }
  }
}

void Window::ApplyTabOrder() {
  std::vector<RectControl*> order;
  for (auto& [name, control] : controls_)
    if (auto* rc = dynamic_cast<RectControl*>(control.Get());
        rc && rc->Widget() && rc->TabIndex() >= 0)
      order.push_back(rc);
  std::stable_sort(order.begin(), order.end(), [](const RectControl* a, const RectControl* b) {
    return a->TabIndex() < b->TabIndex();
  });
  for (std::size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order[i - 1]->Widget(), order[i]->Widget());
}

// ----- properties ---------------------------------------------------------------------------

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

// ----- class record -------------------------------------------------------------------------

namespace {

ClassBuilder& AddWindowOperations(ClassBuilder& b) {
  const std::string n = "Window.";
  return b
      .Add("Show", {}, "", Method<&Window::Show>())
      .Add("ShowWithin", {"Window"}, "", Method<&Window::ShowWithin>())
      .Add("ShowModalWithin", {"Window"}, "", Method<&Window::ShowModalWithin>())
      .Add("Hide", {}, "", Method<&Window::Hide>())
      .Add("Close", {}, "", Method<&Window::Close>())
      .Add("Refresh", {"Boolean"}, "", Method<&Window::Refresh>())
      .Add("RefreshRect", {"Int32", "Int32", "Int32", "Int32", "Boolean"}, "",
           Method<&Window::RefreshRect>())
      .Add("ShowModal", {}, "", Method<&Window::ShowModal>())
      .Add("NewDragItem", {"Int32", "Int32", "Int32", "Int32"}, "DragItem",
           Unsupported(n + "NewDragItem"))
      .Add("AcceptTextDrop", {}, "", Unsupported(n + "AcceptTextDrop"))
      .Add("AcceptPictureDrop", {}, "", Unsupported(n + "AcceptPictureDrop"))
      .Add("AcceptFileDrop", {"String"}, "", Unsupported(n + "AcceptFileDrop"))
      .Add("AcceptMacDataDrop", {"String"}, "", Unsupported(n + "AcceptMacDataDrop"))
      .Add("AcceptRawDataDrop", {"String"}, "", Unsupported(n + "AcceptRawDataDrop"))
      .Add("Control", {"Int32"}, "RectControl", Method<&Window::Control>())
      .Add("SetFocus", {}, "", Method<&Window::SetFocus>())
      .Add("DrawInto", {"Graphics", "Int32", "Int32"}, "", Method<&Window::DrawInto>())
      .Add("_DrawBackground", {"Graphics"}, "", Unsupported(n + "_DrawBackground"))
      .Add("UpdateNow", {}, "", Method<&Window::UpdateNow>())
      .Add("_AddControl", {"String", "Object"}, "", Method<&Window::AddControl>())
      .Add("_AddMenuHandler", {"String", "Delegate"}, "", Unsupported(n + "_AddMenuHandler"))
      .Add("Window", {}, "", Unsupported(n + "Window"))
      .Add("Operator_Convert", {}, "Object", Unsupported(n + "Operator_Convert"))
      .Add("__New", {"String"}, "Object", Method<&Window::New>())
      .Add("_Move", {"Int32", "Int32"}, "", Method<&Window::Move>())
      .Add("Maximize", {}, "", Method<&Window::Maximize>())
      .Add("Minimize", {}, "", Method<&Window::Minimize>())
      .Add("Restore", {}, "", Method<&Window::Restore>())
      .Add("_Update", {}, "", Unsupported(n + "_Update"))
      .Add("_CallMoved", {}, "", RaiseBody("Moved"))
      .Add("_EnableMenuItems", {}, "", RaiseBody("EnableMenuItems"))
      .Add("_CallActivated", {}, "", RaiseBody("Activate"))
      .Add("_CallDeactivated", {}, "", RaiseBody("Deactivate"))
      .Add("_HandleMenuCommand", {"String"}, "Boolean", Unsupported(n + "_HandleMenuCommand"))
      .Add("_UnifiedClose", {}, "", Method<&Window::Close>())
      .Add("_CallMouseDown", {"Int32", "Int32"}, "Boolean", RaiseBody("MouseDown", true))
      .Add("_CallResized", {}, "", RaiseBody("Resized"))
      .Add("_CallResizing", {}, "", RaiseBody("Resizing"))
      .Add("_RemoveControl", {"Object"}, "", Method<&Window::RemoveControl>())
      .Add("_MouseEnter", {}, "", RaiseBody("MouseEnter"))
      .Add("_MouseExit", {}, "", RaiseBody("MouseExit"))
      .Add("_MouseMove", {"Int32", "Int32"}, "", RaiseBody("MouseMove"))
      .Add("_Paint", {"Graphics"}, "", RaiseBody("Paint"))
      .Add("_MouseWheel", {"Int32", "Int32", "Int32", "Int32"}, "Boolean",
           RaiseBody("MouseWheel", true))
      .Add("_KeyDown", {"String"}, "Boolean", RaiseBody("KeyDown", true))
      .Add("__DependencyList", {}, "", Unsupported(n + "__DependencyList"))
      .Add("Constructor", {}, "", Method<&Window::Constructor>())
      .Add("TrueWindow", {}, "Window", Method<&Window::TrueWindow>())
      .Add("FocusNext", {}, "", Method<&Window::FocusNext>())
      .Add("FocusPrevious", {}, "", Method<&Window::FocusPrevious>());
}

ClassBuilder& AddWindowProperties(ClassBuilder& b) {
  using P = PropertyType;
  return b
      .Property(DeclareProperty<&Window::Placement, &Window::SetPlacement>("Placement", P::Int32))
      .Property(DeclareProperty<&Window::Width, &Window::SetWidth>("Width", P::Int32))
      .Property(DeclareProperty<&Window::Height, &Window::SetHeight>("Height", P::Int32))
      .Property(DeclareProperty<&Window::MinWidth, &Window::SetMinWidth>("MinWidth", P::Int32))
      .Property(DeclareProperty<&Window::MinHeight, &Window::SetMinHeight>("MinHeight", P::Int32))
      .Property(DeclareProperty<&Window::MaxWidth, &Window::SetMaxWidth>("MaxWidth", P::Int32))
      .Property(DeclareProperty<&Window::MaxHeight, &Window::SetMaxHeight>("MaxHeight", P::Int32))
      .Property(DeclareProperty<&Window::Frame, &Window::SetFrame>("Frame", P::Int32))
      .Property(DeclareProperty<&Window::Composite, &Window::SetComposite>("Composite", P::Boolean))
      .Property(DeclareProperty<&Window::HasBackColor, &Window::SetHasBackColor>("HasBackColor",
                                                                                 P::Boolean))
      .Property(DeclareProperty<&Window::BackColor, &Window::SetBackColor>("BackColor", P::Color))
      .Property(DeclareProperty<&Window::Title, &Window::SetTitle>("Title", P::String))
      .Property(DeclareProperty<&Window::Visible, &Window::SetVisible>("Visible", P::Boolean))
      .Property(DeclareProperty<&Window::FullScreen, &Window::SetFullScreen>("FullScreen",
                                                                             P::Boolean))
      .Property(DeclareProperty<&Window::MenuBarVisible, &Window::SetMenuBarVisible>(
          "MenuBarVisible", P::Boolean))
      .Property(DeclareProperty<&Window::CloseButton, &Window::SetCloseButton>("CloseButton",
                                                                               P::Boolean))
      .Property(DeclareProperty<&Window::Resizeable, &Window::SetResizeable>("Resizeable",
                                                                             P::Boolean))
      .Property(DeclareProperty<&Window::LiveResize, &Window::SetLiveResize>("LiveResize",
                                                                             P::Boolean))
      .Property(DeclareProperty<&Window::MaximizeButton, &Window::SetMaximizeButton>(
          "MaximizeButton", P::Boolean))
      .Property(DeclareProperty<&Window::MinimizeButton, &Window::SetMinimizeButton>(
          "MinimizeButton", P::Boolean))
      .Property(DeclareProperty<&Window::MacProcId, &Window::SetMacProcId>("MacProcId", P::Int32))
      .Property(DeclareProperty<&Window::Left, &Window::SetLeft>("Left", P::Int32))
      .Property(DeclareProperty<&Window::Top, &Window::SetTop>("Top", P::Int32))
      .Property(DeclareProperty<&Window::ContentsChanged, &Window::SetContentsChanged>(
          "ContentsChanged", P::Boolean))
      .Property(DeclareProperty<&Window::MenuBar, &Window::SetMenuBar>("MenuBar", P::Object,
                                                                       "MenuBar"));
}

}  // namespace

const ClassRecord& Window::ClassHandle() {
  if (auto* c = FindClass("Window")) return *c;
  ClassBuilder b("Window", nullptr);
  b.Scope("Public").Allocator([] { return new Window; });
  AddWindowOperations(b);
  AddWindowProperties(b);
  return b.Register();
}

}  // namespace fw
