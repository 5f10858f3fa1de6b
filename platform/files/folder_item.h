#pragma once

// Folder items: a reference to a file or folder by absolute path; it may name a file that does
// not exist yet.

#include <QImage>
#include <cstdint>
#include <string>

#include "platform/object/object.h"

namespace fw {

class Picture;

class FolderItem : public Object {
  FW_CLASS_HANDLE()
  explicit FolderItem(std::string absolutePath = {});

  // The item of that name inside this folder, whether or not it exists.
  Ref<FolderItem> Child(const std::string& name) const;
  bool Exists() const;
  bool Directory() const;
  std::string AbsolutePath() const { return path_; }
  std::string Name() const;
  // Items of a folder, listed by name; 1-based. Count is 0 for a file.
  std::int32_t Count() const;
  Ref<FolderItem> Item(std::int32_t index) const;
  // The file decoded as a picture; absent when it is no readable picture.
  Ref<Picture> OpenAsPicture() const;

  // Four-character type and creator codes, kept in the file's extended attributes.
  std::string MacType() const;
  void SetMacType(const std::string& code);
  std::string MacCreator() const;
  void SetMacCreator(const std::string& code);

 private:
  std::string path_;
};

// What OpenAsPicture decodes for the item of that absolute path: a null image when it is no
// readable picture. Touches no framework object, so it may run on any thread.
QImage ReadPictureFile(const std::string& absolutePath);
// The same into `image`, whose memory is used again when its size and format fit; false, and
// `image` null, when the file is no readable picture.
bool ReadPictureFile(const std::string& absolutePath, QImage& image);

// The root folder of volume `index` (0 is "/"); absent for any other index.
Ref<FolderItem> Volume(std::int32_t index);
// A folder item from a path; mode 0 is an absolute native path.
Ref<FolderItem> GetFolderItem(const std::string& path, std::int32_t mode = 0);

}  // namespace fw
