#pragma once

// A video track of a movie being written by the movie-editing plug-in.

#include <string>

#include "movie/editable_movie.h"
#include "platform/object/object.h"
#include "platform/files/picture.h"

namespace frametide {

class QTVideoTrack : public fw::Object {
  FW_CLASS_HANDLE()
  explicit QTVideoTrack(void* handle = nullptr, fw::Ref<EditableMovie> movie = nullptr)
      : handle_(handle), movie_(std::move(movie)) {}

  // `CompressionType`, as a four-character code.
  void SetCompressionType(const std::string& code);
  // The picture becomes the next frame. The plug-in takes it meanwhile: its failure is raised
  // by a later call on the track.
  void AppendPicture(const fw::Ref<fw::Picture>& picture);

  // Flushes the track into its movie now, raising the plug-in's failure. Releasing the track
  // does the same when it has not been closed, but can report nothing.
  void Close();
  // Lets the track and its movie go unfinished, with the pictures not yet taken.
  void Abandon();

  static void Exit(fw::Object& self);

 private:
  void* handle_;
  // Held so that the movie is released after its track, never before.
  fw::Ref<EditableMovie> movie_;
};

}  // namespace frametide
