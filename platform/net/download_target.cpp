#include "platform/net/download_target.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

// Removes the file at the path if it is still the one Get opened and, when asked, still empty.
void RemoveTarget(const std::string& path, dev_t device, ino_t inode, bool onlyIfEmpty) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || info.st_dev != device || info.st_ino != inode) return;
  if (onlyIfEmpty && info.st_size != 0) return;
  ::unlink(path.c_str());
}

// The files of downloads still running, removed should the process end before they do: a
// file cut short must not pass for a finished one. Never destroyed, so that it outlives every
// socket and is still there when the exit hook runs.
class RunningTargets {
 public:
  static RunningTargets& Instance() {
    static RunningTargets* instance = new RunningTargets;
    return *instance;
  }
  void Add(const void* key, const std::string& path, dev_t device, ino_t inode, bool wasEmpty) {
    std::lock_guard lock(mutex_);
    if (!hooked_) hooked_ = std::atexit([] { Instance().RemoveAll(); }) == 0;
    entries_[key] = {path, device, inode, wasEmpty};
  }
  void Erase(const void* key) {
    std::lock_guard lock(mutex_);
    entries_.erase(key);
  }

 private:
  struct Entry {
    std::string path;
    dev_t device;
    ino_t inode;
    bool wasEmpty;  // an empty file was there already: it goes only if it now holds something
  };
  void RemoveAll() {
    // Another thread may hold the lock as exit runs; the files then stay rather than the exit
    // waiting for ever.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock) return;
    for (const auto& [key, e] : entries_) {
      struct stat info {};
      if (e.wasEmpty && ::lstat(e.path.c_str(), &info) == 0 && info.st_size == 0) continue;
      RemoveTarget(e.path, e.device, e.inode, /*onlyIfEmpty=*/false);
    }
    entries_.clear();
  }
  std::mutex mutex_;
  bool hooked_ = false;
  std::map<const void*, Entry> entries_;
};

}  // namespace

DownloadTarget::~DownloadTarget() {
  Close();
  RunningTargets::Instance().Erase(this);
}

// Nothing waits for a FIFO's reader or writes to a device. The open itself cannot block either,
// should the path change in between.
bool DownloadTarget::Open(const std::string& path) {
  path_ = path;
  struct stat info {};
  const bool existed = !path.empty() && ::stat(path.c_str(), &info) == 0;
  if (path.empty() || (existed && !S_ISREG(info.st_mode))) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  created_ = !existed;
  // Truncating a file that is already empty would make some file systems (ext4) flush it
  // synchronously on close, holding the loop up for tens of milliseconds after a large download.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      (info.st_size > 0 && ::ftruncate(fd, 0) != 0) || ::fcntl(fd, F_SETFL, 0) != 0) {
    ::close(fd);
    if (created_ && S_ISREG(info.st_mode))
      RemoveTarget(path, info.st_dev, info.st_ino, /*onlyIfEmpty=*/true);
    return false;
  }
  fd_ = fd;
  heldBytes_ = info.st_size > 0;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  RunningTargets::Instance().Add(this, path_, device_, inode_, !created_ && !heldBytes_);
  return true;
}

bool DownloadTarget::Store(const std::string& piece) {
  for (std::size_t done = 0; done < piece.size();) {
    const ssize_t n = ::write(fd_, piece.data() + done, piece.size() - done);
    if (n > 0)
      done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR)
      continue;
    else
      return false;
  }
  return true;
}

bool DownloadTarget::Close() {
  if (fd_ < 0) return true;
  const bool closed = ::close(fd_) == 0 || errno == EINTR;
  fd_ = -1;
  return closed;
}

void DownloadTarget::Settle(FileFate fate) {
  Close();
  RunningTargets::Instance().Erase(this);
  if (inode_ == 0 || fate == FileFate::Keep) return;
  if (fate == FileFate::RemoveIfNewAndEmpty) {
    if (created_) RemoveTarget(path_, device_, inode_, /*onlyIfEmpty=*/true);
    return;
  }
  struct stat info {};
  const bool untouched = !created_ && !heldBytes_ && ::lstat(path_.c_str(), &info) == 0 && info.st_size == 0;
  if (!untouched) RemoveTarget(path_, device_, inode_, /*onlyIfEmpty=*/false);
}

}  // namespace fw
