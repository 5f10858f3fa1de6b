#pragma once

#include <cstdint>

#include "platform/ui/rect_control.h"

class QProgressBar;

namespace fw {

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

}  // namespace fw
