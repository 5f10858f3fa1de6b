#pragma once

// The visible controls: static text, single-line edit field, push button, canvas and progress
// bar. Each keeps its properties itself (see RectControl) and mirrors them onto its widget.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/picture.h"
#include "platform/ui/rect_control.h"
#include "platform/object/value.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QShortcut;

namespace fw {

// Font properties shared by the text controls. TextFont "System" is the toolkit's default
// family; TextSize 0 is the toolkit's default size; TextUnit follows the framework's FontUnits
// (0 default = points, 1 pixels, 2 points, 3 inches, 4 millimetres).
class TextStyled {
 public:
  virtual ~TextStyled() = default;
  std::string TextFont() const { return font_; }
  void SetTextFont(const std::string& v);
  bool Bold() const { return bold_; }
  void SetBold(bool v);
  bool Italic() const { return italic_; }
  void SetItalic(bool v);
  bool Underline() const { return underline_; }
  void SetUnderline(bool v);
  float TextSize() const { return size_; }
  void SetTextSize(float v);
  std::int32_t TextUnit() const { return unit_; }
  void SetTextUnit(std::int32_t v);

 protected:
  virtual QWidget* StyledWidget() const = 0;
  void ApplyFont() const;

 private:
  std::string font_ = "System";
  bool bold_ = false, italic_ = false, underline_ = false;
  float size_ = 0;
  std::int32_t unit_ = 0;
};

class StaticText : public RectControl, public TextStyled {
  FW_CLASS_HANDLE()
  // The text as set; a 0x0D inside it breaks the line on screen.
  std::string Text() const { return text_; }
  void SetText(const std::string& v);
  // 0 default (left), 1 left, 2 centre, 3 right.
  std::int32_t TextAlign() const { return align_; }
  void SetTextAlign(std::int32_t v);
  fw::Color TextColor() const { return color_; }
  void SetTextColor(const fw::Color& v);
  bool Multiline() const { return multiline_; }
  void SetMultiline(bool v);
  bool Selectable() const { return selectable_; }
  void SetSelectable(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  // Database binding is not part of this framework; the names are kept as given.
  std::string DataSource() const { return dataSource_; }
  void SetDataSource(const std::string& v) { dataSource_ = v; }
  std::string DataField() const { return dataField_; }
  void SetDataField(const std::string& v) { dataField_ = v; }

  QLabel* Label() const;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void PushProperties() override;
  int BaseFocusPolicy() const override;
  QWidget* StyledWidget() const override { return Widget(); }

 private:
  void ApplyText();
  void ApplyAlign();
  void ApplyLook();
  std::string text_, dataSource_, dataField_;
  std::int32_t align_ = 0;
  fw::Color color_{};
  bool multiline_ = false, selectable_ = false, transparent_ = false;
};

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

class Canvas : public RectControl {
  FW_CLASS_HANDLE()
  // Drawn at 0,0 behind the canvas's content.
  Ref<Picture> Backdrop() const { return backdrop_; }
  void SetBackdrop(const Ref<Picture>& v);
  // The toolkit always double-buffers.
  bool DoubleBuffer() const { return doubleBuffer_; }
  void SetDoubleBuffer(bool v) { doubleBuffer_ = v; }
  bool EraseBackground() const { return erase_; }
  void SetEraseBackground(bool v);
  bool AcceptFocus() const { return acceptFocus_; }
  void SetAcceptFocus(bool v);
  bool AcceptTabs() const { return acceptTabs_; }
  void SetAcceptTabs(bool v) { acceptTabs_ = v; }

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void PushProperties() override;
  int BaseFocusPolicy() const override;

 private:
  Ref<Picture> backdrop_;
  bool doubleBuffer_ = false, erase_ = true, acceptFocus_ = false, acceptTabs_ = false;
};

// Maximum 0 (or below) shows a busy bar. The Value is kept as set; the bar draws a Value above
// the Maximum full and a negative one empty.
class ProgressBar : public RectControl {
  FW_CLASS_HANDLE()
  std::int32_t Value() const { return value_; }
  void SetValue(std::int32_t v);
  std::int32_t Maximum() const { return maximum_; }
  void SetMaximum(std::int32_t v);

  QProgressBar* Bar() const;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void PushProperties() override;
  int BaseFocusPolicy() const override;

 private:
  void ApplyRange();
  std::int32_t value_ = 0, maximum_ = 100;
};

// Registers the five control classes (each registers once).
void RegisterStandardControls();

}  // namespace fw
