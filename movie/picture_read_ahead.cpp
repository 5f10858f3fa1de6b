#include "movie/picture_read_ahead.h"

#include <atomic>
#include <utility>

#include "platform/files/folder_item.h"
#include "platform/runtime/loop_wait.h"

namespace frametide {

namespace {

// Decoding a frame takes about as long as encoding one; two threads keep ahead of the encoder,
// and four pictures ahead are all that is held (a 1920 by 1080 picture is 8 MB).
constexpr int kThreads = 2;
constexpr std::size_t kAhead = 4;
// Pictures alive at once: those read ahead, the loop's, and those in the plug-in's hands.
constexpr std::size_t kKept = kAhead + 4;

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
    std::shared_ptr<fw::JpegSamples> samples = FreeSamples();
    lock.unlock();
    QImage image;
    if (!fw::ReadJpegSamples(path, *samples)) {
      samples.reset();
      lock.lock();
      image = FreeImage();
      lock.unlock();
      fw::ReadPictureFile(path, image);
    }
    lock.lock();
    if (!samples && !image.isNull() && imagesMade_.size() < kKept) imagesMade_.push_back(image);
    // Entries leave only from the front, once read: this one is still where it was.
    entry->samples = std::move(samples);
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
  std::shared_ptr<fw::JpegSamples> samples;
  QImage image;
  {
    const std::lock_guard lock(mutex_);
    samples = std::move(ahead_.front().samples);
    image = std::move(ahead_.front().image);
    ahead_.pop_front();
  }
  ReadAhead();
  if (samples) return fw::MakeRef<fw::Picture>(std::shared_ptr<const fw::JpegSamples>(samples));
  if (image.isNull()) return nullptr;
  return fw::MakeRef<fw::Picture>(std::move(image));
}

std::shared_ptr<fw::JpegSamples> PictureReadAhead::FreeSamples() {
  for (const auto& samples : samplesMade_)
    if (samples.use_count() == 1) {
      // Pairs with the release of the last other holder: its reads are over.
      std::atomic_thread_fence(std::memory_order_acquire);
      return samples;
    }
  auto samples = std::make_shared<fw::JpegSamples>();
  if (samplesMade_.size() < kKept) samplesMade_.push_back(samples);
  return samples;
}

// Taken out of the list while it is decoded into: a copy kept there would make it shared.
QImage PictureReadAhead::FreeImage() {
  for (auto image = imagesMade_.begin(); image != imagesMade_.end(); ++image)
    if (image->isDetached()) {
      std::atomic_thread_fence(std::memory_order_acquire);
      QImage free = std::move(*image);
      imagesMade_.erase(image);
      return free;
    }
  return {};
}

}  // namespace frametide
