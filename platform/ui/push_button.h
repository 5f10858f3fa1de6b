#pragma once

// A push button: a click, or Push, raises Action.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/rect_control.h"
#include "platform/ui/text_styled.h"

class QPushButton;
class QShortcut;

namespace fw {

class PushButton : public RectControl, public TextStyled {
  FW_CLASS_HANDLE()
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  bool Default() const { return default_; }
  void SetDefault(bool v);
  // Escape presses a Cancel button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v);
  // The framework's ButtonFrameStyle; this toolkit draws every style as a push button.
  std::int32_t ButtonStyle() const { return style_; }
  void SetButtonStyle(std::int32_t v) { style_ = v; }

  // Presses the button as a click would: raises Action.
  void Push();
  QPushButton* Button() const;

  std::vector<std::string> EventNames() const override { return {"Action"}; }

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void PushProperties() override;
  QWidget* StyledWidget() const override { return Widget(); }

 private:
  void ApplyCancel();
  std::string caption_;
  std::int32_t style_ = 0;
  bool default_ = false, cancel_ = false;
  QShortcut* escape_ = nullptr;  // a child of the button
};

}  // namespace fw
