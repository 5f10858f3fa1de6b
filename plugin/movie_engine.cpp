// The movie engine behind the movie plug-in: one H.264 video track in a QuickTime movie,
// written with FFmpeg.
//
// A movie is written to a hidden file beside its destination and renamed over it when it is
// complete, so a movie that fails before its first frame leaves nothing behind and an older
// file of that name survives. The movie is cut into fragments of about a second, each flushed
// to disk as soon as it is whole: when the disk fills up half-way, the file is cut back to the
// last whole fragment and still plays.
//
// Every routine runs on the caller's thread, except that a converted picture is handed to the
// encoder on a thread of its track's while the caller reads the next one; a failure there is
// reported by the next call on the track. x264 runs threads of its own inside an encode.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <numeric>
#include <set>
#include <string>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/cpu.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "platform/plugin_abi.h"
#include "plugin/movie_declarations.h"

namespace {

// Frame rates outside this range make sample durations the container cannot hold.
constexpr double kMinFrameRate = 0.001;
constexpr double kMaxFrameRate = 1000;
// x264's limit for either side of a frame.
constexpr int kMaxFrameSide = 16384;

struct Track;

struct Handle {
  virtual ~Handle() = default;
};

struct Movie : Handle {
  std::string path;      // where the finished movie goes
  std::string partPath;  // written here until it is finished
  AVFormatContext* format = nullptr;
  Track* track = nullptr;
  bool started = false;  // header written
  bool failed = false;
  std::int64_t keptBytes = 0;   // end of the last fragment known to be on disk
  std::int64_t keptFrames = 0;  // frames in the fragments up to keptBytes
  ~Movie() override;
};

struct Track : Handle {
  Movie* movie = nullptr;  // none once the movie has finished it
  AVStream* stream = nullptr;
  AVCodecContext* encoder = nullptr;
  AVFrame* frame = nullptr;  // the one picture being encoded, in the encoder's format
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  int width = 0, height = 0;  // as asked for; the encoded frame is rounded up to even sides
  std::int64_t nextPts = 0;
  std::int64_t fragmentFrames = 0;  // frames written since the last cut
  std::int64_t fragmentLimit = 1;
  // The encoding of the last frame: its failure, empty when none.
  std::future<std::string> pending;
  ~Track() override;
};

// Every object handed out and not yet released: a stale or foreign handle is refused, not used.
std::set<Handle*>& Live() {
  static std::set<Handle*> live;
  return live;
}

template <class T>
T* LiveObject(const ft_value& value) {
  if (value.kind != FT_VALUE_HANDLE) return nullptr;
  auto* handle = static_cast<Handle*>(value.as.handle);
  if (!Live().count(handle)) return nullptr;
  return dynamic_cast<T*>(handle);
}

int Fail(ft_plugin_call* call, const std::string& message) {
  std::snprintf(call->error, sizeof call->error, "%s", message.c_str());
  return 1;
}

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

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

void FreeEncoder(Track& track) {
  sws_freeContext(track.scaler);
  track.scaler = nullptr;
  av_frame_free(&track.frame);
  av_packet_free(&track.packet);
  avcodec_free_context(&track.encoder);
}

Track::~Track() {
  if (pending.valid()) pending.wait();
  FreeEncoder(*this);
}

// Waits for the picture being encoded; its failure, if any.
std::string Settle(Track& track) { return track.pending.valid() ? track.pending.get() : ""; }

Movie::~Movie() {
  if (format) {
    avio_closep(&format->pb);
    avformat_free_context(format);
  }
  if (!partPath.empty()) unlink(partPath.c_str());
}

// Marks the movie failed and says what is kept of it.
std::string Failure(Movie& movie, const std::string& reason) {
  movie.failed = true;
  std::string message = "Writing the movie " + movie.path + " failed: " + reason + ".";
  if (movie.keptFrames > 0)
    message += " It keeps the " + std::to_string(movie.keptFrames) + " frames written before.";
  else
    message += " Nothing of it could be kept.";
  return message;
}

// Ends the fragment being written and makes sure it reached the disk.
bool CutFragment(Movie& movie, Track& track, std::string* error) {
  if (track.fragmentFrames == 0) return true;
  const int written = av_write_frame(movie.format, nullptr);
  avio_flush(movie.format->pb);
  const int ioError = movie.format->pb->error;
  if (written < 0 || ioError < 0) {
    *error = Failure(movie, AvError(ioError < 0 ? ioError : written));
    return false;
  }
  movie.keptBytes = avio_tell(movie.format->pb);
  movie.keptFrames += track.fragmentFrames;
  track.fragmentFrames = 0;
  return true;
}

// Hands every packet the encoder has ready to the movie.
bool Drain(Track& track, std::string* error) {
  Movie& movie = *track.movie;
  for (;;) {
    const int got = avcodec_receive_packet(track.encoder, track.packet);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    if (got < 0) {
      *error = Failure(movie, "the encoder stopped: " + AvError(got));
      return false;
    }
    const bool key = track.packet->flags & AV_PKT_FLAG_KEY;
    if (track.fragmentFrames >= track.fragmentLimit || (key && track.fragmentFrames > 0)) {
      if (!CutFragment(movie, track, error)) {
        av_packet_unref(track.packet);
        return false;
      }
    }
    av_packet_rescale_ts(track.packet, track.encoder->time_base, track.stream->time_base);
    track.packet->stream_index = track.stream->index;
    const int written = av_write_frame(movie.format, track.packet);
    av_packet_unref(track.packet);
    if (written < 0) {
      *error = Failure(movie, AvError(written));
      return false;
    }
    ++track.fragmentFrames;
  }
}

// Flushes the encoder into the movie and lets go of the track's share of the movie.
bool FinishTrack(Track& track, std::string* error) {
  std::string last = Settle(track);
  Movie* movie = track.movie;
  if (!movie) return true;
  bool ok = last.empty();
  if (!ok) *error = last;
  if (!movie->failed && movie->started) {
    const int sent = avcodec_send_frame(track.encoder, nullptr);
    if (sent < 0 && sent != AVERROR_EOF) {
      *error = Failure(*movie, "the encoder stopped: " + AvError(sent));
      ok = false;
    } else {
      ok = Drain(track, error) && CutFragment(*movie, track, error);
    }
  }
  FreeEncoder(track);
  movie->track = nullptr;
  track.movie = nullptr;
  return ok;
}

// Closes the file; a complete movie, or the whole fragments of a failed one, replace the
// destination. Anything else is removed.
bool FinishMovie(Movie& movie, std::string* error) {
  bool ok = !movie.track || FinishTrack(*movie.track, error);
  if (!movie.format) return ok;
  if (movie.started && !movie.failed) {
    const int trailer = av_write_trailer(movie.format);
    avio_flush(movie.format->pb);
    const int ioError = movie.format->pb->error;
    if (trailer < 0 || ioError < 0) {
      // The fragments are all on disk already; only the index at the end is lost.
      *error = Failure(movie, AvError(ioError < 0 ? ioError : trailer));
      ok = false;
    }
  }
  const int closed = avio_closep(&movie.format->pb);
  if (ok && movie.started && !movie.failed && closed < 0) {
    *error = Failure(movie, AvError(closed));
    ok = false;
  }
  avformat_free_context(movie.format);
  movie.format = nullptr;

  // A movie without a single frame is no movie: nothing is left of it.
  const bool keep = movie.started && movie.keptFrames > 0;
  if (keep && movie.failed && truncate(movie.partPath.c_str(), movie.keptBytes) != 0) {
    if (ok) *error = Failure(movie, std::strerror(errno));
    ok = false;
  }
  if (keep && rename(movie.partPath.c_str(), movie.path.c_str()) != 0) {
    if (ok)
      *error = "The movie could not be saved as " + movie.path + ": " + std::strerror(errno) + ".";
    ok = false;
  } else if (keep) {
    movie.partPath.clear();  // it is the movie now
  }
  return ok;
}

// "FolderItem.CreateMovie() As EditableMovie": args[0] is the movie file's absolute path.
int CreateMovie(ft_plugin_call* call) {
  if (call->arg_count != 1 || call->args[0].kind != FT_VALUE_STRING)
    return Fail(call, "CreateMovie needs the path of the movie file");
  const ft_string p = call->args[0].as.string;
  const std::string path(p.data ? p.data : "", p.size);
  if (path.empty() || path.find('\0') != std::string::npos || path.back() == '/')
    return Fail(call, "\"" + path + "\" is not a file a movie can be written to.");
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
    return Fail(call, "The movie cannot be written to " + path + ": it is not a plain file.");

  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string part = folder + (folder.back() == '/' ? "" : "/") + "." + name + ".XXXXXX";
  const int fd = mkstemp(part.data());
  if (fd < 0)
    return Fail(call, "The movie cannot be written to " + path + ": " + std::strerror(errno) + ".");
  // mkstemp makes the file private; a movie gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);

  auto* movie = new Movie;
  movie->path = path;
  movie->partPath = part;
  if (avformat_alloc_output_context2(&movie->format, nullptr, "mov", nullptr) < 0 ||
      !movie->format) {
    delete movie;
    return Fail(call, "This system's FFmpeg cannot write QuickTime movies.");
  }
  const int opened = avio_open(&movie->format->pb, ("file:" + part).c_str(), AVIO_FLAG_WRITE);
  if (opened < 0) {
    delete movie;
    return Fail(call, "The movie cannot be written to " + path + ": " + AvError(opened) + ".");
  }
  Live().insert(movie);
  call->result.kind = FT_VALUE_HANDLE;
  call->result.as.handle = static_cast<Handle*>(movie);
  return 0;
}

std::string OpenEncoder(Movie& movie, Track& track, AVRational rate) {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) return "This system's FFmpeg has no H.264 encoder (libx264).";
  AVCodecContext* c = track.encoder = avcodec_alloc_context3(codec);
  track.frame = av_frame_alloc();
  track.packet = av_packet_alloc();
  if (!c || !track.frame || !track.packet) return "Not enough memory for the H.264 encoder.";
  c->width = track.width + (track.width & 1);
  c->height = track.height + (track.height & 1);
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  // A quarter more encoding threads than cores keeps them all busy; x264's own choice, half as
  // many again as cores, costs about 9 MB per extra thread at 720p for no speed gained.
  c->thread_count = av_cpu_count() * 5 / 4;
  c->time_base = av_inv_q(rate);
  c->framerate = rate;
  c->sample_aspect_ratio = AVRational{1, 1};
  // What the conversion from the pictures' RGB produces.
  c->color_range = AVCOL_RANGE_MPEG;
  c->colorspace = AVCOL_SPC_SMPTE170M;
  if (movie.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(c->priv_data, "preset", "medium", 0);
  av_opt_set(c->priv_data, "crf", "23", 0);
  int result = avcodec_open2(c, codec, nullptr);
  if (result < 0) return "The H.264 encoder cannot be started: " + AvError(result) + ".";

  track.frame->format = c->pix_fmt;
  track.frame->width = c->width;
  track.frame->height = c->height;
  result = av_frame_get_buffer(track.frame, 0);
  if (result < 0) return "Not enough memory for a frame: " + AvError(result) + ".";

  track.stream = avformat_new_stream(movie.format, nullptr);
  if (!track.stream) return "Not enough memory for the video track.";
  avcodec_parameters_from_context(track.stream->codecpar, c);
  track.stream->time_base = c->time_base;
  track.stream->avg_frame_rate = rate;
  track.fragmentLimit =
      std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(av_q2d(rate))));

  AVDictionary* options = nullptr;
  // Fragments that the plug-in cuts, each playable on its own once written.
  av_dict_set(&options, "movflags", "frag_custom+empty_moov", 0);
  result = avformat_write_header(movie.format, &options);
  av_dict_free(&options);
  if (result >= 0) {
    avio_flush(movie.format->pb);
    result = movie.format->pb->error;
  }
  if (result < 0)
    return "The movie cannot be written to " + movie.path + ": " + AvError(result) + ".";
  movie.started = true;
  movie.keptBytes = avio_tell(movie.format->pb);
  return {};
}

