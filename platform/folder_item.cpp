#include "platform/folder_item.h"

#include <sys/xattr.h>

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/classes.h"
#include "platform/picture.h"

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

// The file system has no place for the codes, or there is no file to hold them yet.
bool KeptElsewhere(int error) {
  return error == ENOTSUP || error == EOPNOTSUPP || error == ENOENT || error == ENOTDIR ||
         error == EPERM;
}

void WriteCode(const std::string& path, const char* attribute, const std::string& code) {
  if (path.empty()) throw IOException("a folder item without a path has no file codes");
  if (setxattr(path.c_str(), attribute, code.data(), code.size(), 0) == 0) {
    FallbackCodes::Instance().Erase(path, attribute);
    return;
  }
  const int error = errno;
  if (!KeptElsewhere(error))
    throw IOException("cannot set " + std::string(attribute) + " of " + path + ": " +
                      std::strerror(error));
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

template <class F>
OperationImpl On(F body) {
  return [body](Object& self, std::span<const Value> args) -> Value {
    return body(dynamic_cast<FolderItem&>(self), args);
  };
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

// The folder is read afresh on every call: items that appear meanwhile are counted.
std::int32_t FolderItem::Count() const {
  if (!Directory()) return 0;
  return static_cast<std::int32_t>(std::min<std::size_t>(Entries(path_).size(), INT32_MAX));
}

Ref<FolderItem> FolderItem::Item(std::int32_t index) const {
  if (!Directory() || index < 1) return nullptr;
  const std::vector<std::string> entries = Entries(path_);
  if (static_cast<std::size_t>(index) > entries.size()) return nullptr;
  return Child(entries[static_cast<std::size_t>(index) - 1]);
}

Ref<Picture> FolderItem::OpenAsPicture() const {
  if (path_.empty()) return nullptr;
  // Only regular files: reading a pipe or device could block for ever.
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::path(path_), error)) return nullptr;
  QImageReader reader(ToQ(path_));
  QImage image = reader.read();
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
      .Add("Child", {"String"}, "FolderItem", On([](FolderItem& f, auto a) -> Value {
             return ToValue(f.Child(FromValue<std::string>(a[0])));
           }))
      .Add("Item", {"Int32"}, "FolderItem", On([](FolderItem& f, auto a) -> Value {
             return ToValue(f.Item(FromValue<std::int32_t>(a[0])));
           }))
      .Add("OpenAsPicture", {}, "Picture",
           On([](FolderItem& f, auto) -> Value { return ToValue(f.OpenAsPicture()); }))
      .Property(ReadOnly("AbsolutePath", P::String, [](FolderItem& f) { return f.AbsolutePath(); }))
      .Property(ReadOnly("Exists", P::Boolean, [](FolderItem& f) { return f.Exists(); }))
      .Property(ReadOnly("Directory", P::Boolean, [](FolderItem& f) { return f.Directory(); }))
      .Property(ReadOnly("Name", P::String, [](FolderItem& f) { return f.Name(); }))
      .Property(ReadOnly("Count", P::Int32, [](FolderItem& f) { return f.Count(); }))
      .Property(DeclareProperty<&FolderItem::MacType, &FolderItem::SetMacType>("MacType", PropertyType::String))
      .Property(DeclareProperty<&FolderItem::MacCreator, &FolderItem::SetMacCreator>(
          "MacCreator", PropertyType::String))
      .Register();
}

}  // namespace fw
