#include "platform/ui/window.h"

#include <QApplication>
#include <QEventLoop>
#include <QWindow>
#include <algorithm>

#include "platform/runtime/runtime.h"
#include "platform/text/text.h"
#include "platform/ui/content_area.h"
#include "platform/ui/controls.h"
#include "platform/ui/window_frame.h"

namespace fw {

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
  // Nothing new is shown once the application is quitting.
  if (QuitRequested()) return;
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

}  // namespace fw
