#include "plugin/part_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>

#include "plugin/engine_error.h"

namespace movie_engine {

namespace {

constexpr std::string_view kMarker = ".frametide-part-";
constexpr std::size_t kRandomLength = 6;
constexpr std::string_view kRandomLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The part files of this process's unfinished movies. Never destroyed: the exit handler uses it
// while other threads may still be inside a plug-in call.
struct Unfinished {
  std::mutex lock;
  std::set<std::string> paths;
  bool exiting = false;
};

Unfinished& Parts() {
  static Unfinished* parts = [] {
    auto* made = new Unfinished;
    // Only unlinks: joining encoders or waiting for calls in flight could hold the exit up.
    std::atexit([] {
      Unfinished& p = Parts();
      std::lock_guard hold(p.lock);
      p.exiting = true;
      for (const std::string& path : p.paths) unlink(path.c_str());
    });
    return made;
  }();
  return *parts;
}

std::string RandomLetters() {
  unsigned char bytes[kRandomLength];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno != EINTR) throw MovieError("No random numbers for a file name.");
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  std::string letters;
  for (unsigned char b : bytes) letters += kRandomLetters[b % kRandomLetters.size()];
  return letters;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folder part of a path, ending in '/'.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// ".<name>" shortened, at a character's start, so that the whole name stays within NAME_MAX.
std::string HiddenStem(const std::string& destination) {
  std::string name = destination.substr(destination.rfind('/') + 1);
  const std::size_t room = NAME_MAX - 1 - kMarker.size() - kRandomLength;
  if (name.size() > room) {
    name.resize(room);
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
      name.pop_back();
    if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
  }
  return "." + name;
}

void Forget(const std::string& path) {
  Unfinished& p = Parts();
  std::lock_guard hold(p.lock);
  p.paths.erase(path);
}

}  // namespace

bool IsPartFileName(const std::string& name) {
  if (name.size() < 1 + kMarker.size() + kRandomLength || name[0] != '.') return false;
  const std::size_t marker = name.size() - kRandomLength - kMarker.size();
  if (name.compare(marker, kMarker.size(), kMarker) != 0) return false;
  for (std::size_t i = name.size() - kRandomLength; i < name.size(); ++i)
    if (kRandomLetters.find(name[i]) == std::string_view::npos) return false;
  return true;
}

void RemoveStalePartFiles(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsPartFileName(name)) continue;
    const std::string path = folder + name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat opened {
    }, named{};
    // Only this user's plain files, and only when no writer holds them.
    if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == geteuid() &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 && lstat(path.c_str(), &named) == 0 &&
        SameFile(opened, named))
      unlink(path.c_str());
    close(fd);
  }
  closedir(dir);
}

PartFile::PartFile(const std::string& destination) : destination_(destination) {
  const std::string folder = FolderOf(destination);
  RemoveStalePartFiles(folder);
  const std::string stem = folder + HiddenStem(destination) + std::string(kMarker);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = stem + RandomLetters();
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0)
      throw MovieError("The movie cannot be written to " + destination + ": " + SystemError(errno) +
                       ".");
    {
      Unfinished& p = Parts();
      std::lock_guard hold(p.lock);
      if (p.exiting) {
        unlink(path.c_str());
        close(fd);
        throw MovieError("No movie is started while the program ends.");
      }
      p.paths.insert(path);
    }
    // Another movie's clean-up may have taken the file between its creation and this lock.
    struct stat locked {
    }, named{};
    if (flock(fd, LOCK_EX) == 0 && fstat(fd, &locked) == 0 && lstat(path.c_str(), &named) == 0 &&
        SameFile(locked, named)) {
      path_ = path;
      fd_ = fd;
      return;
    }
    Forget(path);
    close(fd);
  }
  throw MovieError("The movie cannot be written to " + destination +
                   ": no hidden file could be made beside it.");
}

PartFile::~PartFile() { Discard(); }

void PartFile::Discard() {
  if (fd_ < 0) return;
  unlink(path_.c_str());
  Forget(path_);
  close(fd_);
  fd_ = -1;
}

void PartFile::PutInPlace() {
  if (fdatasync(fd_) != 0) throw MovieError(SystemError(errno));
  Unfinished& p = Parts();
  std::lock_guard hold(p.lock);
  // Once the exit handler has run, the part file is gone and no movie is put in place.
  if (p.exiting) throw MovieError("the program is ending");
  if (rename(path_.c_str(), destination_.c_str()) != 0) throw MovieError(SystemError(errno));
  p.paths.erase(path_);
  close(fd_);
  fd_ = -1;
}

}  // namespace movie_engine
