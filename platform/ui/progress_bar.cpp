#include "platform/ui/progress_bar.h"

#include <QProgressBar>
#include <algorithm>

namespace fw {

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
  // The toolkit's bar repaints at once on some changes; a loop that sets it for every step of
  // its work would spend its time painting. Painted with the rest of the window instead.
  const bool updates = bar->updatesEnabled();
  bar->setUpdatesEnabled(false);
  if (maximum_ <= 0) {
    bar->setRange(0, 0);  // busy
  } else {
    bar->setRange(0, maximum_);
    bar->setValue(std::clamp(value_, 0, maximum_));
  }
  bar->setUpdatesEnabled(updates);
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

}  // namespace fw
