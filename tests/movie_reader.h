#pragma once

// Reads a movie back, for the tests alone: with FFmpeg's own libraries, and box by box.

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
  std::vector<std::uint8_t> cb, cr;  // its colour, at half the width and height
};

// Absent when the file does not open as a movie with a video track.
std::optional<MovieFacts> ReadMovie(const std::string& path, int lumaOfFrame = -1);

// The boxes of a QuickTime file as they stand, read without FFmpeg.
struct MovieBoxes {
  std::string topLevel;  // the top-level box types, in order, blank-separated
  double movieSeconds = 0, trackSeconds = 0, mediaSeconds = 0;  // mvhd, tkhd, mdhd durations
  int edits = 0;                                                // entries of the edit list
  double editMediaStart = -1;  // where the first edit starts in the media, in seconds
  int keyframes = -1;          // entries of the keyframe table; -1 without one
};
std::optional<MovieBoxes> ReadBoxes(const std::string& path);

// The brightness, row by row, of the frame shown at that moment after a seek to it.
std::optional<std::vector<std::uint8_t>> LumaAfterSeek(const std::string& path, double seconds);
