#pragma once

// The pictures of a list of files, decoded a few entries ahead on threads of their own.

#include <QImage>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/object/object.h"
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
    QImage image;
  };
  void ReadAhead();  // loop thread
  void Decode();     // decoding threads

  std::vector<std::string> paths_;
  std::size_t next_ = 0;  // the next entry to read ahead
  std::mutex mutex_;
  std::condition_variable work_;
  std::deque<Entry> ahead_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace frametide
