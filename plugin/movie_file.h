#pragma once

// A QuickTime movie file as FFmpeg's mov muxer writes it by default: the samples in one `mdat`,
// then a `moov` with the real durations, an edit list and the sample tables, keyframes
// included. Until it is complete it stands in a part file beside its destination; it replaces
// the destination only when the movie is finished.

#include <cstdint>
#include <memory>
#include <string>

#include "plugin/part_file.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace movie_engine {

class MovieFile {
 public:
  explicit MovieFile(std::string destination);
  ~MovieFile();
  MovieFile(const MovieFile&) = delete;
  MovieFile& operator=(const MovieFile&) = delete;

  const std::string& Destination() const { return destination_; }
  bool HasStream() const { return stream_ != nullptr; }
  bool Failed() const { return failed_; }

  // The one video track, described by its encoder; its header is written now.
  AVStream& AddVideoStream(const AVCodecContext& encoder);
  // One encoded frame, its times in the encoder's time base.
  void Write(AVPacket& packet, const AVCodecContext& encoder);
  // Writes the index and puts the movie in place; a movie without a frame leaves nothing.
  void Finish();

  // Gives up the movie, removing what was written, and raises the failure for the user.
  [[noreturn]] void Fail(const std::string& reason);

 private:
  void CheckWritten(int result);
  void Close();

  std::string destination_;
  std::unique_ptr<PartFile> part_;
  AVFormatContext* format_ = nullptr;
  AVStream* stream_ = nullptr;
  std::int64_t frames_ = 0;
  bool failed_ = false;
};

}  // namespace movie_engine
