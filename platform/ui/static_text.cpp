#include "platform/ui/static_text.h"

#include <QLabel>

#include "platform/ui/control_helpers.h"

namespace fw {

QLabel* StaticText::Label() const { return static_cast<QLabel*>(Widget()); }

QWidget* StaticText::CreateWidget(QWidget* parent) {
  auto* label = new QLabel(parent);
  // Texts are shown as they are, never read as markup.
  label->setTextFormat(Qt::PlainText);
  return label;
}

void StaticText::PushProperties() {
  ApplyText();
  ApplyAlign();
  ApplyLook();
  ApplyFont();
}

int StaticText::BaseFocusPolicy() const { return Qt::NoFocus; }

void StaticText::ApplyText() {
  if (!Label()) return;
  QString shown = Q(text_);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  Label()->setText(shown);
}

void StaticText::ApplyAlign() {
  if (Label()) Label()->setAlignment(HorizontalAlignment(align_, "TextAlign") | Qt::AlignTop);
}

void StaticText::ApplyLook() {
  QLabel* label = Label();
  if (!label) return;
  SetPaletteColor(label, QPalette::WindowText, color_);
  label->setWordWrap(multiline_);
  label->setTextInteractionFlags(selectable_ ? Qt::TextSelectableByMouse
                                             : Qt::NoTextInteraction);
  label->setAutoFillBackground(!transparent_);
}

void StaticText::SetText(const std::string& v) {
  text_ = v;
  ApplyText();
}

void StaticText::SetTextAlign(std::int32_t v) {
  HorizontalAlignment(v, "TextAlign");
  align_ = v;
  ApplyAlign();
}

void StaticText::SetTextColor(const fw::Color& v) {
  color_ = v;
  ApplyLook();
}
void StaticText::SetMultiline(bool v) {
  multiline_ = v;
  ApplyLook();
}
void StaticText::SetSelectable(bool v) {
  selectable_ = v;
  ApplyLook();
}
void StaticText::SetTransparent(bool v) {
  transparent_ = v;
  ApplyLook();
}

const ClassRecord& StaticText::ClassHandle() {
  if (auto* c = FindClass("StaticText")) return *c;
  using S = StaticText;
  ClassBuilder b("StaticText", &RectControl::ClassHandle());
  b.Scope("Public")
      .Allocator([] { return new StaticText; })
      .Property(DeclareProperty<&S::Text, &S::SetText>("Text"))
      .Property(DeclareProperty<&S::TextAlign, &S::SetTextAlign>("TextAlign"))
      .Property(DeclareProperty<&S::TextColor, &S::SetTextColor>("TextColor"))
      .Property(DeclareProperty<&S::Multiline, &S::SetMultiline>("Multiline"))
      .Property(DeclareProperty<&S::Selectable, &S::SetSelectable>("Selectable"))
      .Property(DeclareProperty<&S::Transparent, &S::SetTransparent>("Transparent"))
      .Property(DeclareProperty<&S::DataSource, &S::SetDataSource>("DataSource"))
      .Property(DeclareProperty<&S::DataField, &S::SetDataField>("DataField"));
  AddTextStyle<S>(b, true);
  return b.Register();
}

}  // namespace fw
