#pragma once

// Modal dialogs and the message box. Tests (and anything without a person at the screen) can
// answer them through a responder instead of the toolkit's dialogs.

#include <functional>
#include <optional>
#include <string>

#include "platform/folder_item.h"
#include "platform/object.h"

namespace fw {

struct DialogRequest {
  enum class Kind { MessageBox, SelectFolder, SaveAs } kind = Kind::MessageBox;
  std::string text;  // message box text, or the dialog's prompt
  std::string title;
  std::string actionButtonCaption;
  std::string initialDirectory;  // absolute path, empty when none
  std::string suggestedFileName;
};

// Answers a dialog: the chosen path (nullopt = cancelled). Message boxes ignore the answer.
using DialogResponder = std::function<std::optional<std::string>(const DialogRequest&)>;
void SetDialogResponder(DialogResponder responder);  // empty restores the real dialogs

// Modal message box; returns when the user dismisses it or the application quits. While
// quitting it shows nothing and returns at once; so do the dialogs below, giving absent.
void MsgBox(const std::string& text);

// The modal folder chooser without title, prompt or initial folder; absent when cancelled.
Ref<FolderItem> SelectFolder();

class FolderItemDialog : public Object {
  FW_CLASS_HANDLE()
  std::string ActionButtonCaption;
  std::string Title;
  std::string PromptText;
  Ref<FolderItem> InitialDirectory;
  std::string SuggestedFileName;
  // Modal; the chosen item, or absent when the user cancels or the application quits.
  virtual Ref<FolderItem> ShowModal() = 0;
};

class SelectFolderDialog : public FolderItemDialog {
  FW_CLASS_HANDLE()
  Ref<FolderItem> ShowModal() override;
};

class SaveAsDialog : public FolderItemDialog {
  FW_CLASS_HANDLE()
  Ref<FolderItem> ShowModal() override;
};

}  // namespace fw
