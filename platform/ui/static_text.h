#pragma once

// A label: text the user reads and, when Selectable, may select.

#include <string>

#include "platform/object/value.h"
#include "platform/ui/rect_control.h"
#include "platform/ui/text_styled.h"

class QLabel;

namespace fw {

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

}  // namespace fw
