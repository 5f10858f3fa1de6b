#pragma once

// The engine's one way to fail: a MovieError carrying the message the user reads. The plug-in's
// entries turn it into the failure of the call; nothing below them reports failure otherwise.

#include <memory>
#include <stdexcept>
#include <string>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace movie_engine {

class MovieError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// FFmpeg's text for one of its error codes.
std::string AvError(int code);
// The system's text for an errno value.
std::string SystemError(int error);

// FFmpeg objects, freed by the function FFmpeg gives for each.
struct AvFree {
  void operator()(AVCodecContext* encoder) const;
  void operator()(AVFrame* frame) const;
  void operator()(AVPacket* packet) const;
};
template <class T>
using AvPtr = std::unique_ptr<T, AvFree>;

}  // namespace movie_engine
