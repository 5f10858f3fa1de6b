#pragma once

// The hidden file a movie is written to until it is complete, beside its destination:
// ".<name>.frametide-part-XXXXXX". Its writer holds an exclusive flock on it for as long as it
// writes, so a part file whose lock can be taken has no writer left (one killed outright) and
// is removed by the next movie made in that folder. Part files of movies still unfinished when
// the process ends are removed on the way out, whatever threads are still running.

#include <string>

namespace movie_engine {

class PartFile {
 public:
  // Removes the stale part files of the destination's folder, then creates and locks a new one.
  // The kernel applies the process's umask to it, as to any file the user makes.
  explicit PartFile(const std::string& destination);
  ~PartFile();  // removes the file unless it was put in place
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  int Descriptor() const { return fd_; }
  const std::string& Path() const { return path_; }

  // Makes the file durable and renames it over the destination; an older file of that name
  // stays until then.
  void PutInPlace();
  // Removes the file now, giving its space back at once.
  void Discard();

 private:
  std::string destination_;
  std::string path_;
  int fd_ = -1;
};

// Whether a file name is one a PartFile gives; nothing else in a folder is ever removed.
bool IsPartFileName(const std::string& name);

// Removes the part files in the folder whose writer no longer runs.
void RemoveStalePartFiles(const std::string& folder);

}  // namespace movie_engine
