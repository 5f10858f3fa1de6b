#pragma once

// A JPEG's samples as the file stores them, for readers (a movie encoder) that want Y, Cb and Cr
// and would otherwise get them back from RGB at twice the cost.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw {

struct JpegSamples {
  std::int32_t width = 0, height = 0;
  // Full-range Y at width x height; Cb and Cr at half of each, rounded up.
  const std::uint8_t* Y() const { return memory.data(); }
  const std::uint8_t* Cb() const { return memory.data() + cbAt; }
  const std::uint8_t* Cr() const { return memory.data() + crAt; }
  std::int32_t lumaBytesPerRow = 0, chromaBytesPerRow = 0;
  std::size_t cbAt = 0, crAt = 0;
  // Kept from one read to the next: memory already used does not fault in again.
  std::vector<std::uint8_t> memory;
};

// Reads a JPEG whose colour is stored at half width and half height, as cameras and most
// encoders write it. False for any other file, damaged ones included: such a file is read as a
// picture like any other.
bool ReadJpegSamples(const std::string& absolutePath, JpegSamples& samples);

// The samples as RGB, for drawing.
QImage JpegSamplesImage(const JpegSamples& samples);

}  // namespace fw
