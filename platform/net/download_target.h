#pragma once

// The file a download writes into, and what may be taken back of it when the download does not
// complete.

#include <string>

#include <sys/types.h>

namespace fw {

// What stays of a download's file when it ends without DownloadComplete.
enum class FileFate { Keep, RemoveIfNewAndEmpty, Remove };

class DownloadTarget {
 public:
  DownloadTarget() = default;
  DownloadTarget(const DownloadTarget&) = delete;
  DownloadTarget& operator=(const DownloadTarget&) = delete;
  ~DownloadTarget();

  // Opens the file at the path for writing, emptied; false when it cannot be, or when something
  // other than a regular file sits at the path. Until it is settled, the file is removed should
  // the process end first: a file cut short must not pass for a finished one.
  bool Open(const std::string& path);
  // Writes the piece whole, unbuffered, so that what a ReceiveProgress counts is in the file;
  // false when the file cannot take it all (a full disk, say).
  bool Store(const std::string& piece);
  // False when the file could not be closed cleanly.
  bool Close();
  // Closes the file and decides what stays of it. A download that failed takes back the file it
  // created, while nothing is in it; one given up before its end takes back whatever it made.
  void Settle(FileFate fate);

 private:
  std::string path_;
  int fd_ = -1;
  bool created_ = false;    // nothing was there before Open
  bool heldBytes_ = false;  // it held something, which Open emptied
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace fw
