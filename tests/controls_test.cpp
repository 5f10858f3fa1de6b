#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include <string>
#include <utility>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/files/picture.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/window.h"

namespace {

using fw::Ref;
using fw::Value;
using P = fw::PropertyType;

struct Fixture {
  Ref<fw::Window> window;
  Fixture() {
    window = fw::Cast<fw::Window>(fw::RuntimeNewObject(fw::Window::ClassHandle()));
    window->SetWidth(400);
    window->SetHeight(300);
    fw::Invoke(*window, fw::Window::kConstructorSlot);
  }
  // Made, constructed and registered the way the window's own control creation does it.
  template <class T>
  Ref<T> Add(const std::string& name) {
    auto control = window->New(T::ClassHandle().Name());
    fw::Invoke(*control, static_cast<std::size_t>(control->Class().SlotOf("Constructor", {})));
    window->AddControl(name, control);
    return fw::Cast<T>(control);
  }
};

void Set(fw::Object& object, const char* property, const Value& value) {
  const fw::PropertyDeclaration* p = object.Class().FindProperty(property);
  ASSERT_NE(p, nullptr) << property;
  p->set(object, value);
}

Value Get(fw::Object& object, const char* property) {
  return object.Class().FindProperty(property)->get(object);
}

void ExpectDeclared(const fw::ClassRecord& c, const std::vector<std::pair<const char*, P>>& list) {
  for (const auto& [name, type] : list) {
    const fw::PropertyDeclaration* p = c.FindProperty(name);
    ASSERT_NE(p, nullptr) << c.Name() << "." << name;
    EXPECT_EQ(p->type, type) << c.Name() << "." << name;
  }
}

const std::vector<std::pair<const char*, P>> kRectControl = {
    {"Name", P::String},       {"Index", P::Int32},         {"Left", P::Int32},
    {"Top", P::Int32},         {"Width", P::Int32},         {"Height", P::Int32},
    {"LockLeft", P::Boolean},  {"LockTop", P::Boolean},     {"LockRight", P::Boolean},
    {"LockBottom", P::Boolean}, {"TabPanelIndex", P::Int32}, {"Enabled", P::Boolean},
    {"Visible", P::Boolean},   {"HelpTag", P::String},      {"AutoDeactivate", P::Boolean},
    {"InitialParent", P::String}};

TEST(ControlClasses, EveryListedPropertyIsDeclaredWithItsListType) {
  for (const auto* c : {&fw::StaticText::ClassHandle(), &fw::EditField::ClassHandle(),
                        &fw::PushButton::ClassHandle(), &fw::Canvas::ClassHandle(),
                        &fw::ProgressBar::ClassHandle()})
    ExpectDeclared(*c, kRectControl);
  ExpectDeclared(fw::StaticText::ClassHandle(),
                 {{"TabIndex", P::Int32}, {"Text", P::String}, {"TextAlign", P::Int32},
                  {"TextColor", P::Color}, {"Multiline", P::Boolean}, {"Selectable", P::Boolean},
                  {"Transparent", P::Boolean}, {"TextFont", P::String}, {"Bold", P::Boolean},
                  {"Italic", P::Boolean}, {"Underline", P::Boolean}, {"DataSource", P::String},
                  {"DataField", P::String}, {"TextSize", P::Single}, {"TextUnit", P::Int32}});
  ExpectDeclared(fw::EditField::ClassHandle(),
                 {{"TabIndex", P::Int32}, {"TabStop", P::Boolean}, {"Border", P::Boolean},
                  {"Multiline", P::Boolean}, {"ScrollbarHorizontal", P::Boolean},
                  {"ScrollbarVertical", P::Boolean}, {"Styled", P::Boolean},
                  {"Password", P::Boolean}, {"UseFocusRing", P::Boolean},
                  {"TextColor", P::Color}, {"BackColor", P::Color}, {"Format", P::String},
                  {"TextFont", P::String}, {"Bold", P::Boolean}, {"Italic", P::Boolean},
                  {"Underline", P::Boolean}, {"Text", P::String}, {"Mask", P::String},
                  {"ReadOnly", P::Boolean}, {"LimitText", P::Int32}, {"AcceptTabs", P::Boolean},
                  {"Alignment", P::Int32}, {"DataSource", P::String}, {"DataField", P::String},
                  {"TextSize", P::Single}});
  EXPECT_EQ(fw::EditField::ClassHandle().FindProperty("TextUnit"), nullptr);
  ExpectDeclared(fw::PushButton::ClassHandle(),
                 {{"TabIndex", P::Int32}, {"TabStop", P::Boolean}, {"Caption", P::String},
                  {"Default", P::Boolean}, {"Cancel", P::Boolean}, {"ButtonStyle", P::Int32},
                  {"TextFont", P::String}, {"Bold", P::Boolean}, {"Italic", P::Boolean},
                  {"Underline", P::Boolean}, {"TextSize", P::Single}, {"TextUnit", P::Int32}});
  ExpectDeclared(fw::Canvas::ClassHandle(),
                 {{"TabIndex", P::Int32}, {"TabStop", P::Boolean}, {"UseFocusRing", P::Boolean},
                  {"AcceptFocus", P::Boolean}, {"AcceptTabs", P::Boolean},
                  {"DoubleBuffer", P::Boolean}, {"EraseBackground", P::Boolean},
                  {"Backdrop", P::Object}});
  ExpectDeclared(fw::ProgressBar::ClassHandle(), {{"Value", P::Int32}, {"Maximum", P::Int32}});

  const auto& table = fw::PushButton::ClassHandle().Table();
  EXPECT_GE(fw::PushButton::ClassHandle().SlotOf("Constructor", {}), 0);
  EXPECT_EQ(table[0].declaredBy, "RectControl");
  EXPECT_THROW(fw::RuntimeNewObject(fw::RectControl::ClassHandle()), fw::RuntimeException);
}

TEST(RectControl, CommonPropertiesReachTheWidgetEvenWhenSetBeforeIt) {
  Fixture f;
  auto button = fw::Cast<fw::PushButton>(f.window->New("PushButton"));
  Set(*button, "Left", 20);
  Set(*button, "Top", 30);
  Set(*button, "Width", 80);
  Set(*button, "Height", 25);
  Set(*button, "HelpTag", std::string("press me"));
  Set(*button, "Enabled", false);
  Set(*button, "TabStop", false);
  EXPECT_EQ(button->Widget(), nullptr);
  button->Constructor();
  f.window->AddControl("B", button);

  QWidget* w = button->Widget();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->parentWidget(), f.window->ContentArea());
  EXPECT_EQ(w->geometry(), QRect(20, 30, 80, 25));
  EXPECT_EQ(w->toolTip(), "press me");
  EXPECT_FALSE(w->isEnabled());
  EXPECT_FALSE(w->focusPolicy() & Qt::TabFocus);
  EXPECT_TRUE(w->focusPolicy() & Qt::ClickFocus);
  EXPECT_EQ(std::get<std::int32_t>(Get(*button, "left")), 20);