// "EditableMovie.NewVideoTrack(width As Integer, height As Integer, frameRate As double) As
// QTVideoTrack"
int NewVideoTrack(ft_plugin_call* call) {
  if (call->arg_count != 4 || call->args[1].kind != FT_VALUE_INT32 ||
      call->args[2].kind != FT_VALUE_INT32 || call->args[3].kind != FT_VALUE_DOUBLE)
    return Fail(call, "NewVideoTrack needs a movie, a width, a height and a frame rate");
  Movie* movie = LiveObject<Movie>(call->args[0]);
  if (!movie) return Fail(call, "NewVideoTrack was not given a movie of this plug-in");
  if (movie->track || movie->started || movie->format->nb_streams > 0)
    return Fail(call, "This movie has its video track already; it takes only one.");
  const int width = call->args[1].as.int32, height = call->args[2].as.int32;
  const double fps = call->args[3].as.real;
  if (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide)
    return Fail(call, "A frame of " + std::to_string(width) + " x " + std::to_string(height) +
                          " cannot be used: width and height must lie between 1 and " +
                          std::to_string(kMaxFrameSide) + ".");
  if (!std::isfinite(fps) || fps < kMinFrameRate || fps > kMaxFrameRate)
    return Fail(call, "The frame rate " + Number(fps) +
                          " cannot be used: give a number of frames per second from " +
                          Number(kMinFrameRate) + " to " + Number(kMaxFrameRate) +
                          ", such as 25, 12.5 or 29.97.");

  auto* track = new Track;
  track->movie = movie;
  track->width = width;
  track->height = height;
  const std::string error = OpenEncoder(*movie, *track, ExactRate(fps));
  if (!error.empty()) {
    delete track;
    return Fail(call, error);
  }
  movie->track = track;
  Live().insert(track);
  call->result.kind = FT_VALUE_HANDLE;
  call->result.as.handle = static_cast<Handle*>(track);
  return 0;
}

