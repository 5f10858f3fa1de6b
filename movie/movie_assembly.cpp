// Movie assembly: a folder of images into one movie file.

#include <string>
#include <vector>

#include "movie/editable_movie.h"
#include "movie/picture_read_ahead.h"
#include "movie/qt_video_track.h"
#include "platform/dialogs/dialogs.h"
#include "platform/files/picture.h"
#include "platform/runtime/runtime.h"
#include "platform/text/text.h"
#include "window/window1.h"

namespace frametide {

namespace {

// Decoded on another thread while the loop goes on: a large picture takes a while.
fw::Ref<fw::Picture> OpenPicture(const std::string& path) {
  PictureReadAhead picture({path});
  return picture.Open(0);
}

// The absolute paths of the folder's items that name a JPEG image, in the folder's order.
std::vector<std::string> CollectImages(const fw::Ref<fw::FolderItem>& folder) {
  std::vector<std::string> images;
  // The count is read before every pass: items added meanwhile are taken in too.
  for (std::int32_t i = 1; i <= folder->Count(); ++i) {
    // An item removed meanwhile is simply not there.
    if (const fw::Ref<fw::FolderItem> item = folder->Item(i)) {
      const std::string path = item->AbsolutePath();
      if (fw::InStr(path, ".jpg") > 0) images.push_back(path);
    }
    fw::RuntimeBackgroundTask();
  }
  return images;
}

// Closes a track (which flushes the frames the encoder still holds into the movie) or a movie
// (which writes it out complete) and releases it; the plug-in's failure, if any.
template <class T>
std::string CloseAndRelease(fw::Ref<T>& object) {
  std::string failure;
  if (!object) return failure;
  try {
    object->Close();
  } catch (const fw::PluginException& e) {
    failure = e.Message();
  }
  object.Reset();
  return failure;
}

}  // namespace

void Window1::PushButton2_Action() {
  const auto folderDialog = fw::MakeRef<fw::SelectFolderDialog>();
  folderDialog->ActionButtonCaption = "Select";
  folderDialog->Title = "Title Property";
  folderDialog->PromptText = "Select the folder containing the images";
  folderDialog->InitialDirectory = fw::Volume(0);
  const fw::Ref<fw::FolderItem> folder = folderDialog->ShowModal();
  if (!folder) return;

  const std::vector<std::string> images = CollectImages(folder);

  const auto saveDialog = fw::MakeRef<fw::SaveAsDialog>();
  saveDialog->InitialDirectory = fw::Volume(0)->Child("Documents");
  saveDialog->PromptText = "save the movie where?";
  saveDialog->SuggestedFileName = "frametidemovie.mov";
  saveDialog->Title = "save movie where?";
  const fw::Ref<fw::FolderItem> file = saveDialog->ShowModal();
  if (!file || images.size() < 2) return;

  // The frame size is the first readable picture's; only it is held, and only for its size.
  std::int32_t width = 0, height = 0;
  for (const std::string& path : images) {
    if (const fw::Ref<fw::Picture> picture = OpenPicture(path)) {
      width = picture->Width();
      height = picture->Height();
      break;
    }
  }
  if (width == 0) {
    fw::MsgBox("None of the images could be read, so no movie was made.");
    return;
  }

  // Decoding starts now, while the plug-in loads its encoder.
  PictureReadAhead pictures(images);
  fw::Ref<EditableMovie> movie;
  fw::Ref<QTVideoTrack> track;
  try {
    movie = EditableMovie::CreateMovie(file);
    track = movie->NewVideoTrack(width, height, fw::Val(fps()->Text()));
    track->SetCompressionType("avc1");
  } catch (const fw::QuitUnwind&) {
    if (track) track->Abandon();
    if (movie) movie->Abandon();
    throw;
  } catch (const fw::PluginException& e) {
    // Released unfinished, the movie leaves no file behind.
    track.Reset();
    movie.Reset();
    fw::MsgBox(e.Message());
    return;
  }

  const auto highest = static_cast<std::int32_t>(images.size()) - 1;
  std::string failure;
  try {
    for (std::int32_t i = 0; i <= highest && failure.empty(); ++i) {
      if (const fw::Ref<fw::Picture> picture = pictures.Open(static_cast<std::size_t>(i))) {
        try {
          track->AppendPicture(picture);
          ProgressBar1()->SetMaximum(0);
          if (i > 0) {
            ProgressBar1()->SetMaximum(100);
            ProgressBar1()->SetValue(
                fw::ToInt32(static_cast<double>(i) / static_cast<double>(highest) * 100.0));
          }
        } catch (const fw::PluginException& e) {
          failure = e.Message();
        }
      }
      Refresh(true);
      fw::RuntimeBackgroundTask();
    }
    // The encoder gives up its last frames only when the track is released: done before the
    // message, so that "all done" is never shown for a movie that failed.
    if (failure.empty()) failure = CloseAndRelease(track);
  } catch (const fw::QuitUnwind&) {
    // The program is ending: the movie is abandoned, not released to the plug-in, which would
    // finish the file. What it wrote goes when the process ends.
    if (track) track->Abandon();
    if (movie) movie->Abandon();
    throw;
  }
  ProgressBar1()->SetMaximum(100);
  ProgressBar1()->SetValue(0);

  if (!failure.empty()) {
    // What was written before the failure is closed as a movie before the user reads why.
    CloseAndRelease(track);
    const std::string closing = CloseAndRelease(movie);
    fw::MsgBox(closing.empty() || closing == failure ? failure : failure + "\n" + closing);
    return;
  }
  fw::MsgBox("all done");
  // The movie is written out complete only now, when it is released.
  const std::string closing = CloseAndRelease(movie);
  if (!closing.empty()) fw::MsgBox(closing);
}

}  // namespace frametide
