#include "platform/ui/rect_control.h"

#include <QCoreApplication>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "platform/files/picture.h"
#include "platform/ui/window.h"

namespace fw {

RectControl::~RectControl() { ReleaseWidget(); }

void RectControl::ReleaseWidget() {
  for (auto& connection : connections_) QObject::disconnect(connection);
  connections_.clear();
  if (!widget_) return;
  QWidget* widget = widget_.data();
  widget_ = nullptr;
  widget->hide();
  // The last reference may go from inside the widget's own signal (a button's click).
  if (QCoreApplication::instance())
    widget->deleteLater();
  else
    delete widget;
}

void RectControl::AttachTo(Window& window) {
  window_ = window.Handle();
  if (!widget_) return;
  widget_->setParent(window.ContentArea());
  ApplyGeometry();
  ApplyVisibility();
}

void RectControl::Constructor() {
  if (widget_) return;
  Window* window = OwnerWindow();
  widget_ = CreateWidget(window ? window->ContentArea() : nullptr);
  PushCommon();
  PushProperties();
}

void RectControl::PushCommon() {
  widget_->setObjectName(QString::fromStdString(name_));
  widget_->setEnabled(enabled_);
  widget_->setToolTip(QString::fromStdString(helpTag_));
  widget_->setAttribute(Qt::WA_MacShowFocusRect, useFocusRing_);
  ApplyFocusPolicy();
  ApplyGeometry();
  ApplyVisibility();
}

void RectControl::ApplyGeometry() {
  if (!widget_) return;
  widget_->setGeometry(left_, top_, std::max(width_, 0), std::max(height_, 0));
}

void RectControl::ApplyVisibility() {
  if (!widget_) return;
  // A control never shows as a window of its own.
  if (widget_->parentWidget())
    widget_->setVisible(visible_);
  else
    widget_->hide();
}

int RectControl::BaseFocusPolicy() const { return Qt::StrongFocus; }

void RectControl::ApplyFocusPolicy() {
  if (!widget_) return;
  Qt::FocusPolicy policy = static_cast<Qt::FocusPolicy>(BaseFocusPolicy());
  if (!tabStop_ && (policy & Qt::TabFocus))
    policy = (policy & Qt::ClickFocus) ? Qt::ClickFocus : Qt::NoFocus;
  widget_->setFocusPolicy(policy);
}

Ref<Object> RectControl::EventTarget() { return Ref<Object>(OwnerWindow()); }

void RectControl::SetName(const std::string& v) {
  name_ = v;
  if (widget_) widget_->setObjectName(QString::fromStdString(v));
}

void RectControl::SetLeft(std::int32_t v) {
  left_ = v;
  ApplyGeometry();
}
void RectControl::SetTop(std::int32_t v) {
  top_ = v;
  ApplyGeometry();
}
void RectControl::SetWidth(std::int32_t v) {
  width_ = v;
  ApplyGeometry();
}
void RectControl::SetHeight(std::int32_t v) {
  height_ = v;
  ApplyGeometry();
}

void RectControl::SetTabStop(bool v) {
  tabStop_ = v;
  ApplyFocusPolicy();
}

void RectControl::SetEnabled(bool v) {
  enabled_ = v;
  if (widget_) widget_->setEnabled(v);
}

void RectControl::SetVisible(bool v) {
  visible_ = v;
  ApplyVisibility();
}

void RectControl::SetHelpTag(const std::string& v) {
  helpTag_ = v;
  if (widget_) widget_->setToolTip(QString::fromStdString(v));
}

void RectControl::SetUseFocusRing(bool v) {
  useFocusRing_ = v;
  if (widget_) widget_->setAttribute(Qt::WA_MacShowFocusRect, v);
}

void RectControl::Anchor(std::int32_t dx, std::int32_t dy) {
  // The arithmetic size is kept even when it falls below zero, so growing back restores it.
  if (lockLeft_ && lockRight_)
    width_ += dx;
  else if (lockRight_)
    left_ += dx;
  if (lockTop_ && lockBottom_)
    height_ += dy;
  else if (lockBottom_)
    top_ += dy;
  ApplyGeometry();
}

void RectControl::Invalidate(bool) {
  if (widget_) widget_->update();
}

void RectControl::Refresh(bool) {
  if (widget_) widget_->repaint();
}

void RectControl::RefreshRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                              bool) {
  if (widget_) widget_->update(QRect(x, y, std::max(w, 0), std::max(h, 0)));
}

