#include "platform/picture.h"

#include <QPainter>

#include "platform/classes.h"

namespace fw {

Picture::Picture(QImage image) : image_(std::move(image)) {}

Ref<Graphics> Picture::GraphicsContext() { return MakeRef<Graphics>(Ref<Picture>(this)); }

Ref<Picture> NewPicture(std::int32_t width, std::int32_t height, std::int32_t depth) {
  if (width < 1 || height < 1)
    throw OutOfBoundsException("a picture needs a width and height of at least 1, not " +
                               std::to_string(width) + " x " + std::to_string(height));
  QImage image(width, height,
               depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull()) throw OutOfBoundsException("no memory for a picture of that size");
  image.fill(depth == 32 ? Qt::transparent : Qt::white);
  return MakeRef<Picture>(std::move(image));
}

Graphics::Graphics(Ref<Picture> target) : target_(std::move(target)) {}

void Graphics::DrawPicture(const Ref<Picture>& source, std::int32_t x, std::int32_t y,
                           std::int32_t w, std::int32_t h, std::int32_t sx, std::int32_t sy,
                           std::int32_t sw, std::int32_t sh) {
  if (!source) throw NilObjectException("no picture to draw");
  QPainter painter(&target_->Image());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(x, y, w, h), source->Image(), QRect(sx, sy, sw, sh));
}

const ClassRecord& Picture::ClassHandle() {
  if (auto* c = FindClass("Picture")) return *c;
  return ClassBuilder("Picture", nullptr)
      .Scope("Public")
      .Allocator([] { return new Picture; })
      .Register();
}

const ClassRecord& Graphics::ClassHandle() {
  if (auto* c = FindClass("Graphics")) return *c;
  return ClassBuilder("Graphics", nullptr).Scope("Public").Register();
}

}  // namespace fw
