#pragma once

// The base of every visible control: a rectangle on a window's content area. The control keeps
// each property itself, so a property set before the widget exists (or read after it is gone)
// still reads back, and pushes it to the toolkit widget whenever there is one.

#include <QMetaObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/object/classes.h"
#include "platform/object/delegate.h"
#include "platform/object/object.h"

#include <QWidget>

namespace fw {

class Graphics;
class Window;

// Controls only look at their window through this handle, which the window clears when it
// dies: a control can outlive the window it was made for without dangling.
struct WindowHandle {
  Window* window = nullptr;
};

class RectControl : public Object, public EventSource {
  FW_CLASS_HANDLE()
  RectControl() = default;
  ~RectControl() override;

  std::string Name() const { return name_; }
  void SetName(const std::string& v);
  std::int32_t Index() const { return index_; }
  void SetIndex(std::int32_t v) { index_ = v; }
  std::int32_t Left() const { return left_; }
  void SetLeft(std::int32_t v);
  std::int32_t Top() const { return top_; }
  void SetTop(std::int32_t v);
  std::int32_t Width() const { return width_; }
  void SetWidth(std::int32_t v);
  std::int32_t Height() const { return height_; }
  void SetHeight(std::int32_t v);
  bool LockLeft() const { return lockLeft_; }
  void SetLockLeft(bool v) { lockLeft_ = v; }
  bool LockTop() const { return lockTop_; }
  void SetLockTop(bool v) { lockTop_ = v; }
  bool LockRight() const { return lockRight_; }
  void SetLockRight(bool v) { lockRight_ = v; }
  bool LockBottom() const { return lockBottom_; }
  void SetLockBottom(bool v) { lockBottom_ = v; }
  std::int32_t TabPanelIndex() const { return tabPanelIndex_; }
  void SetTabPanelIndex(std::int32_t v) { tabPanelIndex_ = v; }
  // -1 until set: the control takes no part in the window's tab order.
  std::int32_t TabIndex() const { return tabIndex_; }
  void SetTabIndex(std::int32_t v) { tabIndex_ = v; }
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  std::string HelpTag() const { return helpTag_; }
  void SetHelpTag(const std::string& v);
  bool AutoDeactivate() const { return autoDeactivate_; }
  void SetAutoDeactivate(bool v) { autoDeactivate_ = v; }
  std::string InitialParent() const { return initialParent_; }
  void SetInitialParent(const std::string& v) { initialParent_ = v; }
  bool UseFocusRing() const { return useFocusRing_; }
  void SetUseFocusRing(bool v);

  // The window the control belongs to, or none.
  Window* OwnerWindow() const { return window_ ? window_->window : nullptr; }
  // Ties the control to a window; an existing widget moves onto that window's content area.
  void AttachTo(Window& window);

  // The no-argument constructor: creates the widget on the window the control was made for
  // (a parentless hidden widget when there is none). A second call does nothing.
  void Constructor();
  QWidget* Widget() const { return widget_.data(); }

  // Invalidate repaints when the toolkit next gets to it, Refresh at once.
  void Invalidate(bool eraseBackground);
  void Refresh(bool eraseBackground);
  void RefreshRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                   bool eraseBackground);
  void SetFocus();
  // Removes the control from its window and hides it.
  void Close();
  void DrawInto(const Ref<Graphics>& graphics, std::int32_t x, std::int32_t y);
  Ref<Window> TrueWindow() const;

  // Follows a change of the window's content size by (dx, dy) as the lock flags say.
  void Anchor(std::int32_t dx, std::int32_t dy);

  std::vector<std::string> EventNames() const override { return {}; }

 protected:
  // Makes the toolkit widget; the subclass pushes its own properties in PushProperties.
  virtual QWidget* CreateWidget(QWidget* parent) = 0;
  virtual void PushProperties() {}
  // The focus policy of the widget when it is a tab stop.
  virtual int BaseFocusPolicy() const;
  void ApplyFocusPolicy();
  // Keeps a connection of the widget to this control, cut when the control goes.
  void Track(QMetaObject::Connection connection) { connections_.push_back(connection); }
  Ref<Object> EventTarget() override;

 private:
  void PushCommon();
  void ApplyGeometry();
  void ApplyVisibility();
  void ReleaseWidget();

  std::shared_ptr<WindowHandle> window_;
  QPointer<QWidget> widget_;
  std::vector<QMetaObject::Connection> connections_;
  std::string name_, helpTag_, initialParent_;
  std::int32_t index_ = 0, left_ = 0, top_ = 0, width_ = 100, height_ = 20;
  std::int32_t tabPanelIndex_ = 0, tabIndex_ = -1;
  bool lockLeft_ = false, lockTop_ = false, lockRight_ = false, lockBottom_ = false;
  bool tabStop_ = true, enabled_ = true, visible_ = true, autoDeactivate_ = true;
  bool useFocusRing_ = true;
};

}  // namespace fw
