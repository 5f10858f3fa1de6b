#pragma once

// The message of the PluginException a call raises, or "" when it raises none.

#include <string>
#include <utility>

#include "platform/plugin/plugin.h"

template <class F>
std::string PluginFailure(F&& call) {
  try {
    std::forward<F>(call)();
  } catch (const fw::PluginException& e) {
    return e.Message();
  }
  return {};
}
