#include "movie/qt_video_track.h"

#include <utility>

#include "movie/plugin_entrypoints.h"
#include "movie/plugin_call.h"
#include "platform/object/classes.h"
#include "platform/plugin/plugin_picture.h"

namespace frametide {

void QTVideoTrack::SetCompressionType(const std::string& code) {
  if (!handle_) throw fw::NilObjectException("the video track is closed");
  CallMoviePlugin(plugin_entry::QTVideoTrackCompressionTypeSet,
             {fw::PluginHandleArg(handle_), fw::PluginString(code)});
}

void QTVideoTrack::AppendPicture(const fw::Ref<fw::Picture>& picture) {
  if (!handle_) throw fw::NilObjectException("the video track is closed");
  if (!picture) throw fw::NilObjectException("AppendPicture was given no picture");
  // Shared, not copied: the pixels stay with the plug-in's thread until it has taken them.
  HandOffMoviePicture(plugin_entry::QTVideoTrackAppendPicture, handle_, *picture);
}

void QTVideoTrack::Close() {
  if (void* handle = std::exchange(handle_, nullptr))
    CallMoviePlugin(plugin_entry::QTVideoTrackExit, {fw::PluginHandleArg(handle)});
}

void QTVideoTrack::Abandon() {
  handle_ = nullptr;
  DropHandedOffPictures();
  if (movie_) movie_->Abandon();
}

void QTVideoTrack::Exit(fw::Object& self) { dynamic_cast<QTVideoTrack&>(self).Close(); }

const fw::ClassRecord& QTVideoTrack::ClassHandle() {
  if (auto* c = fw::FindClass("QTVideoTrack")) return *c;
  return fw::ClassBuilder("QTVideoTrack", nullptr)
      .Scope("Public")
      .Allocator([] { return new QTVideoTrack; })
      .Finalizer(&QTVideoTrack::Exit)
      .Register();
}

}  // namespace frametide
