#include "platform/files/picture.h"

#include <QPainter>
#include <string>
#include <utility>

#include "platform/object/classes.h"

namespace fw {

namespace {

template <class C, class Get>
PropertyDeclaration ReadOnly(std::string className, std::string name, PropertyType type,
                             std::string typeName, Get get) {
  PropertyDeclaration p;
  p.type = type;
  p.typeName = typeName.empty() ? std::string(PropertyTypeName(type)) : std::move(typeName);
  p.set = [qualified = className + "." + name](Object&, const Value&) {
    throw RuntimeException(qualified + " cannot be set");
  };
  p.get = [get](Object& o) -> Value { return ToValue(get(dynamic_cast<C&>(o))); };
  p.name = std::move(name);
  return p;
}

}  // namespace

Picture::Picture(QImage image) : image_(std::move(image)) {}

Picture::Picture(std::shared_ptr<const JpegSamples> samples) : samples_(std::move(samples)) {}

const QImage& Picture::Image() const {
  if (samples_ && image_.isNull()) image_ = JpegSamplesImage(*samples_);
  return image_;
}

QImage& Picture::Image() {
  std::as_const(*this).Image();
  samples_.reset();
  return image_;
}

// A new context each time; it keeps the picture alive while it is held.
Ref<Graphics> Picture::GraphicsContext() { return MakeRef<Graphics>(Ref<Picture>(this)); }

Ref<Picture> NewPicture(std::int32_t width, std::int32_t height, std::int32_t depth) {
  if (width < 1 || height < 1)
    throw OutOfBoundsException("a picture needs a width and height of at least 1, not " +
                               std::to_string(width) + " x " + std::to_string(height));
  QImage image(width, height,
               depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull())
    throw OutOfBoundsException("no memory for a picture of " + std::to_string(width) + " x " +
                               std::to_string(height));
  image.fill(depth == 32 ? Qt::transparent : Qt::white);
  return MakeRef<Picture>(std::move(image));
}

Graphics::Graphics(Ref<Picture> target) : target_(std::move(target)) {}

void Graphics::DrawPicture(const Ref<Picture>& source, std::int32_t x, std::int32_t y,
                           std::int32_t w, std::int32_t h, std::int32_t sx, std::int32_t sy,
                           std::int32_t sw, std::int32_t sh) {
  if (!source) throw NilObjectException("Graphics.DrawPicture was given no picture");
  if (!target_) throw NilObjectException("this drawing context has no picture to draw into");
  // An empty rectangle on either side draws nothing (the toolkit would mirror negative sizes).
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || source->Image().isNull()) return;
  QImage& target = target_->Image();
  if (target.isNull()) return;
  QPainter painter(&target);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(x, y, w, h), source->Image(), QRect(sx, sy, sw, sh));
}

const ClassRecord& Picture::ClassHandle() {
  if (auto* c = FindClass("Picture")) return *c;
  using P = PropertyType;
  return ClassBuilder("Picture", nullptr)
      .Scope("Public")
      .Allocator([] { return new Picture; })
      .Property(ReadOnly<Picture>("Picture", "Width", P::Int32, {},
                                  [](Picture& p) { return p.Width(); }))
      .Property(ReadOnly<Picture>("Picture", "Height", P::Int32, {},
                                  [](Picture& p) { return p.Height(); }))
      .Property(ReadOnly<Picture>("Picture", "Graphics", P::Object, "Graphics",
                                  [](Picture& p) { return p.GraphicsContext(); }))
      .Register();
}

const ClassRecord& Graphics::ClassHandle() {
  if (auto* c = FindClass("Graphics")) return *c;
  return ClassBuilder("Graphics", nullptr)
      .Scope("Public")
      .Allocator([] { return new Graphics(nullptr); })
      .Add("DrawPicture",
           {"Picture", "Int32", "Int32", "Int32", "Int32", "Int32", "Int32", "Int32", "Int32"}, "",
           On<Graphics>([](Graphics& g, std::span<const Value> a) -> Value {
             if (a.size() != 9)
               throw RuntimeException("Graphics.DrawPicture takes 9 arguments, given " +
                                      std::to_string(a.size()));
             const auto source = FromValue<Ref<Picture>>(a[0]);
             std::int32_t n[8];
             for (int i = 0; i < 8; ++i) n[i] = FromValue<std::int32_t>(a[i + 1]);
             g.DrawPicture(source, n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7]);
             return {};
           }))
      .Register();
}

}  // namespace fw
