// The movie engine's routines as the plug-in forwards them: each checks the ABI's arguments and
// turns the engine's MovieError into the call's failure; the work is done by MovieFile (the
// file), H264Track (the encoder) and PictureConverter (the pixels).

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/plugin/plugin_abi.h"
#include "plugin/h264_track.h"
#include "plugin/handle_registry.h"
#include "plugin/movie_declarations.h"
#include "plugin/movie_engine.h"
#include "plugin/movie_file.h"

namespace movie_engine {

namespace {

struct Track;

struct Movie : Handle {
  explicit Movie(std::string path) : file(std::move(path)) {}
  MovieFile file;
  Track* track = nullptr;  // not owned; the track is a handle of its own
};

struct Track : Handle {
  Track(Movie& m, int width, int height, double fps)
      : movie(&m), encoder(m.file, width, height, fps) {}
  Movie* movie;  // none once either is released
  H264Track encoder;
};

// Never destroyed: at exit, unreleased movies are abandoned, not finished or joined.
HandleRegistry& Handles() {
  static auto* handles = new HandleRegistry;
  return *handles;
}

int Fail(ft_plugin_call* call, const std::string& message) {
  std::snprintf(call->error, sizeof call->error, "%s", message.c_str());
  return 1;
}

int Succeed(ft_plugin_call* call, void* handle) {
  call->result.kind = FT_VALUE_HANDLE;
  call->result.as.handle = handle;
  return 0;
}

// Runs the routine's work, turning the engine's failure into the call's.
template <class Work>
int Guarded(ft_plugin_call* call, Work&& work) {
  try {
    return work();
  } catch (const MovieError& e) {
    return Fail(call, e.what());
  } catch (const std::bad_alloc&) {
    return Fail(call, "Not enough memory to write the movie.");
  } catch (const std::exception& e) {
    // Nothing may cross the C boundary; the library's own failures (a thread that cannot be
    // started) end the call like the engine's.
    return Fail(call, std::string("The movie engine failed: ") + e.what() + ".");
  }
}

// Detaches a track from its movie after flushing it into the movie.
void FinishTrack(Track& track) {
  Movie* movie = std::exchange(track.movie, nullptr);
  if (!movie) return;
  movie->track = nullptr;
  track.encoder.Finish();
}

// "FolderItem.CreateMovie() As EditableMovie": args[0] is the movie file's absolute path.
int CreateMovie(ft_plugin_call* call) {
  if (call->arg_count != 1 || call->args[0].kind != FT_VALUE_STRING)
    return Fail(call, "CreateMovie needs the path of the movie file");
  const ft_string p = call->args[0].as.string;
  std::string path(p.data ? p.data : "", p.size);
  return Guarded(
      call, [&] { return Succeed(call, Handles().Add(std::make_unique<Movie>(std::move(path)))); });
}

// "EditableMovie.NewVideoTrack(width As Integer, height As Integer, frameRate As double) As
// QTVideoTrack"
int NewVideoTrack(ft_plugin_call* call) {
  if (call->arg_count != 4 || call->args[1].kind != FT_VALUE_INT32 ||
      call->args[2].kind != FT_VALUE_INT32 || call->args[3].kind != FT_VALUE_DOUBLE)
    return Fail(call, "NewVideoTrack needs a movie, a width, a height and a frame rate");
  Movie* movie = Handles().Find<Movie>(call->args[0]);
  if (!movie) return Fail(call, "NewVideoTrack was not given a movie of this plug-in");
  if (movie->track || movie->file.HasStream())
    return Fail(call, "This movie has its video track already; it takes only one.");
  return Guarded(call, [&] {
    auto track = std::make_unique<Track>(*movie, call->args[1].as.int32, call->args[2].as.int32,
                                         call->args[3].as.real);
    movie->track = track.get();
    return Succeed(call, Handles().Add(std::move(track)));
  });
}

// "QTVideoTrack.CompressionType.Set": H.264 is the only codec.
int SetCompressionType(ft_plugin_call* call) {
  if (call->arg_count != 2 || call->args[1].kind != FT_VALUE_STRING)
    return Fail(call, "CompressionType needs a track and a four-character code");
  if (!Handles().Find<Track>(call->args[0]))
    return Fail(call, "CompressionType was not given a video track of this plug-in");
  const ft_string code = call->args[1].as.string;
  const std::string_view text(code.data ? code.data : "", code.size);
  if (text != "avc1")
    return Fail(call, "The compression type \"" + std::string(text) +
                          "\" is not supported: movies are written with H.264 (\"avc1\") only.");
  return 0;
}

// "QTVideoTrack.AppendPicture(pic As Picture)"
int AppendPicture(ft_plugin_call* call) {
  if (call->arg_count != 2 || call->args[1].kind != FT_VALUE_IMAGE)
    return Fail(call, "AppendPicture needs a track and a picture");
  Track* track = Handles().Find<Track>(call->args[0]);
  if (!track) return Fail(call, "AppendPicture was not given a video track of this plug-in");
  const ft_image& image = call->args[1].as.image;
  if (image.layout != FT_IMAGE_BGRA && image.layout != FT_IMAGE_YCBCR_420)
    return Fail(call, "AppendPicture was given a picture laid out in a way this plug-in cannot read");
  const bool planar = image.layout == FT_IMAGE_YCBCR_420;
  if (image.width < 1 || image.height < 1 || !image.pixels ||
      image.bytes_per_row < (planar ? 1 : 4) * static_cast<std::int64_t>(image.width) ||
      (planar && (!image.cb || !image.cr ||
                  image.chroma_bytes_per_row < (static_cast<std::int64_t>(image.width) + 1) / 2)))
    return Fail(call, "AppendPicture was given an empty or malformed picture");
  return Guarded(call, [&] {
    track->encoder.Append(image);
    return 0;
  });
}

// "QTVideoTrack.__exit": flushes the encoder into the movie.
int ReleaseTrack(ft_plugin_call* call) {
  Track* track = call->arg_count == 1 ? Handles().Find<Track>(call->args[0]) : nullptr;
  if (!track) return Fail(call, "QTVideoTrack.__exit was not given a video track of this plug-in");
  const std::unique_ptr<Handle> owned = Handles().Remove(track);
  return Guarded(call, [&] {
    FinishTrack(*track);
    return 0;
  });
}

// "EditableMovie.__exit": writes the movie out complete and closes it.
int ReleaseMovie(ft_plugin_call* call) {
  Movie* movie = call->arg_count == 1 ? Handles().Find<Movie>(call->args[0]) : nullptr;
  if (!movie) return Fail(call, "EditableMovie.__exit was not given a movie of this plug-in");
  const std::unique_ptr<Handle> owned = Handles().Remove(movie);
  return Guarded(call, [&] {
    if (movie->track) FinishTrack(*movie->track);
    movie->file.Finish();
    return 0;
  });
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

}  // namespace movie_engine

extern "C" __attribute__((visibility("default"))) const ft_plugin_entry* ft_movie_engine_entries(
    size_t* count) {
  // FFmpeg's notes would land on the application's terminal; only its errors are worth that.
  av_log_set_level(AV_LOG_ERROR);
  *count = std::size(movie_engine::kEntries);
  return movie_engine::kEntries;
}
