#pragma once

// The design values of the main window and its nineteen controls, as compiled property lists.

#include <span>
#include <string_view>

#include "platform/object/property_list.h"

namespace frametide {

struct NamedPropertyList {
  std::string_view control;
  fw::PropertyBlob list;
};

// The window's own list (276 bytes), applied by Window1.Layout.
fw::PropertyBlob WindowPropertyList();

// The list of the control of that name; a name that is not one of the nineteen raises
// fw::RuntimeException.
fw::PropertyBlob ControlPropertyList(std::string_view controlName);

// All nineteen control lists, in the order the controls are created.
std::span<const NamedPropertyList> ControlPropertyLists();

}  // namespace frametide
