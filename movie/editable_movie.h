#pragma once

// A movie being written by the movie-editing plug-in. Releasing it finishes the file.

#include <cstdint>

#include "platform/files/folder_item.h"
#include "platform/object/object.h"

namespace frametide {

class QTVideoTrack;

class EditableMovie : public fw::Object {
  FW_CLASS_HANDLE()
  explicit EditableMovie(void* handle = nullptr) : handle_(handle) {}

  // `FolderItem.CreateMovie`: a new, empty movie that will be written to the file.
  static fw::Ref<EditableMovie> CreateMovie(const fw::Ref<fw::FolderItem>& file);
  // A new video track of that frame size and rate; the track keeps the movie.
  fw::Ref<QTVideoTrack> NewVideoTrack(std::int32_t width, std::int32_t height, double frameRate);

  // Finishes and closes the file now, raising the plug-in's failure. Releasing the movie does
  // the same when it has not been closed, but can report nothing.
  void Close();
  // Lets the movie go without finishing it; the plug-in removes what it wrote when the
  // process ends.
  void Abandon();

  void* Handle() const { return handle_; }
  static void Exit(fw::Object& self);

 private:
  void* handle_;
};

}  // namespace frametide
