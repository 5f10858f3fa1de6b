#pragma once

// The main window: its five shared properties, its design (menu bar and property list), its
// nineteen controls, and every handler of the system as a member.

#include <cstdint>
#include <string>

#include "platform/ui/controls.h"
#include "platform/files/date.h"
#include "platform/files/folder_item.h"
#include "platform/net/http_socket.h"
#include "platform/ui/menu.h"
#include "platform/ui/timer.h"
#include "platform/ui/window.h"
#include "window/control_table.h"

namespace frametide {

class Window1 : public fw::Window {
  FW_CLASS_HANDLE()
  // The main window, made on first use and the same window from then on. The caller gets a
  // reference of its own.
  static fw::Ref<Window1> Instance();

  // Main window state.
  std::int32_t anzahl = 0;       // downloads completed since the window was made
  std::int32_t status = 0;       // 1 while capture is started
  std::int32_t downloading = 0;  // 1 from the start of a download until its completion
  fw::Ref<fw::FolderItem> savefolder;   // the folder chosen at Start; absent when stopped
  fw::Ref<fw::FolderItem> aktuellsave;  // the file of the current or last capture

  // Window events.
  void Layout();
  void CreateControls();
  void CreateControls0();
  void Event_Open();

  // Control events.
  void Socket1_ReceiveProgress(std::int32_t bytesReceived, std::int32_t totalBytes,
                               const std::string& newData);
  void Socket1_Error(std::int32_t code);
  void Socket1_DownloadComplete(const std::string& url, std::int32_t httpStatus,
                                const fw::Ref<fw::InternetHeaders>& headers,
                                const fw::Ref<fw::FolderItem>& file);
  void Timer1_Action();
  void PushButton1_Action();
  void PushButton2_Action();

  // Menu items of the window's menu bar, by their names: UntitledMenu0() ... FileQuit().
#define FRAMETIDE_DECLARE_MENU_ITEM(name, type) fw::Ref<fw::type> name();
  FRAMETIDE_WINDOW1_MENU_ITEMS(FRAMETIDE_DECLARE_MENU_ITEM)
#undef FRAMETIDE_DECLARE_MENU_ITEM

  // The controls, each looked up by name at every call: StaticText1() ... fps(), dvon(), dbis().
#define FRAMETIDE_DECLARE_CONTROL(name, type, ...) fw::Ref<fw::type> name() const;
  FRAMETIDE_WINDOW1_CONTROLS(FRAMETIDE_DECLARE_CONTROL)
#undef FRAMETIDE_DECLARE_CONTROL

  // Where Layout takes the menu bar from; the application hands it over before the window is
  // made. Without one, Layout raises NilObjectException.
  using MenuBarSource = fw::Ref<fw::MenuBar> (*)();
  static void SetMenuBarSource(MenuBarSource source);

  static void Init(fw::Object& self);
  static void Exit(fw::Object& self);

 protected:
  // One field of a date as at least two digits: n = 2 month, 3 day, 4 hour, 5 minute, 6 second.
  std::string getstelle(const fw::Ref<fw::Date>& d, std::int32_t n);

 private:
  fw::Ref<fw::MenuItem> MenuItemNamed(const std::string& name);
};

// The socket of the main window: an HTTPSocket that knows its window.
class Window1Socket1 : public fw::HTTPSocket {
  FW_CLASS_HANDLE()
  std::int32_t Index = 0;
  fw::WindowLink ownerWindow;

  void SetWindow(const fw::Ref<fw::Window>& window) { ownerWindow = window; }
  fw::Ref<fw::Window> Window() const { return ownerWindow; }
  std::int32_t GetIndex() const { return Index; }
  void SetIndex(std::int32_t index) { Index = index; }
};

// The timer of the main window: a Timer that knows its window.
class Window1Timer1 : public fw::Timer {
  FW_CLASS_HANDLE()
  std::int32_t Index = 0;
  fw::WindowLink ownerWindow;

  void Constructor() {}
  void SetWindow(const fw::Ref<fw::Window>& window) { ownerWindow = window; }
  fw::Ref<fw::Window> Window() const { return ownerWindow; }
  std::int32_t GetIndex() const { return Index; }
  void SetIndex(std::int32_t index) { Index = index; }
};

}  // namespace frametide
