#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>

#include "platform/classes.h"
#include "platform/runtime.h"

namespace fw {

namespace {

DialogResponder& Responder() {
  static DialogResponder responder;
  return responder;
}

QString ToQ(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

const char* KindName(DialogRequest::Kind kind) {
  switch (kind) {
    case DialogRequest::Kind::MessageBox: return "message box";
    case DialogRequest::Kind::SelectFolder: return "folder dialog";
    case DialogRequest::Kind::SaveAs: return "save dialog";
  }
  return "dialog";
}

// With nobody at the screen (no widget application, or a headless platform) a modal dialog
// would wait for ever: it is reported in one line and counts as dismissed.
bool Unattended(const DialogRequest& r) {
  const bool headless = !qobject_cast<QApplication*>(QCoreApplication::instance()) ||
                        QGuiApplication::platformName() == QLatin1String("offscreen") ||
                        QGuiApplication::platformName() == QLatin1String("minimal");
  if (!headless) return false;
  std::fprintf(stderr,
               "%s with nobody to answer, taken as %s: title \"%s\" text \"%s\" button \"%s\" "
               "folder \"%s\" name \"%s\"\n",
               KindName(r.kind), r.kind == DialogRequest::Kind::MessageBox ? "closed" : "cancelled",
               r.title.c_str(), r.text.c_str(), r.actionButtonCaption.c_str(),
               r.initialDirectory.c_str(), r.suggestedFileName.c_str());
  std::fflush(stderr);
  return true;
}

// A copy, so that a responder may replace itself while it answers.
std::optional<std::string> AskResponder(const DialogRequest& request) {
  DialogResponder responder = Responder();
  return responder(request);
}

Ref<FolderItem> ToItem(const std::optional<std::string>& path) {
  if (!path || path->empty()) return nullptr;
  return GetFolderItem(*path, 0);
}

// Qt's own dialog rather than the desktop's: only it shows the prompt and button caption.
Ref<FolderItem> ShowFileDialog(const DialogRequest& r) {
  QFileDialog dialog(QApplication::activeWindow(), ToQ(r.title), ToQ(r.initialDirectory));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (r.kind == DialogRequest::Kind::SelectFolder) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!r.suggestedFileName.empty()) dialog.selectFile(ToQ(r.suggestedFileName));
  }
  if (!r.text.empty()) dialog.setLabelText(QFileDialog::LookIn, ToQ(r.text));
  if (!r.actionButtonCaption.empty())
    dialog.setLabelText(QFileDialog::Accept, ToQ(r.actionButtonCaption));
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return nullptr;
  return ToItem(chosen.first().toUtf8().toStdString());
}

Ref<FolderItem> Ask(const DialogRequest& request) {
  // Once quitting, nobody is asked anything more.
  if (QuitRequested()) return nullptr;
  if (Responder()) return ToItem(AskResponder(request));
  if (Unattended(request)) return nullptr;
  return ShowFileDialog(request);
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

template <std::string FolderItemDialog::*Field>
PropertyDeclaration TextProperty(std::string name) {
  PropertyDeclaration p;
  p.name = std::move(name);
  p.type = PropertyType::String;
  p.typeName = "String";
  p.set = [](Object& o, const Value& v) {
    dynamic_cast<FolderItemDialog&>(o).*Field = FromValue<std::string>(v);
  };
  p.get = [](Object& o) -> Value { return dynamic_cast<FolderItemDialog&>(o).*Field; };
  return p;
}

PropertyDeclaration InitialDirectoryProperty() {
  PropertyDeclaration p;
  p.name = "InitialDirectory";
  p.type = PropertyType::Object;
  p.typeName = "FolderItem";
  p.set = [](Object& o, const Value& v) {
    dynamic_cast<FolderItemDialog&>(o).InitialDirectory = FromValue<Ref<FolderItem>>(v);
  };
  p.get = [](Object& o) -> Value {
    return ToValue(dynamic_cast<FolderItemDialog&>(o).InitialDirectory);
  };
  return p;
}

}  // namespace

void SetDialogResponder(DialogResponder responder) { Responder() = std::move(responder); }

void MsgBox(const std::string& text) {
  DialogRequest request;
  request.kind = DialogRequest::Kind::MessageBox;
  request.text = text;
  if (QuitRequested()) return;
  if (Responder()) {
    AskResponder(request);
    return;
  }
  if (Unattended(request)) return;
  QMessageBox box(QMessageBox::Information, QGuiApplication::applicationDisplayName(), ToQ(text),
                  QMessageBox::Ok, QApplication::activeWindow());
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

Ref<FolderItem> SaveAsDialog::ShowModal() {
  return Ask(FromDialog(DialogRequest::Kind::SaveAs, *this));
}

const ClassRecord& FolderItemDialog::ClassHandle() {
  if (auto* c = FindClass("FolderItemDialog")) return *c;
  // Only its subclasses can be made; the operation dispatches to theirs.
  return ClassBuilder("FolderItemDialog", nullptr)
      .Scope("Public")
      .Add("ShowModal", {}, "FolderItem",
           [](Object& self, std::span<const Value>) -> Value {
             return ToValue(dynamic_cast<FolderItemDialog&>(self).ShowModal());
           })
      .Property(TextProperty<&FolderItemDialog::ActionButtonCaption>("ActionButtonCaption"))
      .Property(TextProperty<&FolderItemDialog::Title>("Title"))
      .Property(TextProperty<&FolderItemDialog::PromptText>("PromptText"))
      .Property(InitialDirectoryProperty())
      .Property(TextProperty<&FolderItemDialog::SuggestedFileName>("SuggestedFileName"))
      .Register();
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
