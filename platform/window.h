#pragma once

// The framework window: a toolkit main window with a menu bar above a content area on which the
// controls sit in the window's coordinates. The window holds its controls in registration order
// and finds them by name; its class table carries the framework window's fifty operations.

#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes.h"
#include "platform/menu.h"
#include "platform/object.h"
#include "platform/rect_control.h"
#include "platform/value.h"

class QEventLoop;
class QMainWindow;
class QMenuBar;
class QWidget;

namespace fw {

class Graphics;

namespace detail {
class WindowFrame;
class ContentArea;
}  // namespace detail

class Window : public Object {
  FW_CLASS_HANDLE()
  // Slots the program calls through the class table.
  static constexpr std::size_t kRefreshSlot = 5, kAddControlSlot = 19, kNewSlot = 23,
                               kConstructorSlot = 46;
  static constexpr std::size_t kOperationCount = 50;

  Window();
  ~Window() override;

  // Class-table operations with a direct meaning here.
  void Show();
  void ShowWithin(const Ref<Window>& parent);
  void ShowModalWithin(const Ref<Window>& parent);
  void Hide();
  void Close();
  void Refresh(bool eraseBackground);
  void RefreshRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                   bool eraseBackground);
  // Shows the window and returns once it is closed or hidden.
  void ShowModal();
  // The registered control at that 0-based position; OutOfBoundsException outside.
  Ref<Object> Control(std::int32_t index) const;
  void SetFocus();
  void DrawInto(const Ref<Graphics>& graphics, std::int32_t x, std::int32_t y);
  void UpdateNow();
  void AddControl(const std::string& name, const Ref<Object>& control);
  Ref<Object> New(const std::string& className);
  void Move(std::int32_t left, std::int32_t top);
  void Maximize();
  void Minimize();
  void Restore();
  void RemoveControl(const Ref<Object>& control);
  // Builds the toolkit window, runs the Layout, CreateControls and Open entries of the class's
  // event table, registers the window as open, and shows it if Visible.
  void Constructor();
  Ref<Window> TrueWindow();
  void FocusNext();
  void FocusPrevious();

  // Control registry. FindControl matches names without regard to letter case; absent when no
  // control has that name.
  Ref<Object> FindControl(std::string_view name) const;
  template <class T>
  Ref<T> ControlAs(std::string_view name) const {
    return Cast<T>(FindControl(name));
  }
  std::size_t ControlCount() const { return controls_.size(); }
  Ref<Object> ControlAt(std::size_t index) const;
  // Chains the controls' focus order by TabIndex (ties keep registration order).
  void ApplyTabOrder();

