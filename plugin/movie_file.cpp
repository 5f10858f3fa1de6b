#include "plugin/movie_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "plugin/engine_error.h"

namespace movie_engine {

namespace {

constexpr int kBufferSize = 1 << 16;

// FFmpeg writes through the part file's own descriptor, the one that holds its lock.
int WriteToFile(void* opaque, std::uint8_t* data, int size) {
  const int fd = static_cast<PartFile*>(opaque)->Descriptor();
  int left = size;
  while (left > 0) {
    const ssize_t n = write(fd, data, static_cast<std::size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return AVERROR(errno);
    data += n;
    left -= static_cast<int>(n);
  }
  return size;
}

std::int64_t SeekInFile(void* opaque, std::int64_t offset, int whence) {
  const int fd = static_cast<PartFile*>(opaque)->Descriptor();
  if (whence & AVSEEK_SIZE) {
    struct stat facts {};
    return fstat(fd, &facts) == 0 ? facts.st_size : AVERROR(errno);
  }
  const off_t at = lseek(fd, offset, whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : at;
}

// The movie's clock ticks a whole number of times per frame, so the header's durations are
// exact: at 29.97 fps the usual 1000 ticks a second would make 120 frames last 4.005 s.
std::int64_t MovieTimescale(AVRational rate) {
  const std::int64_t ticks = (1000 + rate.num - 1) / rate.num * std::int64_t{rate.num};
  return ticks <= INT32_MAX ? ticks : 1000;
}

}  // namespace

MovieFile::MovieFile(std::string destination) : destination_(std::move(destination)) {
  const std::string& path = destination_;
  if (path.empty() || path.find('\0') != std::string::npos || path.back() == '/')
    throw MovieError("\"" + path + "\" is not a file a movie can be written to.");
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
    throw MovieError("The movie cannot be written to " + path + ": it is not a plain file.");
  if (avformat_alloc_output_context2(&format_, nullptr, "mov", nullptr) < 0 || !format_)
    throw MovieError("This system's FFmpeg cannot write QuickTime movies.");
  try {
    part_ = std::make_unique<PartFile>(destination_);
  } catch (...) {
    avformat_free_context(format_);
    throw;
  }
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  format_->pb = buffer ? avio_alloc_context(buffer, kBufferSize, 1, part_.get(), nullptr,
                                            WriteToFile, SeekInFile)
                       : nullptr;
  if (!format_->pb) {
    av_free(buffer);
    avformat_free_context(format_);
    throw MovieError("Not enough memory to write a movie.");
  }
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
}

MovieFile::~MovieFile() { Close(); }

void MovieFile::Close() {
  if (!format_) return;
  if (format_->pb) av_freep(&format_->pb->buffer);
  avio_context_free(&format_->pb);
  avformat_free_context(format_);
  format_ = nullptr;
}

void MovieFile::Fail(const std::string& reason) {
  failed_ = true;
  if (part_) part_->Discard();
  // Without its index at the end, nothing written so far would play.
  throw MovieError("Writing the movie " + destination_ + " failed: " + reason +
                   ". Nothing of it was kept.");
}

void MovieFile::CheckWritten(int result) {
  const int ioError = format_->pb->error;
  if (ioError < 0) Fail(AvError(ioError));
  if (result < 0) Fail(AvError(result));
}

AVStream& MovieFile::AddVideoStream(const AVCodecContext& encoder) {
  stream_ = avformat_new_stream(format_, nullptr);
  if (!stream_) throw MovieError("Not enough memory for the video track.");
  avcodec_parameters_from_context(stream_->codecpar, &encoder);
  stream_->time_base = encoder.time_base;
  stream_->avg_frame_rate = encoder.framerate;
  AVDictionary* options = nullptr;
  av_dict_set_int(&options, "movie_timescale", MovieTimescale(encoder.framerate), 0);
  // Presentation starts at 0 although the encoder's reordering delays the first frame.
  av_dict_set_int(&options, "use_editlist", 1, 0);
  const int written = avformat_write_header(format_, &options);
  av_dict_free(&options);
  CheckWritten(written);
  return *stream_;
}

void MovieFile::Write(AVPacket& packet, const AVCodecContext& encoder) {
  if (failed_) return;
  // Each frame lasts one frame period, the last one too.
  packet.duration = 1;
  av_packet_rescale_ts(&packet, encoder.time_base, stream_->time_base);
  packet.stream_index = stream_->index;
  CheckWritten(av_write_frame(format_, &packet));
  ++frames_;
}

void MovieFile::Finish() {
  if (failed_ || !part_) return;
  if (frames_ == 0) {
    part_->Discard();
    return;
  }
  CheckWritten(av_write_trailer(format_));
  avio_flush(format_->pb);
  CheckWritten(0);
  try {
    part_->PutInPlace();
  } catch (const MovieError& e) {
    failed_ = true;
    part_->Discard();
    throw MovieError("The finished movie could not be saved as " + destination_ + ": " + e.what() +
                     ". Nothing of it was kept.");
  }
}

}  // namespace movie_engine
