#include "platform/files/folder_item.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/object/classes.h"
#include "platform/files/picture.h"

namespace {

using fw::FolderItem;
using fw::MakeRef;
using fw::Ref;

class FolderItemTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  std::string Root() const { return dir_.path().toStdString(); }
  Ref<FolderItem> Folder() const { return fw::GetFolderItem(Root(), 0); }
  std::string Write(const std::string& name, const QByteArray& content = "x") const {
    const QString path = dir_.filePath(QString::fromStdString(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path.toStdString();
  }
  std::vector<std::string> Listing(const Ref<FolderItem>& folder) const {
    std::vector<std::string> names;
    for (std::int32_t i = 1; i <= folder->Count(); ++i) names.push_back(folder->Item(i)->Name());
    return names;
  }

  QTemporaryDir dir_;
};

TEST_F(FolderItemTest, ChildNamesAFileWhetherOrNotItExists) {
  auto child = Folder()->Child("2026-12-08-01-05-09.jpg");
  EXPECT_EQ(child->AbsolutePath(), Root() + "/2026-12-08-01-05-09.jpg");
  EXPECT_EQ(child->Name(), "2026-12-08-01-05-09.jpg");
  EXPECT_FALSE(child->Exists());
  Write("2026-12-08-01-05-09.jpg");
  EXPECT_TRUE(child->Exists());
  EXPECT_FALSE(child->Directory());
  EXPECT_TRUE(Folder()->Directory());

  // A child of a missing folder is still a reference, one level further down.
  auto deeper = Folder()->Child("missing")->Child("file.txt");
  EXPECT_EQ(deeper->AbsolutePath(), Root() + "/missing/file.txt");
  EXPECT_FALSE(deeper->Exists());

  EXPECT_EQ(fw::Volume(0)->Child("Documents")->AbsolutePath(), "/Documents");
}

TEST_F(FolderItemTest, ChildNeverEscapesItsFolder) {
  for (const std::string& bad :
       std::vector<std::string>{"..", ".", "", "a/b", "../etc", "/etc", std::string("a\0b", 3)})
    EXPECT_THROW(Folder()->Child(bad), fw::IOException) << bad;
  EXPECT_THROW(MakeRef<FolderItem>()->Child("a"), fw::IOException);
  EXPECT_EQ(Folder()->Child("..x")->AbsolutePath(), Root() + "/..x");
}

TEST_F(FolderItemTest, ItemsAreListedByNameFromOneHiddenOnesIncluded) {
  Write("2026-12-08-10-00-00.jpg");
  Write("2026-12-08-09-59-59.jpg");
  Write("2026-01-09-00-00-00.jpg");
  Write(".hidden");
  Write("B.txt");
  ASSERT_TRUE(QDir(dir_.path()).mkdir("a.jpgs"));
  auto folder = Folder();
  EXPECT_EQ(folder->Count(), 6);
  EXPECT_EQ(Listing(folder),
            (std::vector<std::string>{".hidden", "2026-01-09-00-00-00.jpg",
                                      "2026-12-08-09-59-59.jpg", "2026-12-08-10-00-00.jpg",
                                      "B.txt", "a.jpgs"}));
  EXPECT_EQ(folder->Item(1)->AbsolutePath(), Root() + "/.hidden");
  EXPECT_TRUE(folder->Item(6)->Directory());
  EXPECT_FALSE(folder->Item(0));
  EXPECT_FALSE(folder->Item(7));
  EXPECT_FALSE(folder->Item(-1));
}

TEST_F(FolderItemTest, CountIsReadAfreshAndIsZeroForFilesAndMissingItems) {
  auto folder = Folder();
  EXPECT_EQ(folder->Count(), 0);
  Write("one.jpg");
  EXPECT_EQ(folder->Count(), 1);
  Write("two.jpg");
  EXPECT_EQ(folder->Count(), 2);
  EXPECT_EQ(folder->Child("one.jpg")->Count(), 0);
  EXPECT_FALSE(folder->Child("one.jpg")->Item(1));
  EXPECT_EQ(folder->Child("nothing")->Count(), 0);
}

TEST_F(FolderItemTest, OpenAsPictureDecodesPicturesAndNothingElse) {
  QImage image(64, 48, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(dir_.filePath("real.png")));
  // The content decides, not the name.
  ASSERT_TRUE(image.save(dir_.filePath("png-inside.jpg"), "PNG"));
  Write("empty.jpg", "");
  Write("page.jpg", "<html>404 Not Found</html>");
  Write("truncated.png", QByteArray("\x89PNG\r\n\x1a\n", 8));
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.jpg"));
  ASSERT_EQ(mkfifo((dir_.path() + "/pipe.jpg").toLocal8Bit().constData(), 0600), 0);

  auto picture = Folder()->Child("real.png")->OpenAsPicture();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 64);
  EXPECT_EQ(picture->Height(), 48);
  EXPECT_EQ(QColor(picture->Image().pixel(10, 10)), QColor(Qt::red));
  EXPECT_TRUE(Folder()->Child("png-inside.jpg")->OpenAsPicture());

  for (const char* name : {"empty.jpg", "page.jpg", "truncated.png", "folder.jpg", "missing.jpg",
                           "pipe.jpg"})
    EXPECT_FALSE(Folder()->Child(name)->OpenAsPicture()) << name;
  EXPECT_FALSE(MakeRef<FolderItem>()->OpenAsPicture());
}

TEST_F(FolderItemTest, TypeAndCreatorCodesReadBack) {
  Write("a.jpg");
  auto file = Folder()->Child("a.jpg");
  EXPECT_EQ(file->MacType(), "");
  file->SetMacType("JPEG");
  file->SetMacCreator("ogle");
  // A fresh reference to the same path sees them too.
  auto again = fw::GetFolderItem(file->AbsolutePath(), 0);
  EXPECT_EQ(again->MacType(), "JPEG");
  EXPECT_EQ(again->MacCreator(), "ogle");
  file->SetMacType("MooV");
  EXPECT_EQ(again->MacType(), "MooV");

  // Where the file system keeps them, they are on the file itself.
  char buffer[16];
  const ssize_t n = getxattr(file->AbsolutePath().c_str(), "user.frametide.creator", buffer,
                             sizeof buffer);
  if (n < 0 && (errno == ENOTSUP || errno == EOPNOTSUPP)) GTEST_SKIP() << "no user xattrs here";
  ASSERT_EQ(n, 4);
  EXPECT_EQ(std::string(buffer, 4), "ogle");
}

TEST_F(FolderItemTest, CodesOfAMissingFileAreKeptWithoutError) {
  auto missing = Folder()->Child("not-yet.mov");
  EXPECT_NO_THROW(missing->SetMacType("MooV"));
  EXPECT_NO_THROW(missing->SetMacCreator("TVOD"));
  EXPECT_EQ(Folder()->Child("not-yet.mov")->MacType(), "MooV");
  EXPECT_EQ(Folder()->Child("not-yet.mov")->MacCreator(), "TVOD");
  EXPECT_EQ(Folder()->Child("other.mov")->MacType(), "");
  EXPECT_THROW(MakeRef<FolderItem>()->SetMacType("JPEG"), fw::IOException);
}

TEST_F(FolderItemTest, PathsGoBackAndForthUnchanged) {
  EXPECT_EQ(fw::Volume(0)->AbsolutePath(), "/");
  EXPECT_TRUE(fw::Volume(0)->Exists());
  EXPECT_FALSE(fw::Volume(1));
  EXPECT_FALSE(fw::Volume(-1));
  EXPECT_FALSE(fw::GetFolderItem("", 0));
  EXPECT_THROW(fw::GetFolderItem("/tmp", 3), fw::UnsupportedOperationException);

  Write("x.jpg");
  auto item = Folder()->Item(1);
  auto back = fw::GetFolderItem(item->AbsolutePath(), 0);
  EXPECT_EQ(back->AbsolutePath(), item->AbsolutePath());
  EXPECT_TRUE(back->Exists());
  EXPECT_EQ(fw::GetFolderItem(Root() + "//sub/../x.jpg/", 0)->AbsolutePath(), Root() + "/x.jpg");
}

TEST_F(FolderItemTest, ClassRecordReachesThePropertiesByName) {
  Write("a.jpg");
  const fw::ClassRecord& record = FolderItem::ClassHandle();
  EXPECT_EQ(&record, fw::FindClass("FolderItem"));
  auto folder = Folder();
  Ref<fw::Object> object(folder.Get());
  EXPECT_EQ(fw::FromValue<std::string>(record.FindProperty("AbsolutePath")->get(*object)), Root());
  EXPECT_TRUE(fw::FromValue<bool>(record.FindProperty("Exists")->get(*object)));
  EXPECT_EQ(fw::FromValue<std::int32_t>(record.FindProperty("Count")->get(*object)), 1);
  EXPECT_THROW(record.FindProperty("AbsolutePath")->set(*object, std::string("/etc")),
               fw::RuntimeException);
  EXPECT_EQ(folder->AbsolutePath(), Root());

  auto child = fw::FromValue<Ref<FolderItem>>(fw::Call(*object, "Child", std::string("a.jpg")));
  ASSERT_TRUE(child);
  record.FindProperty("MacType")->set(*child, std::string("JPEG"));
  EXPECT_EQ(fw::FromValue<std::string>(record.FindProperty("mactype")->get(*child)), "JPEG");
  EXPECT_EQ(record.FindProperty("MacCreator")->type, fw::PropertyType::String);
}

}  // namespace
