#include "plugin/picture_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "plugin/engine_error.h"

namespace movie_engine {

namespace {

// Full range to video range, rounded: Y from 0-255 to 16-235, Cb and Cr to 16-240 about 128.
// In 16.16 fixed point, so that the compiler can work on many samples at once.
void Rescale(const std::uint8_t* from, std::uint8_t* to, int count, std::uint32_t scale,
             std::uint32_t offset) {
  for (int i = 0; i < count; ++i) to[i] = static_cast<std::uint8_t>((from[i] * scale + offset) >> 16);
}

void RescalePlane(const std::uint8_t* from, int fromStride, std::uint8_t* to, int toStride,
                  int width, int height, std::uint32_t scale, std::uint32_t offset) {
  for (int row = 0; row < height; ++row)
    Rescale(from + static_cast<std::ptrdiff_t>(row) * fromStride,
            to + static_cast<std::ptrdiff_t>(row) * toStride, width, scale, offset);
}

// Round(219 / 255 * 65536); 16, and a half for rounding.
constexpr std::uint32_t kLumaScale = 56284, kLumaOffset = (16u << 16) + 32768;
// Round(224 / 255 * 65536); 128 - 128 * 224 / 255, and a half.
constexpr std::uint32_t kChromaScale = 57569, kChromaOffset = 1019789 + 32768;

}  // namespace

PictureConverter::~PictureConverter() {
  sws_freeContext(scaler_);
  sws_freeContext(planarScaler_);
}

void PictureConverter::CopyToVideoRange(const ft_image& image, std::uint8_t* const target[4],
                                        const int targetStride[4]) {
  const int chromaWidth = (image.width + 1) / 2, chromaHeight = (image.height + 1) / 2;
  RescalePlane(image.pixels, image.bytes_per_row, target[0], targetStride[0], image.width,
               image.height, kLumaScale, kLumaOffset);
  RescalePlane(image.cb, image.chroma_bytes_per_row, target[1], targetStride[1], chromaWidth,
               chromaHeight, kChromaScale, kChromaOffset);
  RescalePlane(image.cr, image.chroma_bytes_per_row, target[2], targetStride[2], chromaWidth,
               chromaHeight, kChromaScale, kChromaOffset);
}

void PictureConverter::Convert(const ft_image& image, int width, int height, AVFrame& frame) {
  const int made = av_frame_make_writable(&frame);
  if (made < 0) throw MovieError("Not enough memory for a frame: " + AvError(made) + ".");
  const double scale = std::min(static_cast<double>(width) / image.width,
                                static_cast<double>(height) / image.height);
  const int w = std::clamp(static_cast<int>(std::lround(image.width * scale)), 1, width);
  const int h = std::clamp(static_cast<int>(std::lround(image.height * scale)), 1, height);
  // Even offsets keep the colour samples, which cover two by two pixels, in step.
  const int x = (width - w) / 2 & ~1, y = (height - h) / 2 & ~1;
  if (w != frame.width || h != frame.height) {
    for (int row = 0; row < frame.height; ++row)
      std::memset(frame.data[0] + row * frame.linesize[0], 16, frame.width);
    for (int plane = 1; plane < 3; ++plane)
      for (int row = 0; row < (frame.height + 1) / 2; ++row)
        std::memset(frame.data[plane] + row * frame.linesize[plane], 128, (frame.width + 1) / 2);
  }
  std::uint8_t* target[4] = {frame.data[0] + y * frame.linesize[0] + x,
                             frame.data[1] + y / 2 * frame.linesize[1] + x / 2,
                             frame.data[2] + y / 2 * frame.linesize[2] + x / 2, nullptr};
  if (image.layout == FT_IMAGE_YCBCR_420 && w == image.width && h == image.height) {
    CopyToVideoRange(image, target, frame.linesize);
    return;
  }
  const bool planar = image.layout == FT_IMAGE_YCBCR_420;
  // Bicubic, as the ffmpeg command line converts.
  SwsContext*& scaler = planar ? planarScaler_ : scaler_;
  scaler = sws_getCachedContext(scaler, image.width, image.height,
                                planar ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGRA, w, h,
                                AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!scaler)
    throw MovieError("A picture of " + std::to_string(image.width) + " x " +
                     std::to_string(image.height) + " cannot be converted.");
  if (planar) {
    // A JPEG's samples use the full range; the movie's, like every H.264 movie's, the video range.
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(scaler, bt601, 1, bt601, 0, 0, 1 << 16, 1 << 16);
  }
  const std::uint8_t* source[4] = {image.pixels, image.cb, image.cr, nullptr};
  const int sourceStride[4] = {image.bytes_per_row, image.chroma_bytes_per_row,
                               image.chroma_bytes_per_row, 0};
  sws_scale(scaler, source, sourceStride, 0, image.height, target, frame.linesize);
}

}  // namespace movie_engine
