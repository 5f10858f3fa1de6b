#pragma once

// Turns the application's BGRA pictures into the encoder's yuv420p frames.

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
  SwsContext* scaler_ = nullptr;
};

}  // namespace movie_engine
