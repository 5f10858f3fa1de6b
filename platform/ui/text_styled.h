#pragma once

// What the text controls have in common: their font, and the class-table rows declaring it.

#include <cstdint>
#include <string>

#include "platform/object/classes.h"

class QWidget;

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

// Adds the font properties of a TextStyled control class to its class table.
template <class C>
ClassBuilder& AddTextStyle(ClassBuilder& b, bool withUnit) {
  b.Property(DeclareProperty<&C::TextFont, &C::SetTextFont>("TextFont"))
      .Property(DeclareProperty<&C::Bold, &C::SetBold>("Bold"))
      .Property(DeclareProperty<&C::Italic, &C::SetItalic>("Italic"))
      .Property(DeclareProperty<&C::Underline, &C::SetUnderline>("Underline"))
      .Property(DeclareProperty<&C::TextSize, &C::SetTextSize>("TextSize"));
  if (withUnit)
    b.Property(DeclareProperty<&C::TextUnit, &C::SetTextUnit>("TextUnit"));
  return b;
}

}  // namespace fw
