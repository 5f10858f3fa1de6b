#include "movie/editable_movie.h"

#include <utility>

#include "movie/plugin_entrypoints.h"
#include "movie/plugin_call.h"
#include "movie/qt_video_track.h"
#include "platform/object/classes.h"

namespace frametide {

namespace {

void* MadeObject(const fw::Value& result, const char* what) {
  void* handle = fw::PluginHandleOf(result);
  if (!handle) throw fw::PluginException(std::string("the movie plug-in made no ") + what);
  return handle;
}

}  // namespace

fw::Ref<EditableMovie> EditableMovie::CreateMovie(const fw::Ref<fw::FolderItem>& file) {
  const std::string path = file->AbsolutePath();
  const fw::Value movie =
      CallMoviePlugin(plugin_entry::FolderItemCreateMovie, {fw::PluginString(path)});
  return fw::MakeRef<EditableMovie>(MadeObject(movie, "movie"));
}

fw::Ref<QTVideoTrack> EditableMovie::NewVideoTrack(std::int32_t width, std::int32_t height,
                                                   double frameRate) {
  if (!handle_) throw fw::NilObjectException("the movie is closed");
  const fw::Value track = CallMoviePlugin(plugin_entry::EditableMovieNewVideoTrack,
                                     {fw::PluginHandleArg(handle_), fw::PluginInt32(width),
                                      fw::PluginInt32(height), fw::PluginDouble(frameRate)});
  return fw::MakeRef<QTVideoTrack>(MadeObject(track, "video track"), fw::Ref<EditableMovie>(this));
}

void EditableMovie::Close() {
  // Finishing the file is waited for even when the program is to end.
  if (void* handle = std::exchange(handle_, nullptr))
    CallMoviePlugin(plugin_entry::EditableMovieExit, {fw::PluginHandleArg(handle)}, false);
}

void EditableMovie::Abandon() { handle_ = nullptr; }

void EditableMovie::Exit(fw::Object& self) { dynamic_cast<EditableMovie&>(self).Close(); }

const fw::ClassRecord& EditableMovie::ClassHandle() {
  if (auto* c = fw::FindClass("EditableMovie")) return *c;
  return fw::ClassBuilder("EditableMovie", nullptr)
      .Scope("Public")
      .Allocator([] { return new EditableMovie; })
      .Finalizer(&EditableMovie::Exit)
      .Register();
}

}  // namespace frametide
