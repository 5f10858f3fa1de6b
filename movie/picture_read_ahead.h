#pragma once

// The pictures of a list of files, decoded a few entries ahead on threads of their own.

#include <QImage>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/object/object.h"
#include "platform/files/jpeg_samples.h"
#include "platform/files/picture.h"

namespace frametide {

class PictureReadAhead {
 public:
  // Starts reading the first entries of `paths` at once.
  explicit PictureReadAhead(std::vector<std::string> paths);
  // Waits only for the pictures being decoded at that moment.
  ~PictureReadAhead();
  PictureReadAhead(const PictureReadAhead&) = delete;
  PictureReadAhead& operator=(const PictureReadAhead&) = delete;

  // Entry `index` opened as GetFolderItem(path, 0) and OpenAsPicture would: absent when it is
  // no readable picture. Entries are asked for in order, each once; the loop goes on handling
  // events while one is still being decoded.
  fw::Ref<fw::Picture> Open(std::size_t index);

 private:
  struct Entry {
    std::size_t index = 0;
    std::string path;  // empty: the list's path gives no file item
    bool taken = false, read = false;
    std::shared_ptr<fw::JpegSamples> samples;  // a JPEG as stored, or else
    QImage image;                              // the picture as the toolkit reads it
  };
  void ReadAhead();  // loop thread
  void Decode();     // decoding threads
  // Memory of an earlier picture that nothing else holds any more; under the lock.
  std::shared_ptr<fw::JpegSamples> FreeSamples();
  QImage FreeImage();

  std::vector<std::string> paths_;
  std::size_t next_ = 0;  // the next entry to read ahead
  std::mutex mutex_;
  std::condition_variable work_;
  std::deque<Entry> ahead_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
  // Every picture decoded here, for its memory: used memory does not fault in page by page.
  std::vector<std::shared_ptr<fw::JpegSamples>> samplesMade_;
  std::vector<QImage> imagesMade_;
};

}  // namespace frametide
