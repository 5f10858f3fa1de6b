#include "platform/ui/controls.h"

#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>
#include <cmath>

#include "platform/text/text.h"

namespace fw {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QColor ToQColor(const fw::Color& c) { return QColor(c.red, c.green, c.blue); }

// The framework's alignment codes: 0 default (left), 1 left, 2 centre, 3 right.
Qt::Alignment HorizontalAlignment(std::int32_t code, std::string_view property) {
  switch (code) {
    case 0:
    case 1: return Qt::AlignLeft;
    case 2: return Qt::AlignHCenter;
    case 3: return Qt::AlignRight;
  }
  throw OutOfBoundsException(std::string(property) + " has no alignment " + std::to_string(code));
}

void SetPaletteColor(QWidget* widget, QPalette::ColorRole role, const fw::Color& color) {
  const QColor wanted = ToQColor(color);
  // Setting a palette is costly (it is propagated and every child is told), and controls are
  // mostly given the colours they already show.
  if (widget->palette().color(role) == wanted) return;
  QPalette palette = widget->palette();
  palette.setColor(role, wanted);
  widget->setPalette(palette);
}

// Paints the backdrop itself, so it needs nothing from the Canvas object, which may go first.
class CanvasWidget : public QWidget {
 public:
  using QWidget::QWidget;
  void SetBackdrop(QImage image) {
    backdrop_ = std::move(image);
    update();
  }
  void SetErase(bool erase) {
    erase_ = erase;
    update();
  }
  const QImage& Backdrop() const { return backdrop_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (erase_) painter.fillRect(rect(), palette().window());
    if (!backdrop_.isNull()) painter.drawImage(QPoint(0, 0), backdrop_);
  }

 private:
  QImage backdrop_;
  bool erase_ = true;
};

}  // namespace

// ----- TextStyled ---------------------------------------------------------------------------

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

// ----- StaticText ---------------------------------------------------------------------------

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

// ----- EditField ----------------------------------------------------------------------------

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

// ----- PushButton ---------------------------------------------------------------------------

QPushButton* PushButton::Button() const { return static_cast<QPushButton*>(Widget()); }

QWidget* PushButton::CreateWidget(QWidget* parent) {
  auto* button = new QPushButton(parent);
  Track(QObject::connect(button, &QPushButton::clicked, [this] { RaiseEvent("Action"); }));
  return button;
}

void PushButton::PushProperties() {
  Button()->setText(Q(caption_));
  Button()->setDefault(default_);
  ApplyCancel();
  ApplyFont();
}

void PushButton::SetCaption(const std::string& v) {
  caption_ = v;
  if (Button()) Button()->setText(Q(v));
}

void PushButton::SetDefault(bool v) {
  default_ = v;
  if (Button()) Button()->setDefault(v);
}

void PushButton::SetCancel(bool v) {
  cancel_ = v;
  ApplyCancel();
}

void PushButton::ApplyCancel() {
  QPushButton* button = Button();
  if (!button) return;
  if (cancel_ && !escape_) {
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), button);
    escape_->setContext(Qt::WindowShortcut);
    QObject::connect(escape_, &QShortcut::activated, button, &QPushButton::click);
  } else if (!cancel_ && escape_) {
    delete escape_;
    escape_ = nullptr;
  }
}

void PushButton::Push() {
  if (Button())
    Button()->click();
  else
    RaiseEvent("Action");
}

// ----- Canvas -------------------------------------------------------------------------------

QWidget* Canvas::CreateWidget(QWidget* parent) { return new CanvasWidget(parent); }

void Canvas::PushProperties() {
  auto* widget = static_cast<CanvasWidget*>(Widget());
  widget->SetErase(erase_);
  widget->SetBackdrop(backdrop_ ? backdrop_->Image() : QImage());
}

int Canvas::BaseFocusPolicy() const { return acceptFocus_ ? Qt::StrongFocus : Qt::NoFocus; }

