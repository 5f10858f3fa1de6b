#include "platform/ui/canvas.h"

#include <QImage>
#include <QPainter>

namespace fw {

namespace {

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

}  // namespace fw
