#include "platform/runtime/framework.h"

#include "platform/runtime/application.h"
#include "platform/ui/controls.h"
#include "platform/files/date.h"
#include "platform/object/delegate.h"
#include "platform/dialogs/dialogs.h"
#include "platform/files/folder_item.h"
#include "platform/net/http_socket.h"
#include "platform/ui/menu.h"
#include "platform/files/picture.h"
#include "platform/plugin/plugin.h"
#include "platform/ui/rect_control.h"
#include "platform/ui/timer.h"
#include "platform/ui/window.h"

namespace fw {

void RegisterFrameworkClasses() {
  Trace("framework classes");
  ObjectList::ClassHandle();
  ObjectMap::ClassHandle();
  Delegate::ClassHandle();
  Window::ClassHandle();
  if (!Windows) Windows = MakeRef<ObjectList>();
  RectControl::ClassHandle();
  StaticText::ClassHandle();
  EditField::ClassHandle();
  PushButton::ClassHandle();
  Canvas::ClassHandle();
  ProgressBar::ClassHandle();
  Timer::ClassHandle();
  HTTPSocket::ClassHandle();
  InternetHeaders::ClassHandle();
  MenuItem::ClassHandle();
  QuitMenuItem::ClassHandle();
  MenuBar::ClassHandle();
  Application::ClassHandle();
  FolderItem::ClassHandle();
  Date::ClassHandle();
  Picture::ClassHandle();
  Graphics::ClassHandle();
  FolderItemDialog::ClassHandle();
  SelectFolderDialog::ClassHandle();
  SaveAsDialog::ClassHandle();
  PluginEntrypointsTable::ClassHandle();
  PluginHandle::ClassHandle();
}

Ref<Window> GetImplicitWindow(std::string_view className) {
  if (!_mImplicitWindowList) return nullptr;
  auto it = _mImplicitWindowList->entries.find(className);
  if (it == _mImplicitWindowList->entries.end()) return nullptr;
  return Cast<Window>(it->second);
}

}  // namespace fw
