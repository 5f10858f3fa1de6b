#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/object/value.h"
#include "platform/ui/rect_control.h"
#include "platform/ui/text_styled.h"

class QLineEdit;

namespace fw {

// A single-line edit field.
class EditField : public RectControl, public TextStyled {
  FW_CLASS_HANDLE()
  std::string Text() const;
  void SetText(const std::string& v);
  bool Border() const { return border_; }
  void SetBorder(bool v);
  // Only False: the field is single-line (True raises UnsupportedOperationException).
  bool Multiline() const { return false; }
  void SetMultiline(bool v);
  // Scroll bars and styled text belong to multi-line fields; a single-line field keeps them.
  bool ScrollbarHorizontal() const { return scrollH_; }
  void SetScrollbarHorizontal(bool v) { scrollH_ = v; }
  bool ScrollbarVertical() const { return scrollV_; }
  void SetScrollbarVertical(bool v) { scrollV_ = v; }
  bool Styled() const { return styled_; }
  void SetStyled(bool v) { styled_ = v; }
  bool Password() const { return password_; }
  void SetPassword(bool v);
  fw::Color TextColor() const { return textColor_; }
  void SetTextColor(const fw::Color& v);
  fw::Color BackColor() const { return backColor_; }
  void SetBackColor(const fw::Color& v);
  // The display format of numbers; the field shows its text as typed.
  std::string Format() const { return format_; }
  void SetFormat(const std::string& v) { format_ = v; }
  // Only the empty mask (a non-empty one raises UnsupportedOperationException).
  std::string Mask() const { return {}; }
  void SetMask(const std::string& v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  // 0 = no limit; a limit shortens a longer text already in the field.
  std::int32_t LimitText() const { return limit_; }
  void SetLimitText(std::int32_t v);
  // A single-line field passes Tab on to the focus chain either way.
  bool AcceptTabs() const { return acceptTabs_; }
  void SetAcceptTabs(bool v) { acceptTabs_ = v; }
  // 0 default (left), 1 left, 2 centre, 3 right.
  std::int32_t Alignment() const { return alignment_; }
  void SetAlignment(std::int32_t v);
  std::string DataSource() const { return dataSource_; }
  void SetDataSource(const std::string& v) { dataSource_ = v; }
  std::string DataField() const { return dataField_; }
  void SetDataField(const std::string& v) { dataField_ = v; }

  void AppendText(const std::string& v);
  void SelectAll();
  QLineEdit* LineEdit() const;

  std::vector<std::string> EventNames() const override { return {"TextChange"}; }

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void PushProperties() override;
  QWidget* StyledWidget() const override { return Widget(); }

 private:
  void ApplyColors();
  void ApplyLimit();
  std::string text_, format_, dataSource_, dataField_;
  fw::Color textColor_{}, backColor_{255, 255, 255};
  std::int32_t limit_ = 0, alignment_ = 0;
  bool border_ = true, scrollH_ = false, scrollV_ = false, styled_ = false, password_ = false;
  bool readOnly_ = false, acceptTabs_ = false;
};

}  // namespace fw
