#include "platform/ui/text_styled.h"

#include <QApplication>
#include <QFont>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/object/object.h"
#include "platform/text/text.h"
#include "platform/ui/control_helpers.h"

namespace fw {

void TextStyled::SetTextFont(const std::string& v) {
  font_ = v;
  ApplyFont();
}
void TextStyled::SetBold(bool v) {
  bold_ = v;
  ApplyFont();
}
void TextStyled::SetItalic(bool v) {
  italic_ = v;
  ApplyFont();
}
void TextStyled::SetUnderline(bool v) {
  underline_ = v;
  ApplyFont();
}

void TextStyled::SetTextSize(float v) {
  if (!(v >= 0) || !std::isfinite(v))
    throw OutOfBoundsException("TextSize must be 0 or more, not " + std::to_string(v));
  size_ = v;
  ApplyFont();
}

void TextStyled::SetTextUnit(std::int32_t v) {
  if (v < 0 || v > 4) throw OutOfBoundsException("no font unit " + std::to_string(v));
  unit_ = v;
  ApplyFont();
}

void TextStyled::ApplyFont() const {
  QWidget* widget = StyledWidget();
  if (!widget) return;
  QFont font = QApplication::font(widget);  // the toolkit's default for this kind of widget
  if (!font_.empty() && !TextEquals(font_, "System") && !TextEquals(font_, "SmallSystem"))
    font.setFamily(Q(font_));
  font.setBold(bold_);
  font.setItalic(italic_);
  font.setUnderline(underline_);
  if (size_ > 0) {
    switch (unit_) {
      // The default unit is the design's point, 1/72 inch on a 72-dpi grid: the control sizes
      // were laid out for it, so it maps to pixels here. Toolkit points would overflow them.
      case 0:
      case 1: font.setPixelSize(std::max(1, static_cast<int>(std::lround(size_)))); break;
      case 3: font.setPointSizeF(size_ * 72.0); break;
      case 4: font.setPointSizeF(size_ * 72.0 / 25.4); break;
      default: font.setPointSizeF(size_); break;
    }
  }
  widget->setFont(font);
}

}  // namespace fw