void Canvas::SetBackdrop(const Ref<Picture>& v) {
  backdrop_ = v;
  if (auto* widget = static_cast<CanvasWidget*>(Widget()))
    widget->SetBackdrop(v ? v->Image() : QImage());
}

void Canvas::SetEraseBackground(bool v) {
  erase_ = v;
  if (auto* widget = static_cast<CanvasWidget*>(Widget())) widget->SetErase(v);
}

void Canvas::SetAcceptFocus(bool v) {
  acceptFocus_ = v;
  ApplyFocusPolicy();
}

// ----- ProgressBar --------------------------------------------------------------------------

QProgressBar* ProgressBar::Bar() const { return static_cast<QProgressBar*>(Widget()); }

QWidget* ProgressBar::CreateWidget(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setTextVisible(false);
  return bar;
}

void ProgressBar::PushProperties() { ApplyRange(); }

int ProgressBar::BaseFocusPolicy() const { return Qt::NoFocus; }

void ProgressBar::SetValue(std::int32_t v) {
  value_ = v;
  ApplyRange();
}

void ProgressBar::SetMaximum(std::int32_t v) {
  maximum_ = v;
  ApplyRange();
}

void ProgressBar::ApplyRange() {
  QProgressBar* bar = Bar();
  if (!bar) return;
  if (maximum_ <= 0) {
    bar->setRange(0, 0);  // busy
    return;
  }
  bar->setRange(0, maximum_);
  bar->setValue(std::clamp(value_, 0, maximum_));
}

// ----- class records ------------------------------------------------------------------------

namespace {

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

}  // namespace

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

const ClassRecord& PushButton::ClassHandle() {
  if (auto* c = FindClass("PushButton")) return *c;
  using B = PushButton;
  ClassBuilder b("PushButton", &RectControl::ClassHandle());
  b.Scope("Public")
      .Allocator([] { return new PushButton; })
      .Add("Push", {}, "", Method<&B::Push>())
      .Property(DeclareProperty<&B::Caption, &B::SetCaption>("Caption"))
      .Property(DeclareProperty<&B::Default, &B::SetDefault>("Default"))
      .Property(DeclareProperty<&B::Cancel, &B::SetCancel>("Cancel"))
      .Property(DeclareProperty<&B::ButtonStyle, &B::SetButtonStyle>("ButtonStyle"));
  AddTextStyle<B>(b, true);
  return b.Register();
}

const ClassRecord& Canvas::ClassHandle() {
  if (auto* c = FindClass("Canvas")) return *c;
  using C = Canvas;
  using P = PropertyType;
  return ClassBuilder("Canvas", &RectControl::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new Canvas; })
      .Property(DeclareProperty<&C::Backdrop, &C::SetBackdrop>("Backdrop", P::Object, "Picture"))
      .Property(DeclareProperty<&C::DoubleBuffer, &C::SetDoubleBuffer>("DoubleBuffer"))
      .Property(DeclareProperty<&C::EraseBackground, &C::SetEraseBackground>("EraseBackground"))
      .Property(DeclareProperty<&C::AcceptFocus, &C::SetAcceptFocus>("AcceptFocus"))
      .Property(DeclareProperty<&C::AcceptTabs, &C::SetAcceptTabs>("AcceptTabs"))
      .Register();
}

const ClassRecord& ProgressBar::ClassHandle() {
  if (auto* c = FindClass("ProgressBar")) return *c;
  using B = ProgressBar;
  return ClassBuilder("ProgressBar", &RectControl::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new ProgressBar; })
      .Property(DeclareProperty<&B::Value, &B::SetValue>("Value"))
      .Property(DeclareProperty<&B::Maximum, &B::SetMaximum>("Maximum"))
      .Register();
}

void RegisterStandardControls() {
  StaticText::ClassHandle();
  EditField::ClassHandle();
  PushButton::ClassHandle();
  Canvas::ClassHandle();
  ProgressBar::ClassHandle();
}

}  // namespace fw