void RectControl::SetFocus() {
  if (widget_) widget_->setFocus(Qt::OtherFocusReason);
}

void RectControl::Close() {
  Ref<RectControl> keep(this);  // the window may hold the last other reference
  if (Window* window = OwnerWindow()) window->RemoveControl(Ref<Object>(this));
  if (widget_) widget_->hide();
}

void RectControl::DrawInto(const Ref<Graphics>& graphics, std::int32_t x, std::int32_t y) {
  Ref<Picture> target = graphics->Target();
  if (!target) throw NilObjectException("the graphics draw into no picture");
  if (!widget_) throw NilObjectException("control " + name_ + " has not been constructed");
  QPainter painter(&target->Image());
  widget_->render(&painter, QPoint(x, y));
}

Ref<Window> RectControl::TrueWindow() const { return Ref<Window>(OwnerWindow()); }

const ClassRecord& RectControl::ClassHandle() {
  if (auto* c = FindClass("RectControl")) return *c;
  using R = RectControl;
  // No allocator: only the concrete controls can be made.
  return ClassBuilder("RectControl", nullptr)
      .Scope("Public")
      .Add("Invalidate", {"Boolean"}, "", Method<&R::Invalidate>())
      .Add("Refresh", {"Boolean"}, "", Method<&R::Refresh>())
      .Add("RefreshRect", {"Int32", "Int32", "Int32", "Int32", "Boolean"}, "",
           Method<&R::RefreshRect>())
      .Add("SetFocus", {}, "", Method<&R::SetFocus>())
      .Add("Close", {}, "", Method<&R::Close>())
      .Add("DrawInto", {"Graphics", "Int32", "Int32"}, "", Method<&R::DrawInto>())
      .Add("TrueWindow", {}, "Window", Method<&R::TrueWindow>())
      .Add("Constructor", {}, "", Method<&R::Constructor>())
      .Property(DeclareProperty<&R::Name, &R::SetName>("Name"))
      .Property(DeclareProperty<&R::Index, &R::SetIndex>("Index"))
      .Property(DeclareProperty<&R::Left, &R::SetLeft>("Left"))
      .Property(DeclareProperty<&R::Top, &R::SetTop>("Top"))
      .Property(DeclareProperty<&R::Width, &R::SetWidth>("Width"))
      .Property(DeclareProperty<&R::Height, &R::SetHeight>("Height"))
      .Property(DeclareProperty<&R::LockLeft, &R::SetLockLeft>("LockLeft"))
      .Property(DeclareProperty<&R::LockTop, &R::SetLockTop>("LockTop"))
      .Property(DeclareProperty<&R::LockRight, &R::SetLockRight>("LockRight"))
      .Property(DeclareProperty<&R::LockBottom, &R::SetLockBottom>("LockBottom"))
      .Property(DeclareProperty<&R::TabPanelIndex, &R::SetTabPanelIndex>("TabPanelIndex"))
      .Property(DeclareProperty<&R::TabIndex, &R::SetTabIndex>("TabIndex"))
      .Property(DeclareProperty<&R::TabStop, &R::SetTabStop>("TabStop"))
      .Property(DeclareProperty<&R::Enabled, &R::SetEnabled>("Enabled"))
      .Property(DeclareProperty<&R::Visible, &R::SetVisible>("Visible"))
      .Property(DeclareProperty<&R::HelpTag, &R::SetHelpTag>("HelpTag"))
      .Property(DeclareProperty<&R::AutoDeactivate, &R::SetAutoDeactivate>("AutoDeactivate"))
      .Property(DeclareProperty<&R::InitialParent, &R::SetInitialParent>("InitialParent"))
      .Property(DeclareProperty<&R::UseFocusRing, &R::SetUseFocusRing>("UseFocusRing"))
      .Register();
}

}  // namespace fw
