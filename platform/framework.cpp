#include "platform/framework.h"

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/date.h"
#include "platform/delegate.h"
#include "platform/dialogs.h"
#include "platform/folder_item.h"
#include "platform/http_socket.h"
#include "platform/menu.h"
#include "platform/picture.h"
#include "platform/plugin.h"
#include "platform/rect_control.h"
#include "platform/timer.h"
#include "platform/window.h"

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
