#include <time.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "platform/files/folder_item.h"

namespace {

class FolderListing : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  void Touch(const QString& name) {
    QFile file(dir_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (std::int32_t i = 1; i <= folder_->Count(); ++i) names.push_back(folder_->Item(i)->Name());
    return names;
  }
  QTemporaryDir dir_;
  fw::Ref<fw::FolderItem> folder_ = fw::GetFolderItem(dir_.path().toStdString(), 0);
};

TEST_F(FolderListing, WalkingAFolderItemByItemIsLinear) {
  constexpr int kItems = 5000;
  for (int i = 0; i < kItems; ++i) Touch(QString("%1.jpg").arg(i, 5, 10, QChar('0')));
  // Processor time of this thread, so that a busy machine does not fail the test.
  const auto cpuMs = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
  };
  const std::int64_t start = cpuMs();
  std::int32_t seen = 0;
  for (std::int32_t i = 1; i <= folder_->Count(); ++i)
    if (folder_->Item(i)) ++seen;
  EXPECT_EQ(seen, kItems);
  // Listing the folder at every step takes tens of seconds for this many.
  EXPECT_LT(cpuMs() - start, 3000);
}

TEST_F(FolderListing, ChangesShowAtTheNextLook) {
  Touch("b");
  Touch("d");
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", "d"}));
  // Several changes within one tick of the file system's clock are all seen.
  Touch("e");
  EXPECT_EQ(folder_->Count(), 3);
  Touch("a");
  EXPECT_EQ(folder_->Count(), 4);
  EXPECT_EQ(folder_->Item(1)->Name(), "a");
  ASSERT_TRUE(QDir(dir_.path()).mkdir("c"));
  ASSERT_TRUE(QFile::rename(dir_.filePath("e"), dir_.filePath("f")));
  ASSERT_TRUE(QFile::remove(dir_.filePath("b")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "c", "d", "f"}));

  // Items that appear while the folder is walked are reached.
  std::vector<std::string> walked;
  for (std::int32_t i = 1; i <= folder_->Count(); ++i) {
    walked.push_back(folder_->Item(i)->Name());
    if (i == 2) Touch("g");
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"a", "c", "d", "f", "g"}));

  // A folder put in the place of another is listed afresh.
  ASSERT_TRUE(QDir(dir_.path()).removeRecursively());
  ASSERT_TRUE(QDir().mkpath(dir_.path()));
  Touch("z");
  EXPECT_EQ(Names(), std::vector<std::string>{"z"});
}

}  // namespace