// "QTVideoTrack.CompressionType.Set": H.264 is the only codec.
int SetCompressionType(ft_plugin_call* call) {
  if (call->arg_count != 2 || call->args[1].kind != FT_VALUE_STRING)
    return Fail(call, "CompressionType needs a track and a four-character code");
  if (!LiveObject<Track>(call->args[0]))
    return Fail(call, "CompressionType was not given a video track of this plug-in");
  const ft_string code = call->args[1].as.string;
  const std::string_view text(code.data ? code.data : "", code.size);
  if (text != "avc1")
    return Fail(call, "The compression type \"" + std::string(text) +
                          "\" is not supported: movies are written with H.264 (\"avc1\") only.");
  return 0;
}

// Fits the picture into the asked frame size keeping its proportions, centred on black.
bool ConvertPicture(Track& track, const ft_image& image, std::string* error) {
  AVFrame* f = track.frame;
  const int made = av_frame_make_writable(f);
  if (made < 0) {
    *error = "Not enough memory for a frame: " + AvError(made) + ".";
    return false;
  }
  const double scale = std::min(static_cast<double>(track.width) / image.width,
                                static_cast<double>(track.height) / image.height);
  const int w = std::clamp(static_cast<int>(std::lround(image.width * scale)), 1, track.width);
  const int h = std::clamp(static_cast<int>(std::lround(image.height * scale)), 1, track.height);
  // Even offsets keep the colour samples, which cover two by two pixels, in step.
  const int x = (track.width - w) / 2 & ~1, y = (track.height - h) / 2 & ~1;
  if (w != f->width || h != f->height) {
    for (int row = 0; row < f->height; ++row)
      std::memset(f->data[0] + row * f->linesize[0], 16, f->width);
    for (int plane = 1; plane < 3; ++plane)
      for (int row = 0; row < (f->height + 1) / 2; ++row)
        std::memset(f->data[plane] + row * f->linesize[plane], 128, (f->width + 1) / 2);
  }
  track.scaler =
      sws_getCachedContext(track.scaler, image.width, image.height, AV_PIX_FMT_BGRA, w, h,
                           AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!track.scaler) {
    *error = "A picture of " + std::to_string(image.width) + " x " + std::to_string(image.height) +
             " cannot be converted.";
    return false;
  }
  const uint8_t* source[4] = {image.pixels, nullptr, nullptr, nullptr};
  const int sourceStride[4] = {image.bytes_per_row, 0, 0, 0};
  uint8_t* target[4] = {f->data[0] + y * f->linesize[0] + x,
                        f->data[1] + y / 2 * f->linesize[1] + x / 2,
                        f->data[2] + y / 2 * f->linesize[2] + x / 2, nullptr};
  sws_scale(track.scaler, source, sourceStride, 0, image.height, target, f->linesize);
  return true;
}

