#pragma once

// Reads a movie back with FFmpeg's own libraries, for the tests alone.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct MovieFacts {
  std::string codec;  // FFmpeg's codec name
  std::string tag;    // the four-character code in the file
  int width = 0, height = 0;
  int rateNum = 0, rateDen = 0;    // the average frame rate
  int frames = 0;                  // frames of the video track
  int decoded = 0;                 // frames that decoded
  std::vector<std::uint8_t> luma;  // brightness of the frame asked for, row by row
};

// Absent when the file does not open as a movie with a video track.
std::optional<MovieFacts> ReadMovie(const std::string& path, int lumaOfFrame = -1);
