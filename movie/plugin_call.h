#pragma once

// Calls into the movie plug-in without holding up the event loop.

#include <cstddef>
#include <vector>

#include "platform/plugin/plugin_abi.h"
#include "platform/object/value.h"

namespace frametide {

// Like CallPlugin, but the routine runs on a thread of its own while the caller's loop goes on
// handling events, so that capture ticks and downloads are not held up by the encoder (loading
// it, or flushing the frames it keeps back, takes a second and more). The caller still waits
// for the result and gets the plug-in's failure as its own. Calls run one at a time, also when
// a second run is started from the loop meanwhile.
fw::Value CallMoviePlugin(std::size_t entry, const std::vector<ft_value>& args);

}  // namespace frametide
