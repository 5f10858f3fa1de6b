#pragma once

// Turns the application's pictures (BGRA, or a JPEG's samples) into the encoder's yuv420p frames.

#include <cstdint>

#include "platform/plugin/plugin_abi.h"

struct AVFrame;
struct SwsContext;

namespace movie_engine {

class PictureConverter {
 public:
  PictureConverter() = default;
  ~PictureConverter();
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // Fits the picture into a width x height frame keeping its proportions, centred on black.
  // The frame may be larger (even sides); what lies beyond width x height stays black.
  void Convert(const ft_image& image, int width, int height, AVFrame& frame);

 private:
  // A JPEG's samples at the frame's size only change range.
  static void CopyToVideoRange(const ft_image& image, std::uint8_t* const target[4],
                               const int targetStride[4]);

  SwsContext* scaler_ = nullptr;        // from BGRA
  SwsContext* planarScaler_ = nullptr;  // from a JPEG's samples
};

}  // namespace movie_engine
