#include "plugin/h264_track.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include "plugin/movie_file.h"

namespace movie_engine {

namespace {

// Frame rates outside this range make sample durations the container cannot hold.
constexpr double kMinFrameRate = 0.001;
constexpr double kMaxFrameRate = 1000;
// x264's limit for either side of a frame.
constexpr int kMaxFrameSide = 16384;

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The frame rate as the exact fraction its shortest decimal form gives (29.97 -> 2997/100).
AVRational ExactRate(double fps) {
  char text[64];
  const auto written = std::to_chars(text, text + sizeof text, fps, std::chars_format::fixed);
  std::int64_t num = 0, den = 1;
  bool fraction = false;
  for (const char* p = text; p < written.ptr; ++p) {
    if (*p == '.') {
      fraction = true;
      continue;
    }
    if (num > INT32_MAX || den > INT32_MAX) return av_d2q(fps, 1000000);
    num = num * 10 + (*p - '0');
    if (fraction) den *= 10;
  }
  const std::int64_t common = std::gcd(num, den);
  num /= common;
  den /= common;
  if (num > INT32_MAX || den > INT32_MAX) return av_d2q(fps, 1000000);
  return AVRational{static_cast<int>(num), static_cast<int>(den)};
}

void CheckFrame(int width, int height, double fps) {
  if (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide)
    throw MovieError("A frame of " + std::to_string(width) + " x " + std::to_string(height) +
                     " cannot be used: width and height must lie between 1 and " +
                     std::to_string(kMaxFrameSide) + ".");
  if (!std::isfinite(fps) || fps < kMinFrameRate || fps > kMaxFrameRate)
    throw MovieError("The frame rate " + Number(fps) +
                     " cannot be used: give a number of frames per second from " +
                     Number(kMinFrameRate) + " to " + Number(kMaxFrameRate) +
                     ", such as 25, 12.5 or 29.97.");
}

}  // namespace

H264Track::H264Track(MovieFile& movie, int width, int height, double frameRate)
    : movie_(&movie), width_(width), height_(height) {
  CheckFrame(width, height, frameRate);
  const AVRational rate = ExactRate(frameRate);
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) throw MovieError("This system's FFmpeg has no H.264 encoder (libx264).");
  encoder_.reset(avcodec_alloc_context3(codec));
  packet_.reset(av_packet_alloc());
  for (auto& frame : frames_) frame.reset(av_frame_alloc());
  if (!encoder_ || !packet_ || !frames_[0] || !frames_[1])
    throw MovieError("Not enough memory for the H.264 encoder.");
  AVCodecContext& c = *encoder_;
  c.width = width + (width & 1);
  c.height = height + (height & 1);
  c.pix_fmt = AV_PIX_FMT_YUV420P;
  // x264 picks its own number of threads.
  c.thread_count = 0;
  c.time_base = av_inv_q(rate);
  c.framerate = rate;
  c.sample_aspect_ratio = AVRational{1, 1};
  // What the conversion from the pictures' RGB produces.
  c.color_range = AVCOL_RANGE_MPEG;
  c.colorspace = AVCOL_SPC_SMPTE170M;
  c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // the avc1 sample description carries it
  av_opt_set(c.priv_data, "preset", "medium", 0);
  av_opt_set(c.priv_data, "crf", "23", 0);
  const int opened = avcodec_open2(&c, codec, nullptr);
  if (opened < 0) throw MovieError("The H.264 encoder cannot be started: " + AvError(opened) + ".");
  for (auto& frame : frames_) {
    frame->format = c.pix_fmt;
    frame->width = c.width;
    frame->height = c.height;
    const int got = av_frame_get_buffer(frame.get(), 0);
    if (got < 0) throw MovieError("Not enough memory for a frame: " + AvError(got) + ".");
  }
  movie.AddVideoStream(c);
  encoderThread_ = std::thread([this] { RunEncoder(); });
}

H264Track::~H264Track() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (encoderThread_.joinable()) encoderThread_.join();
}

void H264Track::Settle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void H264Track::EncodeLater(AVFrame* frame) {
  {
    const std::lock_guard lock(mutex_);
    queued_ = frame;
    busy_ = true;
  }
  changed_.notify_all();
}

void H264Track::RunEncoder() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stopping_; });
    if (!busy_) return;
    AVFrame* frame = std::exchange(queued_, nullptr);
    lock.unlock();
    std::exception_ptr failure;
    try {
      Encode(frame);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure;
    busy_ = false;
    changed_.notify_all();
  }
}

void H264Track::Encode(AVFrame* frame) {
  const int sent = avcodec_send_frame(encoder_.get(), frame);
  if (sent < 0 && !(frame == nullptr && sent == AVERROR_EOF))
    movie_->Fail("the encoder stopped: " + AvError(sent));
  for (;;) {
    const int got = avcodec_receive_packet(encoder_.get(), packet_.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
    if (got < 0) movie_->Fail("the encoder stopped: " + AvError(got));
    try {
      movie_->Write(*packet_, *encoder_);
    } catch (...) {
      av_packet_unref(packet_.get());
      throw;
    }
    av_packet_unref(packet_.get());
  }
}

void H264Track::Append(const ft_image& image) {
  if (!movie_) throw MovieError("This track's movie is finished; it takes no more frames.");
  // Converted while the previous frame is still being encoded; that frame's failure, if any,
  // is this call's.
  AVFrame* frame = frames_[next_].get();
  converter_.Convert(image, width_, height_, *frame);
  Settle();
  if (movie_->Failed())
    throw MovieError("Writing the movie " + movie_->Destination() +
                     " failed before; it takes no more frames.");
  frame->pts = nextPts_++;
  next_ ^= 1;
  EncodeLater(frame);
}

void H264Track::Finish() {
  if (!movie_) return;
  try {
    Settle();
    if (!movie_->Failed()) Encode(nullptr);
  } catch (...) {
    movie_ = nullptr;
    throw;
  }
  movie_ = nullptr;
}

}  // namespace movie_engine
