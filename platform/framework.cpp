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

namespace {
void CloseAll(std::vector<Ref<Object>> windows) {
  for (auto& object : windows)
    if (auto* window = dynamic_cast<Window*>(object.Get()))
      // Controls that hold their window would keep it alive for ever.
      while (window->ControlCount() > 0) window->RemoveControl(window->ControlAt(window->ControlCount() - 1));
}
}  // namespace

template <>
void ReleaseWindowList(Ref<ObjectList>& list, std::string_view name) {
  Trace("release " + std::string(name));
  if (list) CloseAll(list->items);
  list.Reset();
}

template <>
void ReleaseWindowList(Ref<ObjectMap>& list, std::string_view name) {
  Trace("release " + std::string(name));
  if (list) {
    std::vector<Ref<Object>> windows;
    for (auto& [key, window] : list->entries) windows.push_back(window);
    CloseAll(std::move(windows));
  }
  list.Reset();
}

void ReleaseRemainingWindows() {
  if (_mImplicitWindowList) ReleaseWindowList(_mImplicitWindowList, "_mImplicitWindowList");
  if (mDirtyWindows) ReleaseWindowList(mDirtyWindows, "mDirtyWindows");
  if (Windows) ReleaseWindowList(Windows, "Windows");
  mArrayMap.Reset();
  sClassFQNToRefMap.Reset();
  sClassRefMap.Reset();
}

}  // namespace fw
