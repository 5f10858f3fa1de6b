#pragma once

// Menu items. A menu bar is itself a menu item: its sub-items are the menu titles, and the
// sub-items of a title are the commands of that menu.

#include <QPointer>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/object/classes.h"
#include "platform/object/object.h"

class QMenuBar;
class QWidget;

namespace fw {

class MenuItem : public Object {
  FW_CLASS_HANDLE()
  std::string Name() const { return name_; }
  void SetName(const std::string& v) { name_ = v; }
  std::string Text() const { return text_; }
  void SetText(const std::string& v) { text_ = v; }
  std::string KeyboardShortcut() const { return shortcut_; }
  void SetKeyboardShortcut(const std::string& v) {
    shortcut_ = v;
    shortcutSet_ = true;
  }
  bool KeyboardShortcutSet() const { return shortcutSet_; }
  bool AutoEnable() const { return autoEnable_; }
  void SetAutoEnable(bool v) { autoEnable_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }

  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  Ref<MenuItem> Item(std::int32_t index) const;  // 0-based
  Ref<MenuItem> Child(const std::string& name) const;
  void Append(const Ref<MenuItem>& item);
  void Insert(std::int32_t index, const Ref<MenuItem>& item);
  void Remove(std::int32_t index);
  // Depth-first search of this item's sub-items by Name.
  Ref<MenuItem> Lookup(const std::string& name) const;
  bool IsSeparator() const { return text_ == "-"; }

  // What choosing the item does when the program binds nothing to it.
  virtual void Activate();

 private:
  std::string name_, text_, shortcut_;
  bool shortcutSet_ = false;
  bool autoEnable_ = true;
  bool enabled_ = true;
  std::vector<Ref<MenuItem>> items_;
};

// Choosing it runs the framework's quit action.
class QuitMenuItem : public MenuItem {
  FW_CLASS_HANDLE()
  void Activate() override;
};

class MenuBar : public MenuItem {
  FW_CLASS_HANDLE()
  // A toolkit menu bar showing this bar's menus, for a window. "Cmd+" shortcuts become this
  // platform's Ctrl; the Edit commands act on the focused text field.
  QMenuBar* BuildToolkitBar(QWidget* parent) const;
};

// The toolkit key sequence text for a shortcut such as "Cmd+Q" ("Ctrl+Q" here).
std::string ToolkitShortcut(const std::string& shortcut);

}  // namespace fw
