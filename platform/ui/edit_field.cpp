#include "platform/ui/edit_field.h"

#include <QLineEdit>

#include "platform/ui/control_helpers.h"

namespace fw {

QLineEdit* EditField::LineEdit() const { return static_cast<QLineEdit*>(Widget()); }

QWidget* EditField::CreateWidget(QWidget* parent) {
  auto* field = new QLineEdit(parent);
  // What the user types becomes the field's text; every change raises TextChange.
  Track(QObject::connect(field, &QLineEdit::textEdited,
                         [this](const QString& text) { text_ = text.toStdString(); }));
  Track(QObject::connect(field, &QLineEdit::textChanged,
                         [this](const QString&) { RaiseEvent("TextChange"); }));
  return field;
}

void EditField::PushProperties() {
  QLineEdit* field = LineEdit();
  field->setFrame(border_);
  field->setEchoMode(password_ ? QLineEdit::Password : QLineEdit::Normal);
  field->setReadOnly(readOnly_);
  field->setAlignment(HorizontalAlignment(alignment_, "Alignment") | Qt::AlignVCenter);
  ApplyColors();
  ApplyFont();
  ApplyLimit();
  field->setText(Q(text_));
}

std::string EditField::Text() const { return text_; }

void EditField::SetText(const std::string& v) {
  text_ = v;
  if (QLineEdit* field = LineEdit()) {
    field->setText(Q(v));
    // A length limit may have shortened it; the field's text is the truth.
    text_ = field->text().toStdString();
  }
}

void EditField::SetBorder(bool v) {
  border_ = v;
  if (LineEdit()) LineEdit()->setFrame(v);
}

void EditField::SetMultiline(bool v) {
  if (v) throw UnsupportedOperationException("EditField.Multiline: this edit field is single-line");
}

void EditField::SetPassword(bool v) {
  password_ = v;
  if (LineEdit()) LineEdit()->setEchoMode(v ? QLineEdit::Password : QLineEdit::Normal);
}

void EditField::SetTextColor(const fw::Color& v) {
  textColor_ = v;
  ApplyColors();
}

void EditField::SetBackColor(const fw::Color& v) {
  backColor_ = v;
  ApplyColors();
}

void EditField::ApplyColors() {
  if (!LineEdit()) return;
  SetPaletteColor(LineEdit(), QPalette::Text, textColor_);
  SetPaletteColor(LineEdit(), QPalette::Base, backColor_);
}

void EditField::SetMask(const std::string& v) {
  if (!v.empty())
    throw UnsupportedOperationException("EditField.Mask: input masks are not supported");
}

void EditField::SetReadOnly(bool v) {
  readOnly_ = v;
  if (LineEdit()) LineEdit()->setReadOnly(v);
}

void EditField::SetLimitText(std::int32_t v) {
  if (v < 0) throw OutOfBoundsException("LimitText must be 0 or more, not " + std::to_string(v));
  limit_ = v;
  ApplyLimit();
}

void EditField::ApplyLimit() {
  QLineEdit* field = LineEdit();
  if (!field) return;
  field->setMaxLength(limit_ == 0 ? 32767 : limit_);
  text_ = field->text().toStdString();
}

void EditField::SetAlignment(std::int32_t v) {
  const Qt::Alignment horizontal = HorizontalAlignment(v, "Alignment");
  alignment_ = v;
  if (LineEdit()) LineEdit()->setAlignment(horizontal | Qt::AlignVCenter);
}

void EditField::AppendText(const std::string& v) { SetText(text_ + v); }

void EditField::SelectAll() {
  if (LineEdit()) LineEdit()->selectAll();
}

const ClassRecord& EditField::ClassHandle() {
  if (auto* c = FindClass("EditField")) return *c;
  using E = EditField;
  ClassBuilder b("EditField", &RectControl::ClassHandle());
  b.Scope("Public")
      .Allocator([] { return new EditField; })
      .Add("AppendText", {"String"}, "", Method<&E::AppendText>())
      .Add("SelectAll", {}, "", Method<&E::SelectAll>())
      .Property(DeclareProperty<&E::Text, &E::SetText>("Text"))
      .Property(DeclareProperty<&E::Border, &E::SetBorder>("Border"))
      .Property(DeclareProperty<&E::Multiline, &E::SetMultiline>("Multiline"))
      .Property(DeclareProperty<&E::ScrollbarHorizontal, &E::SetScrollbarHorizontal>(
          "ScrollbarHorizontal"))
      .Property(DeclareProperty<&E::ScrollbarVertical, &E::SetScrollbarVertical>(
          "ScrollbarVertical"))
      .Property(DeclareProperty<&E::Styled, &E::SetStyled>("Styled"))
      .Property(DeclareProperty<&E::Password, &E::SetPassword>("Password"))
      .Property(DeclareProperty<&E::TextColor, &E::SetTextColor>("TextColor"))
      .Property(DeclareProperty<&E::BackColor, &E::SetBackColor>("BackColor"))
      .Property(DeclareProperty<&E::Format, &E::SetFormat>("Format"))
      .Property(DeclareProperty<&E::Mask, &E::SetMask>("Mask"))
      .Property(DeclareProperty<&E::ReadOnly, &E::SetReadOnly>("ReadOnly"))
      .Property(DeclareProperty<&E::LimitText, &E::SetLimitText>("LimitText"))
      .Property(DeclareProperty<&E::AcceptTabs, &E::SetAcceptTabs>("AcceptTabs"))
      .Property(DeclareProperty<&E::Alignment, &E::SetAlignment>("Alignment"))
      .Property(DeclareProperty<&E::DataSource, &E::SetDataSource>("DataSource"))
      .Property(DeclareProperty<&E::DataField, &E::SetDataField>("DataField"));
  AddTextStyle<E>(b, false);
  return b.Register();
}

}  // namespace fw
