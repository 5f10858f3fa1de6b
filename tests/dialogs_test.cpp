#include "platform/dialogs/dialogs.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <optional>
#include <string>
#include <vector>

#include "platform/object/classes.h"
#include "tests/window_fixture.h"

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

  answer_ = std::nullopt;
  EXPECT_FALSE(fw::SelectFolder());
  answer_ = "";
  EXPECT_FALSE(fw::SelectFolder());
}

// The dialog classes reach their fields, and their own ShowModal, through the class table.
TEST_F(Dialogs, DialogClassesWorkThroughTheClassTable) {
  for (const fw::ClassRecord* record : {&fw::SelectFolderDialog::ClassHandle(),
                                        &fw::SaveAsDialog::ClassHandle()}) {
    EXPECT_TRUE(record->IsA(fw::FolderItemDialog::ClassHandle()));
    Ref<fw::Object> dialog = fw::RuntimeNewObject(*record);
    for (const char* name : {"ActionButtonCaption", "Title", "PromptText", "SuggestedFileName"})
      record->FindProperty(name)->set(*dialog, std::string(name));
    record->FindProperty("InitialDirectory")->set(*dialog, fw::ToValue(fw::GetFolderItem("/tmp", 0)));
    requests_.clear();
    answer_ = "/tmp/out";
    auto chosen = fw::FromValue<Ref<fw::FolderItem>>(fw::Call(*dialog, "ShowModal"));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->AbsolutePath(), "/tmp/out");
    answer_ = std::nullopt;
    EXPECT_FALSE(fw::FromValue<Ref<fw::FolderItem>>(fw::Call(*dialog, "ShowModal")));
    ASSERT_EQ(requests_.size(), 2u);
    const DialogRequest& r = requests_[0];
    EXPECT_EQ(r.kind, record == fw::FindClass("SaveAsDialog") ? DialogRequest::Kind::SaveAs
                                                               : DialogRequest::Kind::SelectFolder);
    EXPECT_EQ(r.actionButtonCaption + "|" + r.title + "|" + r.text + "|" + r.suggestedFileName,
              "ActionButtonCaption|Title|PromptText|SuggestedFileName");
    EXPECT_EQ(r.initialDirectory, "/tmp");
  }
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

// Kind, button caption, title, prompt, initial folder, suggested name.
std::string Asked(const DialogRequest& r) {
  const char* kinds[] = {"message", "folder", "save"};
  return std::string(kinds[static_cast<int>(r.kind)]) + "|" + r.actionButtonCaption + "|" +
         r.title + "|" + r.text + "|" + r.initialDirectory + "|" + r.suggestedFileName;
}

using HandlerDialogs = WindowFixture;

TEST_F(HandlerDialogs, MovieAndStartAskWithTheirOwnTexts) {
  const QTemporaryDir dir;
  folder = dir.path().toStdString();
  window->PushButton2_Action();  // an empty folder: the save dialog all the same
  window->EditField1()->SetText("http://127.0.0.1:9/");
  window->PushButton1_Action();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(Asked(asked[0]),
            "folder|Select|Title Property|Select the folder containing the images|/|");
  EXPECT_EQ(Asked(asked[1]),
            "save||save movie where?|save the movie where?|/Documents|frametidemovie.mov");
  EXPECT_EQ(Asked(asked[2]), "folder|||||");  // the Start chooser is given nothing
  EXPECT_EQ(window->status, 1);
}

}  // namespace
