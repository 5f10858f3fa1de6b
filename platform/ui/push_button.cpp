#include "platform/ui/push_button.h"

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

#include "platform/ui/control_helpers.h"

namespace fw {

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

}  // namespace fw
