#pragma once

// The movie's one video track: pictures converted to yuv420p and encoded with x264 (preset
// medium, CRF 23) into the movie file. Each picture is converted on the caller's thread while
// the previous one is still being encoded on the track's own thread; a failure there is raised
// by the next call on the track.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/plugin/plugin_abi.h"
#include "plugin/engine_error.h"
#include "plugin/picture_converter.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace movie_engine {

class MovieFile;

class H264Track {
 public:
  // Frame sides from 1 to 16384; frame rates from 0.001 to 1000.
  H264Track(MovieFile& movie, int width, int height, double frameRate);
  ~H264Track();  // waits for the frame being encoded
  H264Track(const H264Track&) = delete;
  H264Track& operator=(const H264Track&) = delete;

  // The picture becomes the next frame; it is only read during the call.
  void Append(const ft_image& image);
  // Flushes the frames the encoder holds back into the movie and lets go of it.
  void Finish();
  bool Finished() const { return movie_ == nullptr; }

 private:
  // Hands a frame to the encoder (none: the end) and its packets to the movie.
  void Encode(AVFrame* frame);
  // Waits for the frame being encoded; its failure, if any, is raised here.
  void Settle();
  void EncodeLater(AVFrame* frame);
  void RunEncoder();  // the track's thread

  MovieFile* movie_;
  int width_, height_;  // as asked for; the encoded frame is rounded up to even sides
  AvPtr<AVCodecContext> encoder_;
  AvPtr<AVPacket> packet_;
  AvPtr<AVFrame> frames_[2];  // one converted while the other is encoded
  int next_ = 0;
  std::int64_t nextPts_ = 0;
  PictureConverter converter_;

  std::mutex mutex_;
  std::condition_variable changed_;
  AVFrame* queued_ = nullptr;  // for the track's thread, while `busy_`
  bool busy_ = false, stopping_ = false;
  std::exception_ptr failure_;
  std::thread encoderThread_;
};

}  // namespace movie_engine
