#include "platform/plugin/plugin_picture.h"

#include <QtGlobal>

#include "platform/plugin/plugin.h"

namespace fw {

// The toolkit's 32-bit formats are B, G, R, A in memory only on little-endian machines.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);

PluginPicture::PluginPicture(const Picture& picture) {
  if (picture.Samples())
    samples_ = picture.Samples();
  else
    *this = PluginPicture(picture.Image());
}

PluginPicture::PluginPicture(std::shared_ptr<const JpegSamples> samples)
    : samples_(std::move(samples)) {}

PluginPicture::PluginPicture(QImage pixels) : pixels_(std::move(pixels)) {
  // Premultiplied pixels read without their alpha are the picture drawn over black.
  if (pixels_.format() != QImage::Format_RGB32 &&
      pixels_.format() != QImage::Format_ARGB32_Premultiplied)
    pixels_.convertTo(QImage::Format_ARGB32_Premultiplied);
}

ft_value PluginPicture::Argument() const {
  if (samples_) {
    ft_value v = PluginImage(samples_->width, samples_->height, samples_->lumaBytesPerRow,
                             samples_->Y());
    v.as.image.layout = FT_IMAGE_YCBCR_420;
    v.as.image.chroma_bytes_per_row = samples_->chromaBytesPerRow;
    v.as.image.cb = samples_->Cb();
    v.as.image.cr = samples_->Cr();
    return v;
  }
  return PluginImage(pixels_.width(), pixels_.height(),
                     static_cast<std::int32_t>(pixels_.bytesPerLine()), pixels_.constBits());
}

}  // namespace fw