  // Properties. Width and Height are those of the content area below the menu bar.
  std::int32_t Placement() const { return placement_; }
  void SetPlacement(std::int32_t v) { placement_ = v; }
  std::int32_t Width() const { return width_; }
  void SetWidth(std::int32_t v);
  std::int32_t Height() const { return height_; }
  void SetHeight(std::int32_t v);
  std::int32_t MinWidth() const { return minWidth_; }
  void SetMinWidth(std::int32_t v);
  std::int32_t MinHeight() const { return minHeight_; }
  void SetMinHeight(std::int32_t v);
  std::int32_t MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(std::int32_t v);
  std::int32_t MaxHeight() const { return maxHeight_; }
  void SetMaxHeight(std::int32_t v);
  std::int32_t Frame() const { return frameKind_; }
  void SetFrame(std::int32_t v);
  bool Composite() const { return composite_; }
  void SetComposite(bool v) { composite_ = v; }
  bool HasBackColor() const { return hasBackColor_; }
  void SetHasBackColor(bool v);
  fw::Color BackColor() const { return backColor_; }
  void SetBackColor(const fw::Color& v);
  std::string Title() const { return title_; }
  void SetTitle(const std::string& v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool FullScreen() const { return fullScreen_; }
  void SetFullScreen(bool v);
  bool MenuBarVisible() const { return menuBarVisible_; }
  void SetMenuBarVisible(bool v);
  bool CloseButton() const { return closeButton_; }
  void SetCloseButton(bool v);
  bool Resizeable() const { return resizeable_; }
  void SetResizeable(bool v);
  bool LiveResize() const { return liveResize_; }
  void SetLiveResize(bool v) { liveResize_ = v; }
  bool MaximizeButton() const { return maximizeButton_; }
  void SetMaximizeButton(bool v);
  bool MinimizeButton() const { return minimizeButton_; }
  void SetMinimizeButton(bool v);
  std::int32_t MacProcId() const { return macProcId_; }
  void SetMacProcId(std::int32_t v) { macProcId_ = v; }
  std::int32_t Left() const;
  void SetLeft(std::int32_t v);
  std::int32_t Top() const;
  void SetTop(std::int32_t v);
  bool ContentsChanged() const { return contentsChanged_; }
  void SetContentsChanged(bool v);
  Ref<fw::MenuBar> MenuBar() const { return menuBar_; }
  void SetMenuBar(const Ref<fw::MenuBar>& bar);

  // Runs the class's event-table entry for the event on this window and returns its result;
  // nothing runs (and the result is empty) when the class has no entry. Exceptions propagate.
  Value RaiseEvent(std::string_view event, std::vector<Value> arguments = {});

  // The toolkit side, built on first need.
  QMainWindow* PlatformWindow();
  QWidget* ContentArea();
  QMenuBar* ToolkitMenuBar() const;
  const std::shared_ptr<WindowHandle>& Handle() const { return handle_; }

 private:
  friend class detail::WindowFrame;
  friend class detail::ContentArea;

  void EnsurePlatformWindow();
  void ApplySize();
  void ApplyFlags();
  void ApplyBackground();
  void ApplyMenuBar();
  void ShowPlatform();
  void PlaceOnFirstShow();
  void RegisterOpen();
  bool LeaveOpenLists();
  void RunEntry(std::string_view event);
  // Follows a new content size: the locked controls move or stretch by the difference.
  bool ContentResized(std::int32_t width, std::int32_t height);
  void FocusStep(bool forward);

  // Toolkit callbacks; each runs from inside a toolkit event handler.
  bool ToolkitCloseRequested();
  bool QuitInsteadOfClosing();
  void ToolkitClosed();
  void ToolkitHidden();
  // Calls the class-table operation of that name as an event handler (see RunHandler).
  Value ToolkitInvoke(std::string_view operation, std::vector<Value> arguments = {});

  std::shared_ptr<WindowHandle> handle_;
  QPointer<detail::WindowFrame> frame_;
  QPointer<detail::ContentArea> content_;
  QPointer<QMenuBar> toolkitBar_;
  QEventLoop* modalLoop_ = nullptr;
  std::vector<std::pair<std::string, Ref<Object>>> controls_;
  Ref<fw::MenuBar> menuBar_;
  std::string title_;
  std::int32_t placement_ = 0, width_ = 300, height_ = 300, minWidth_ = 64, minHeight_ = 64;
  std::int32_t maxWidth_ = 32000, maxHeight_ = 32000, frameKind_ = 0, macProcId_ = 0;
  std::int32_t left_ = 0, top_ = 0;
  bool positioned_ = false;
  fw::Color backColor_{255, 255, 255};
  bool composite_ = false, hasBackColor_ = false, visible_ = true, fullScreen_ = false;
  bool menuBarVisible_ = true, closeButton_ = true, resizeable_ = true, liveResize_ = true;
  bool maximizeButton_ = true, minimizeButton_ = true, contentsChanged_ = false;
  bool constructing_ = false, constructed_ = false, shownOnce_ = false;
};

// A control's link back to its window. It counts no reference: the window holds its controls,
// and a counted link back would keep alive a window that nothing else holds (one whose control
// creation failed, for one). Reads as none once the window is gone.
class WindowLink {
 public:
  WindowLink() = default;
  WindowLink(const Ref<Window>& window) : handle_(window ? window->Handle() : nullptr) {}
  operator Ref<Window>() const { return Ref<Window>(handle_ ? handle_->window : nullptr); }
  void Reset() noexcept { handle_.reset(); }

 private:
  std::shared_ptr<WindowHandle> handle_;
};

}  // namespace fw
