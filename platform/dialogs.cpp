#include "platform/dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

#include "platform/classes.h"

namespace fw {

namespace {

DialogResponder& Responder() {
  static DialogResponder responder;
  return responder;
}

// With nobody at the screen a modal dialog would wait for ever: it counts as dismissed.
bool Unattended(const DialogRequest& request) {
  if (QGuiApplication::platformName() != "offscreen" && QCoreApplication::instance()) return false;
  std::fprintf(stderr, "frametide: no screen for the dialog \"%s\" (%s); taken as cancelled\n",
               request.title.c_str(), request.text.c_str());
  return true;
}

Ref<FolderItem> Answer(const std::optional<std::string>& path) {
  if (!path || path->empty()) return nullptr;
  return MakeRef<FolderItem>(*path);
}

Ref<FolderItem> Ask(const DialogRequest& request) {
  if (Responder()) return Answer(Responder()(request));
  if (Unattended(request)) return nullptr;
  QFileDialog dialog(nullptr, QString::fromStdString(request.title),
                     QString::fromStdString(request.initialDirectory));
  if (request.kind == DialogRequest::Kind::SelectFolder) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(QString::fromStdString(request.suggestedFileName));
  }
  if (!request.text.empty()) dialog.setLabelText(QFileDialog::LookIn, QString::fromStdString(request.text));
  if (!request.actionButtonCaption.empty())
    dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(request.actionButtonCaption));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return nullptr;
  return MakeRef<FolderItem>(dialog.selectedFiles().first().toStdString());
}

DialogRequest FromDialog(DialogRequest::Kind kind, const FolderItemDialog& d) {
  DialogRequest r;
  r.kind = kind;
  r.text = d.PromptText;
  r.title = d.Title;
  r.actionButtonCaption = d.ActionButtonCaption;
  r.initialDirectory = d.InitialDirectory ? d.InitialDirectory->AbsolutePath() : std::string();
  r.suggestedFileName = d.SuggestedFileName;
  return r;
}

}  // namespace

void SetDialogResponder(DialogResponder responder) { Responder() = std::move(responder); }

void MsgBox(const std::string& text) {
  DialogRequest request;
  request.kind = DialogRequest::Kind::MessageBox;
  request.text = text;
  if (Responder()) {
    Responder()(request);
    return;
  }
  if (Unattended(request)) return;
  QMessageBox box(QMessageBox::Information, QStringLiteral("Frametide"), QString::fromStdString(text),
                  QMessageBox::Ok);
  box.exec();
}

Ref<FolderItem> SelectFolder() {
  DialogRequest request;
  request.kind = DialogRequest::Kind::SelectFolder;
  return Ask(request);
}

Ref<FolderItem> SelectFolderDialog::ShowModal() {
  return Ask(FromDialog(DialogRequest::Kind::SelectFolder, *this));
}

Ref<FolderItem> SaveAsDialog::ShowModal() { return Ask(FromDialog(DialogRequest::Kind::SaveAs, *this)); }

const ClassRecord& FolderItemDialog::ClassHandle() {
  if (auto* c = FindClass("FolderItemDialog")) return *c;
  return ClassBuilder("FolderItemDialog", nullptr).Scope("Public").Register();
}

const ClassRecord& SelectFolderDialog::ClassHandle() {
  if (auto* c = FindClass("SelectFolderDialog")) return *c;
  return ClassBuilder("SelectFolderDialog", &FolderItemDialog::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new SelectFolderDialog; })
      .Register();
}

const ClassRecord& SaveAsDialog::ClassHandle() {
  if (auto* c = FindClass("SaveAsDialog")) return *c;
  return ClassBuilder("SaveAsDialog", &FolderItemDialog::ClassHandle())
      .Scope("Public")
      .Allocator([] { return new SaveAsDialog; })
      .Register();
}

}  // namespace fw
