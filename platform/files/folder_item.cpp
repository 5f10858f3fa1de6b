#include "platform/files/folder_item.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/object/classes.h"
#include "platform/files/picture.h"

namespace fw {

namespace {

constexpr const char* kTypeAttribute = "user.frametide.type";
constexpr const char* kCreatorAttribute = "user.frametide.creator";

QString ToQ(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string FromQ(const QString& s) { return s.toUtf8().toStdString(); }

// Codes of files whose file system keeps no extended attributes (or that do not exist yet),
// so that they still read back within this process.
class FallbackCodes {
 public:
  static FallbackCodes& Instance() {
    static FallbackCodes table;
    return table;
  }
  void Put(const std::string& path, const char* attribute, const std::string& code) {
    std::lock_guard lock(mutex_);
    codes_[Key(path, attribute)] = code;
  }
  void Erase(const std::string& path, const char* attribute) {
    std::lock_guard lock(mutex_);
    codes_.erase(Key(path, attribute));
  }
  std::string Get(const std::string& path, const char* attribute) {
    std::lock_guard lock(mutex_);
    auto it = codes_.find(Key(path, attribute));
    return it == codes_.end() ? std::string() : it->second;
  }

 private:
  static std::string Key(const std::string& path, const char* attribute) {
    return path + '\0' + attribute;
  }
  std::mutex mutex_;
  std::map<std::string, std::string> codes_;
};

std::string ReadCode(const std::string& path, const char* attribute) {
  if (path.empty()) return {};
  char buffer[256];
  const ssize_t n = getxattr(path.c_str(), attribute, buffer, sizeof buffer);
  if (n >= 0) return std::string(buffer, static_cast<std::size_t>(n));
  return FallbackCodes::Instance().Get(path, attribute);
}

// The codes are advisory: where the file system will not keep them (no support, no room, a
// quota, no file yet), they are kept for this process instead, and nothing fails.
void WriteCode(const std::string& path, const char* attribute, const std::string& code) {
  if (path.empty()) throw IOException("a folder item without a path has no file codes");
  if (setxattr(path.c_str(), attribute, code.data(), code.size(), 0) == 0) {
    FallbackCodes::Instance().Erase(path, attribute);
    return;
  }
  FallbackCodes::Instance().Put(path, attribute, code);
}

// Every entry of a folder but "." and "..", hidden and special ones included, in byte order
// of their names, so date-named capture files come in time order.
std::vector<std::string> Entries(const std::string& path) {
  const QStringList names =
      QDir(ToQ(path)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                    QDir::System,
                                QDir::Unsorted);
  std::vector<std::string> entries;
  entries.reserve(static_cast<std::size_t>(names.size()));
  for (const QString& name : names) entries.push_back(FromQ(name));
  std::sort(entries.begin(), entries.end());
  return entries;
}

using Names = std::shared_ptr<const std::vector<std::string>>;

// Listings of the few folders last walked, kept while nothing in them changes, so that walking
// a folder item by item costs one listing, not one per step. A change shows at once through
// inotify; where inotify sees nothing (a network file system changed from elsewhere), the
// folder's modification time still does.
class FolderListings {
 public:
  static FolderListings& Instance() {
    static FolderListings listings;
    return listings;
  }

  Names Of(const std::string& path) {
    std::lock_guard lock(mutex_);
    struct stat now {};
    if (stat(path.c_str(), &now) != 0) return std::make_shared<std::vector<std::string>>();
    TakeNotices();
    auto it = std::find_if(kept_.begin(), kept_.end(),
                           [&](const Listing& l) { return l.path == path; });
    if (it != kept_.end()) {
      if (!it->changed && Same(it->status, now)) return it->names;
      Forget(it);
    }
    // Watched before it is read: a change while it is read marks it changed.
    const int watch = notices_ < 0 ? -1 : inotify_add_watch(notices_, path.c_str(), kChanges);
    Names names = std::make_shared<const std::vector<std::string>>(Entries(path));
    if (watch < 0) return names;
    if (kept_.size() == kKept) Forget(kept_.begin());
    kept_.push_back(Listing{path, watch, now, names, false});
    return names;
  }

 private:
  static constexpr std::size_t kKept = 4;
  static constexpr std::uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                            IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
  struct Listing {
    std::string path;
    int watch;
    struct stat status;
    Names names;
    bool changed;
  };

  FolderListings() : notices_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

  static bool Same(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
  }

  void Forget(std::vector<Listing>::iterator it) {
    inotify_rm_watch(notices_, it->watch);
    kept_.erase(it);
  }

  // Marks every listing whose folder changed since the last look.
  void TakeNotices() {
    if (notices_ < 0) return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t n = read(notices_, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        for (Listing& l : kept_)
          if (l.watch == event->wd || (event->mask & IN_Q_OVERFLOW)) l.changed = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

  std::mutex mutex_;
  int notices_;
  std::vector<Listing> kept_;  // the most recently listed last
};

bool ValidChildName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

template <class Get>
PropertyDeclaration ReadOnly(std::string name, PropertyType type, Get get) {
  PropertyDeclaration p;
  p.type = type;
  p.typeName = std::string(PropertyTypeName(type));
  p.set = [name](Object&, const Value&) {
    throw RuntimeException("FolderItem." + name + " cannot be set");
  };
  p.get = [get](Object& o) -> Value { return ToValue(get(dynamic_cast<FolderItem&>(o))); };
  p.name = std::move(name);
  return p;
}

}  // namespace

FolderItem::FolderItem(std::string absolutePath)
    : path_(absolutePath.empty() ? std::string() : FromQ(QDir::cleanPath(ToQ(absolutePath)))) {}

Ref<FolderItem> FolderItem::Child(const std::string& name) const {
  if (path_.empty()) throw IOException("a folder item without a path has no children");
  // A child never lies outside its folder.
  if (!ValidChildName(name)) throw IOException("not a name inside a folder: \"" + name + "\"");
  return MakeRef<FolderItem>(FromQ(QDir(ToQ(path_)).filePath(ToQ(name))));
}

bool FolderItem::Exists() const { return !path_.empty() && QFileInfo::exists(ToQ(path_)); }

bool FolderItem::Directory() const { return !path_.empty() && QFileInfo(ToQ(path_)).isDir(); }

std::string FolderItem::Name() const { return FromQ(QFileInfo(ToQ(path_)).fileName()); }

// Items that appear meanwhile are counted: the listing is read again whenever the folder changed.
std::int32_t FolderItem::Count() const {
  if (!Directory()) return 0;
  const Names names = FolderListings::Instance().Of(path_);
  return static_cast<std::int32_t>(std::min<std::size_t>(names->size(), INT32_MAX));
}

Ref<FolderItem> FolderItem::Item(std::int32_t index) const {
  if (!Directory() || index < 1) return nullptr;
  const Names names = FolderListings::Instance().Of(path_);
  if (static_cast<std::size_t>(index) > names->size()) return nullptr;
  return Child((*names)[static_cast<std::size_t>(index) - 1]);
}

bool ReadPictureFile(const std::string& absolutePath, QImage& image) {
  // Only regular files: reading a pipe or device could block for ever.
  std::error_code error;
  if (absolutePath.empty() ||
      !std::filesystem::is_regular_file(std::filesystem::path(absolutePath), error)) {
    image = QImage();
    return false;
  }
  QImageReader reader(ToQ(absolutePath));
  if (reader.read(&image) && !image.isNull()) return true;
  image = QImage();
  return false;
}

QImage ReadPictureFile(const std::string& absolutePath) {
  QImage image;
  ReadPictureFile(absolutePath, image);
  return image;
}

Ref<Picture> FolderItem::OpenAsPicture() const {
  QImage image = ReadPictureFile(path_);
  if (image.isNull()) return nullptr;
  return MakeRef<Picture>(std::move(image));
}

std::string FolderItem::MacType() const { return ReadCode(path_, kTypeAttribute); }
void FolderItem::SetMacType(const std::string& code) { WriteCode(path_, kTypeAttribute, code); }
std::string FolderItem::MacCreator() const { return ReadCode(path_, kCreatorAttribute); }
void FolderItem::SetMacCreator(const std::string& code) {
  WriteCode(path_, kCreatorAttribute, code);
}

Ref<FolderItem> Volume(std::int32_t index) {
  if (index != 0) return nullptr;
  return MakeRef<FolderItem>("/");
}

Ref<FolderItem> GetFolderItem(const std::string& path, std::int32_t mode) {
  if (mode != 0)
    throw UnsupportedOperationException("GetFolderItem path mode " + std::to_string(mode) +
                                        " is not supported on this platform");
  if (path.empty()) return nullptr;
  return MakeRef<FolderItem>(FromQ(QFileInfo(ToQ(path)).absoluteFilePath()));
}

const ClassRecord& FolderItem::ClassHandle() {
  if (auto* c = FindClass("FolderItem")) return *c;
  using P = PropertyType;
  return ClassBuilder("FolderItem", nullptr)
      .Scope("Public")
      .Allocator([] { return new FolderItem; })
      .Add("Child", {"String"}, "FolderItem", On<FolderItem>([](FolderItem& f, auto a) -> Value {
             return ToValue(f.Child(FromValue<std::string>(a[0])));
           }))
      .Add("Item", {"Int32"}, "FolderItem", On<FolderItem>([](FolderItem& f, auto a) -> Value {
             return ToValue(f.Item(FromValue<std::int32_t>(a[0])));
           }))
      .Add("OpenAsPicture", {}, "Picture",
           On<FolderItem>([](FolderItem& f, auto) -> Value { return ToValue(f.OpenAsPicture()); }))
      .Property(ReadOnly("AbsolutePath", P::String, [](FolderItem& f) { return f.AbsolutePath(); }))
      .Property(ReadOnly("Exists", P::Boolean, [](FolderItem& f) { return f.Exists(); }))
      .Property(ReadOnly("Directory", P::Boolean, [](FolderItem& f) { return f.Directory(); }))
      .Property(ReadOnly("Name", P::String, [](FolderItem& f) { return f.Name(); }))
      .Property(ReadOnly("Count", P::Int32, [](FolderItem& f) { return f.Count(); }))
      .Property(DeclareProperty<&FolderItem::MacType, &FolderItem::SetMacType>("MacType"))
      .Property(DeclareProperty<&FolderItem::MacCreator, &FolderItem::SetMacCreator>("MacCreator"))
      .Register();
}

}  // namespace fw