// Hands the converted frame to the encoder and its packets to the movie; the failure, if any.
std::string EncodeFrame(Track& track) {
  std::string error;
  const int sent = avcodec_send_frame(track.encoder, track.frame);
  if (sent < 0) return Failure(*track.movie, "the encoder stopped: " + AvError(sent));
  Drain(track, &error);
  return error;
}

// "QTVideoTrack.AppendPicture(pic As Picture)"
int AppendPicture(ft_plugin_call* call) {
  if (call->arg_count != 2 || call->args[1].kind != FT_VALUE_IMAGE)
    return Fail(call, "AppendPicture needs a track and a picture");
  Track* track = LiveObject<Track>(call->args[0]);
  if (!track) return Fail(call, "AppendPicture was not given a video track of this plug-in");
  const std::string before = Settle(*track);
  if (!before.empty()) return Fail(call, before);
  if (!track->movie) return Fail(call, "This track's movie is finished; it takes no more frames.");
  Movie& movie = *track->movie;
  if (movie.failed)
    return Fail(call,
                "Writing the movie " + movie.path + " failed before; it takes no more frames.");
  const ft_image& image = call->args[1].as.image;
  if (image.width < 1 || image.height < 1 || !image.pixels ||
      image.bytes_per_row < 4 * static_cast<std::int64_t>(image.width))
    return Fail(call, "AppendPicture was given an empty or malformed picture");

  // The caller's picture is only lent for the call: it is converted now, encoded meanwhile.
  std::string error;
  if (!ConvertPicture(*track, image, &error)) return Fail(call, error);
  track->frame->pts = track->nextPts++;
  track->pending = std::async(std::launch::async, [track] { return EncodeFrame(*track); });
  return 0;
}

