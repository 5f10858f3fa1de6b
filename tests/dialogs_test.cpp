#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <optional>
#include <string>
#include <vector>

#include "platform/classes.h"

namespace {

using fw::DialogRequest;
using fw::Ref;

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::SetDialogResponder([this](const DialogRequest& r) -> std::optional<std::string> {
      requests_.push_back(r);
      return answer_;
    });
  }
  void TearDown() override { fw::SetDialogResponder({}); }

  std::vector<DialogRequest> requests_;
  std::optional<std::string> answer_;
};

TEST_F(Dialogs, MessageBoxGoesToTheResponder) {
  answer_ = "/ignored";
  fw::MsgBox("all done");
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].kind, DialogRequest::Kind::MessageBox);
  EXPECT_EQ(requests_[0].text, "all done");
}

TEST_F(Dialogs, FolderChooserAnswersWithTheChosenFolderOrNothing) {
  answer_ = "/tmp/captures";
  auto folder = fw::SelectFolder();
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->AbsolutePath(), "/tmp/captures");
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].kind, DialogRequest::Kind::SelectFolder);
  EXPECT_EQ(requests_[0].title, "");
  EXPECT_EQ(requests_[0].text, "");
  EXPECT_EQ(requests_[0].initialDirectory, "");

  answer_ = std::nullopt;
  EXPECT_FALSE(fw::SelectFolder());
  answer_ = "";
  EXPECT_FALSE(fw::SelectFolder());
}

TEST_F(Dialogs, FolderDialogPassesEverythingItWasGiven) {
  fw::SelectFolderDialog dialog;
  dialog.ActionButtonCaption = "Select";
  dialog.Title = "Title Property";
  dialog.PromptText = "Select the folder containing the images";
  dialog.InitialDirectory = fw::Volume(0);
  answer_ = "/tmp";
  auto chosen = dialog.ShowModal();
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->AbsolutePath(), "/tmp");
  ASSERT_EQ(requests_.size(), 1u);
  const DialogRequest& r = requests_[0];
  EXPECT_EQ(r.kind, DialogRequest::Kind::SelectFolder);
  EXPECT_EQ(r.actionButtonCaption, "Select");
  EXPECT_EQ(r.title, "Title Property");
  EXPECT_EQ(r.text, "Select the folder containing the images");
  EXPECT_EQ(r.initialDirectory, "/");
}

TEST_F(Dialogs, SaveDialogThroughTheClassTable) {
  const fw::ClassRecord& record = fw::SaveAsDialog::ClassHandle();
  EXPECT_EQ(&record, fw::FindClass("SaveAsDialog"));
  EXPECT_TRUE(record.IsA(fw::FolderItemDialog::ClassHandle()));
  Ref<fw::Object> dialog = fw::RuntimeNewObject(record);
  record.FindProperty("InitialDirectory")->set(*dialog, fw::ToValue(fw::Volume(0)->Child("Documents")));
  record.FindProperty("PromptText")->set(*dialog, std::string("save the movie where?"));
  record.FindProperty("SuggestedFileName")->set(*dialog, std::string("frametidemovie.mov"));
  record.FindProperty("Title")->set(*dialog, std::string("save movie where?"));

  answer_ = "/tmp/out/frametidemovie.mov";
  auto file = fw::FromValue<Ref<fw::FolderItem>>(fw::Call(*dialog, "ShowModal"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->AbsolutePath(), "/tmp/out/frametidemovie.mov");
  ASSERT_EQ(requests_.size(), 1u);
  const DialogRequest& r = requests_[0];
  EXPECT_EQ(r.kind, DialogRequest::Kind::SaveAs);
  EXPECT_EQ(r.initialDirectory, "/Documents");
  EXPECT_EQ(r.text, "save the movie where?");
  EXPECT_EQ(r.suggestedFileName, "frametidemovie.mov");
  EXPECT_EQ(r.title, "save movie where?");
  EXPECT_EQ(r.actionButtonCaption, "");

  answer_ = std::nullopt;
  EXPECT_FALSE(fw::FromValue<Ref<fw::FolderItem>>(fw::Call(*dialog, "ShowModal")));
}

TEST_F(Dialogs, ResponderMayReplaceItselfWhileAnswering) {
  int second = 0;
  fw::SetDialogResponder([&](const DialogRequest&) -> std::optional<std::string> {
    fw::SetDialogResponder([&](const DialogRequest&) -> std::optional<std::string> {
      ++second;
      return std::nullopt;
    });
    return "/tmp";
  });
  EXPECT_TRUE(fw::SelectFolder());
  EXPECT_FALSE(fw::SelectFolder());
  EXPECT_EQ(second, 1);
}

TEST(DialogsUnattended, WithoutResponderOffscreenDialogsCountAsCancelled) {
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
  fw::SetDialogResponder({});
  testing::internal::CaptureStderr();
  fw::MsgBox("all done");
  EXPECT_FALSE(fw::SelectFolder());
  fw::SaveAsDialog save;
  save.Title = "save movie where?";
  save.SuggestedFileName = "frametidemovie.mov";
  EXPECT_FALSE(save.ShowModal());
  fw::SelectFolderDialog folder;
  folder.PromptText = "Select the folder containing the images";
  EXPECT_FALSE(folder.ShowModal());
  const std::string err = testing::internal::GetCapturedStderr();
  // One line per dialog, each naming what it asked.
  int lines = 0;
  for (auto at = err.find("nobody to answer"); at != std::string::npos;
       at = err.find("nobody to answer", at + 1))
    ++lines;
  EXPECT_EQ(lines, 4) << err;
  EXPECT_NE(err.find("all done"), std::string::npos);
  EXPECT_NE(err.find("frametidemovie.mov"), std::string::npos);
  EXPECT_NE(err.find("Select the folder containing the images"), std::string::npos);
}

}  // namespace
