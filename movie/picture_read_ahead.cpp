#include "movie/picture_read_ahead.h"

#include <utility>

#include "movie/plugin_call.h"
#include "platform/files/folder_item.h"
#include "platform/runtime/loop_wait.h"

namespace frametide {

namespace {

// Decoding a frame takes about as long as encoding one; two threads keep ahead of the encoder,
// and four pictures ahead are all that is held (a 1920 by 1080 picture is 8 MB).
constexpr int kThreads = 2;
constexpr std::size_t kAhead = 4;

}  // namespace

PictureReadAhead::PictureReadAhead(std::vector<std::string> paths) : paths_(std::move(paths)) {
  ReadAhead();
  for (int i = 0; i < kThreads; ++i) threads_.emplace_back([this] { Decode(); });
}

PictureReadAhead::~PictureReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (auto& thread : threads_) thread.join();
}

void PictureReadAhead::ReadAhead() {
  while (next_ < paths_.size()) {
    // The file item is made here: framework objects stay on the loop thread.
    const fw::Ref<fw::FolderItem> item = fw::GetFolderItem(paths_[next_], 0);
    Entry entry;
    entry.index = next_++;
    if (item) entry.path = item->AbsolutePath();
    const std::lock_guard lock(mutex_);
    if (entry.path.empty()) entry.taken = entry.read = true;
    ahead_.push_back(std::move(entry));
    work_.notify_one();
    if (ahead_.size() >= kAhead) break;
  }
}

void PictureReadAhead::Decode() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Entry* entry = nullptr;
    work_.wait(lock, [&] {
      for (auto& e : ahead_)
        if (!e.taken) {
          entry = &e;
          return true;
        }
      return stopping_;
    });
    if (!entry) return;
    entry->taken = true;
    const std::string path = entry->path;
    lock.unlock();
    QImage image = TakeSparePicture();
    fw::ReadPictureFile(path, image);
    lock.lock();
    // Entries leave only from the front, once read: this one is still where it was.
    entry->image = std::move(image);
    entry->read = true;
    fw::WakeWaitingLoop();
  }
}

fw::Ref<fw::Picture> PictureReadAhead::Open(std::size_t index) {
  if (ahead_.empty() || ahead_.front().index != index)
    throw fw::OutOfBoundsException("pictures are read in the order of the list");
  fw::WaitOnLoop([this] {
    const std::lock_guard lock(mutex_);
    return ahead_.front().read;
  });
  QImage image;
  {
    const std::lock_guard lock(mutex_);
    image = std::move(ahead_.front().image);
    ahead_.pop_front();
  }
  ReadAhead();
  if (image.isNull()) return nullptr;
  return fw::MakeRef<fw::Picture>(std::move(image));
}

}  // namespace frametide