// "QTVideoTrack.__exit": flushes the encoder into the movie.
int ReleaseTrack(ft_plugin_call* call) {
  Track* track = call->arg_count == 1 ? LiveObject<Track>(call->args[0]) : nullptr;
  if (!track) return Fail(call, "QTVideoTrack.__exit was not given a video track of this plug-in");
  std::string error;
  const bool ok = FinishTrack(*track, &error);
  Live().erase(track);
  delete track;
  return ok ? 0 : Fail(call, error);
}

// "EditableMovie.__exit": writes the movie out complete and closes it.
int ReleaseMovie(ft_plugin_call* call) {
  Movie* movie = call->arg_count == 1 ? LiveObject<Movie>(call->args[0]) : nullptr;
  if (!movie) return Fail(call, "EditableMovie.__exit was not given a movie of this plug-in");
  std::string error;
  const bool ok = FinishMovie(*movie, &error);
  Live().erase(movie);
  delete movie;
  return ok ? 0 : Fail(call, error);
}

const ft_plugin_entry kEntries[] = {
    {movie_declaration::kCreateMovie, CreateMovie},
    {movie_declaration::kNewVideoTrack, NewVideoTrack},
    {movie_declaration::kCompressionTypeSet, SetCompressionType},
    {movie_declaration::kAppendPicture, AppendPicture},
    {movie_declaration::kTrackExit, ReleaseTrack},
    {movie_declaration::kMovieExit, ReleaseMovie},
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const ft_plugin_entry* ft_movie_engine_entries(
    size_t* count) {
  // FFmpeg's notes would land on the application's terminal; only its errors are worth that.
  av_log_set_level(AV_LOG_ERROR);
  *count = sizeof kEntries / sizeof kEntries[0];
  return kEntries;
}