  Set(*button, "Visible", false);
  EXPECT_TRUE(w->isHidden());
  Set(*button, "Visible", true);
  EXPECT_FALSE(w->isHidden());
  EXPECT_EQ(button->TrueWindow().Get(), f.window.Get());
}

TEST(RectControl, AControlOutlivingItsWindowOrLeavingItIsSafe) {
  Ref<fw::StaticText> label;
  QPointer<QWidget> widget;
  {
    Fixture f;
    label = f.Add<fw::StaticText>("L");
    widget = label->Widget();
    fw::Windows->items.clear();
    fw::_mImplicitWindowList->entries.clear();
  }
  EXPECT_EQ(label->OwnerWindow(), nullptr);
  EXPECT_FALSE(label->TrueWindow());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(widget);  // it went with the window's widgets
  label->SetText("still readable");
  EXPECT_EQ(label->Text(), "still readable");

  Fixture g;
  auto button = g.Add<fw::PushButton>("B");
  QPointer<QWidget> buttonWidget = button->Widget();
  fw::Invoke(*button, "Close");
  EXPECT_FALSE(g.window->FindControl("B"));
  EXPECT_TRUE(buttonWidget->isHidden());
  button.Reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(buttonWidget);
}

TEST(StaticText, CarriageReturnsBreakLinesAndTextReadsBackAsSet) {
  Fixture f;
  auto label = f.Add<fw::StaticText>("StaticText1");
  const std::string text = "1. first line\r2. second <b>line</b>\r3. third";
  Set(*label, "Text", text);
  Set(*label, "Multiline", true);
  EXPECT_EQ(std::get<std::string>(Get(*label, "Text")), text);
  EXPECT_EQ(label->Label()->text().toStdString(), "1. first line\n2. second <b>line</b>\n3. third");
  EXPECT_EQ(label->Label()->textFormat(), Qt::PlainText);  // no markup is interpreted
  EXPECT_TRUE(label->Label()->wordWrap());

  Set(*label, "TextAlign", 3);
  EXPECT_TRUE(label->Label()->alignment() & Qt::AlignRight);
  EXPECT_THROW(Set(*label, "TextAlign", 9), fw::OutOfBoundsException);
  EXPECT_EQ(label->TextAlign(), 3);
  Set(*label, "TextColor", fw::Color{0, 0, 255});
  EXPECT_EQ(label->Label()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  Set(*label, "Selectable", true);
  EXPECT_TRUE(label->Label()->textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST(TextControls, TextSizeTwelveAgainstTheToolkitDefault) {
  Fixture f;
  auto sized = f.Add<fw::StaticText>("Sized");
  auto plain = f.Add<fw::StaticText>("Plain");
  auto field = f.Add<fw::EditField>("Field");
  auto button = f.Add<fw::PushButton>("Button");
  sized->SetTextSize(12.0f);
  sized->SetTextUnit(0);
  plain->SetTextUnit(0);
  field->SetTextSize(12.0f);
  button->SetTextSize(12.0f);

  EXPECT_EQ(sized->Widget()->font().pixelSize(), 12);
  EXPECT_EQ(field->Widget()->font().pixelSize(), 12);
  EXPECT_EQ(button->Widget()->font().pixelSize(), 12);
  const QFont standard = QApplication::font(plain->Widget());
  EXPECT_DOUBLE_EQ(plain->Widget()->font().pointSizeF(), standard.pointSizeF());
  EXPECT_EQ(plain->Widget()->font().family(), standard.family());  // "System"
  EXPECT_FLOAT_EQ(std::get<float>(Get(*sized, "TextSize")), 12.0f);
  EXPECT_FLOAT_EQ(std::get<float>(Get(*plain, "TextSize")), 0.0f);

  Set(*plain, "Bold", true);
  Set(*plain, "Underline", true);
  EXPECT_TRUE(plain->Widget()->font().bold());
  EXPECT_TRUE(plain->Widget()->font().underline());
  plain->SetTextUnit(1);  // pixels
  plain->SetTextSize(20.0f);
  EXPECT_EQ(plain->Widget()->font().pixelSize(), 20);
  EXPECT_THROW(plain->SetTextUnit(7), fw::OutOfBoundsException);
  EXPECT_THROW(plain->SetTextSize(-1.0f), fw::OutOfBoundsException);
}

TEST(EditField, TextAndFlagsAgreeWithTheLineEdit) {
  Fixture f;
  auto field = f.Add<fw::EditField>("periode");
  Set(*field, "Text", std::string("10"));
  EXPECT_EQ(field->LineEdit()->text(), "10");
  EXPECT_EQ(std::get<std::string>(Get(*field, "Text")), "10");

  field->LineEdit()->setText("");
  field->LineEdit()->insert("25");  // as if typed
  EXPECT_EQ(field->Text(), field->LineEdit()->text().toStdString());

  Set(*field, "Password", true);
  EXPECT_EQ(field->LineEdit()->echoMode(), QLineEdit::Password);
  Set(*field, "ReadOnly", true);
  EXPECT_TRUE(field->LineEdit()->isReadOnly());
  Set(*field, "Border", false);
  EXPECT_FALSE(field->LineEdit()->hasFrame());
  Set(*field, "Alignment", 2);
  EXPECT_TRUE(field->LineEdit()->alignment() & Qt::AlignHCenter);
  Set(*field, "BackColor", fw::Color{255, 255, 255});
  EXPECT_EQ(field->LineEdit()->palette().color(QPalette::Base), QColor(255, 255, 255));

  Set(*field, "Text", std::string("abcdef"));
  Set(*field, "LimitText", 3);
  EXPECT_EQ(field->LineEdit()->maxLength(), 3);
  EXPECT_EQ(field->Text(), "abc");
  Set(*field, "LimitText", 0);
  Set(*field, "Text", std::string(40, 'x'));
  EXPECT_EQ(field->Text().size(), 40u);

  EXPECT_THROW(Set(*field, "LimitText", -1), fw::OutOfBoundsException);
  EXPECT_NO_THROW(Set(*field, "Multiline", false));
  EXPECT_THROW(Set(*field, "Multiline", true), fw::UnsupportedOperationException);
  EXPECT_NO_THROW(Set(*field, "Mask", std::string()));
  EXPECT_THROW(Set(*field, "Mask", std::string("###")), fw::UnsupportedOperationException);
}

TEST(PushButton, CaptionReadsBackFromTheButton) {
  Fixture f;
  auto button = f.Add<fw::PushButton>("PushButton1");
  Set(*button, "Caption", std::string("start"));
  EXPECT_EQ(button->Button()->text(), "start");
  EXPECT_EQ(std::get<std::string>(Get(*button, "Caption")), "start");
  button->SetCaption("Stop");
  EXPECT_EQ(button->Button()->text(), "Stop");
  Set(*button, "Default", true);
  EXPECT_TRUE(button->Button()->isDefault());
  Set(*button, "ButtonStyle", 0);
  EXPECT_EQ(button->ButtonStyle(), 0);
}

TEST(ProgressBar, MaximumZeroIsBusyAndOutOfRangeValuesAreKeptButDrawnInRange) {
  Fixture f;
  auto bar = f.Add<fw::ProgressBar>("ProgressBar1");
  QProgressBar* q = bar->Bar();
  EXPECT_FALSE(q->isTextVisible());

  // The list order: Value before Maximum.
  Set(*bar, "Maximum", 10);
  Set(*bar, "Value", 50);
  EXPECT_EQ(q->value(), 10);  // drawn full
  Set(*bar, "Maximum", 100);
  EXPECT_EQ(bar->Value(), 50);
  EXPECT_EQ(q->value(), 50);
  EXPECT_EQ(q->maximum(), 100);

  bar->SetValue(150);
  EXPECT_EQ(std::get<std::int32_t>(Get(*bar, "Value")), 150);
  EXPECT_EQ(q->value(), 100);
  bar->SetValue(-5);
  EXPECT_EQ(bar->Value(), -5);
  EXPECT_EQ(q->value(), 0);

  bar->SetMaximum(0);
  EXPECT_EQ(q->minimum(), 0);
  EXPECT_EQ(q->maximum(), 0);  // indeterminate
  EXPECT_EQ(bar->Value(), -5);
  bar->SetMaximum(100);
  bar->SetValue(25);
  EXPECT_EQ(q->value(), 25);
}

TEST(ProgressBar, ABarSetAtEveryStepIsPaintedWithTheWindowAtTheScreensPace) {
  Fixture f;
  auto bar = f.Add<fw::ProgressBar>("ProgressBar1");
  QProgressBar* q = bar->Bar();
  f.window->Show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(q->isVisible());
  struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      paints += event->type() == QEvent::Paint;
      return false;
    }
  } count;
  q->installEventFilter(&count);
  // What a movie does for each frame: busy, then the share done, then the window refreshed.
  const auto step = [&](int i) {
    bar->SetMaximum(0);
    bar->SetMaximum(100);
    bar->SetValue(i % 101);
    f.window->Refresh(true);
  };
  for (int i = 1; i <= 50; ++i) step(i);
  EXPECT_EQ(count.paints, 0) << "painted before the loop ran";

  // A loop yielding at every step, far more often than a screen shows pictures.
  QElapsedTimer clock;
  clock.start();
  int steps = 0;
  while (clock.elapsed() < 400) {
    step(++steps);
    QCoreApplication::processEvents();
  }
  const int duringLoop = count.paints;
  EXPECT_GT(steps, 200);
  EXPECT_GE(duringLoop, 3);
  EXPECT_LE(duringLoop, 400 / 16 + 3);
  // The last state is painted too, soon after.
  while (clock.elapsed() < 600) QCoreApplication::processEvents();
  EXPECT_GT(count.paints, duringLoop);
  EXPECT_EQ(q->value(), steps % 101);
}

TEST(Canvas, BackdropIsDrawnAtTheOriginAndReplacedWhenSet) {
  Fixture f;
  auto canvas = f.Add<fw::Canvas>("Canvas1");
  canvas->SetWidth(50);
  canvas->SetHeight(40);
  canvas->SetEraseBackground(true);
  auto red = fw::NewPicture(10, 8, 24);
  red->Image().fill(QColor(255, 0, 0));
  Set(*canvas, "Backdrop", fw::ToValue(red));
  EXPECT_EQ(canvas->Backdrop().Get(), red.Get());

  QImage shot = canvas->Widget()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(shot.pixelColor(9, 7), QColor(255, 0, 0));
  EXPECT_NE(shot.pixelColor(20, 20), QColor(255, 0, 0));

  auto blue = fw::NewPicture(50, 40, 24);
  blue->Image().fill(QColor(0, 0, 255));
  canvas->SetBackdrop(blue);
  shot = canvas->Widget()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(20, 20), QColor(0, 0, 255));

  canvas->SetBackdrop(nullptr);
  shot = canvas->Widget()->grab().toImage();
  EXPECT_NE(shot.pixelColor(20, 20), QColor(0, 0, 255));
  EXPECT_FALSE(canvas->Widget()->focusPolicy() & Qt::TabFocus);
  Set(*canvas, "AcceptFocus", true);
  EXPECT_TRUE(canvas->Widget()->focusPolicy() & Qt::TabFocus);
}

}  // namespace
