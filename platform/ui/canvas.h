#pragma once

// A plain drawing surface with an optional backdrop picture.

#include "platform/files/picture.h"
#include "platform/ui/rect_control.h"

namespace fw {

class Canvas : public RectControl {
  FW_CLASS_HANDLE()
  // Drawn at 0,0 behind the canvas's content.
  Ref<Picture> Backdrop() const { return backdrop_; }
  void SetBackdrop(const Ref<Picture>& v);
  // The toolkit always double-buffers.
  bool DoubleBuffer() const { return doubleBuffer_; }
  void SetDoubleBuffer(bool v) { doubleBuffer_ = v; }
  bool EraseBackground() const { return erase_; }
  void SetEraseBackground(bool v);
  bool AcceptFocus() const { return acceptFocus_; }
  void SetAcceptFocus(bool v);
  bool AcceptTabs() const { return acceptTabs_; }
  void SetAcceptTabs(bool v) { acceptTabs_ = v; }

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void PushProperties() override;
  int BaseFocusPolicy() const override;

 private:
  Ref<Picture> backdrop_;
  bool doubleBuffer_ = false, erase_ = true, acceptFocus_ = false, acceptTabs_ = false;
};

}  // namespace fw
