#pragma once

// Pictures and their drawing contexts.

#include <QImage>
#include <cstdint>
#include <memory>

#include "platform/files/jpeg_samples.h"
#include "platform/object/object.h"

namespace fw {

class Graphics;

class Picture : public Object {
  FW_CLASS_HANDLE()
  explicit Picture(QImage image = {});
  // A JPEG's samples, turned into RGB only when the picture is first drawn or drawn into.
  explicit Picture(std::shared_ptr<const JpegSamples> samples);
  std::int32_t Width() const { return samples_ ? samples_->width : image_.width(); }
  std::int32_t Height() const { return samples_ ? samples_->height : image_.height(); }
  Ref<Graphics> GraphicsContext();  // `Picture.Graphics`
  const QImage& Image() const;
  // For drawing into: the samples no longer tell what the picture shows.
  QImage& Image();
  // The samples the picture was read as, while nothing has been drawn into it.
  const std::shared_ptr<const JpegSamples>& Samples() const { return samples_; }

 private:
  mutable QImage image_;
  std::shared_ptr<const JpegSamples> samples_;
};

// A new picture of that size and bit depth (32: ARGB, transparent; others: RGB, white).
Ref<Picture> NewPicture(std::int32_t width, std::int32_t height, std::int32_t depth);

class Graphics : public Object {
  FW_CLASS_HANDLE()
  explicit Graphics(Ref<Picture> target);
  // Draws part (sx, sy, sw, sh) of `source` scaled into the target rectangle (x, y, w, h).
  void DrawPicture(const Ref<Picture>& source, std::int32_t x, std::int32_t y, std::int32_t w,
                   std::int32_t h, std::int32_t sx, std::int32_t sy, std::int32_t sw,
                   std::int32_t sh);
  // The picture the context draws into.
  const Ref<Picture>& Target() const { return target_; }

 private:
  Ref<Picture> target_;
};

}  // namespace fw
