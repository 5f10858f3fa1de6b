#pragma once

// Calls into the movie plug-in without holding up the event loop.

#include <cstddef>
#include <vector>

#include "platform/files/picture.h"
#include "platform/plugin/plugin_abi.h"
#include "platform/object/value.h"

namespace frametide {

// Like CallPlugin, but the routine runs on the movie plug-in's own thread while the caller's
// loop goes on handling events, so that capture ticks and downloads are not held up by the
// encoder (loading it, or flushing the frames it keeps back, takes a second and more). The
// caller waits for the result and gets the plug-in's failure as its own; a failure of a picture
// handed off before is raised first. Calls run one at a time, in the order they were made.
// Once the program is to end, a wait that `yieldsToQuit` is given up (fw::QuitUnwind) and the
// call left to finish or not; any other is waited for.
fw::Value CallMoviePlugin(std::size_t entry, const std::vector<ft_value>& args,
                          bool yieldsToQuit = true);

// Hands `picture` (its JPEG samples if it has them, else its pixels, shared and not copied) to
// the routine of `entry` (AppendPicture) for `track` and returns without waiting for it, unless
// a few are still in hand. Its failure is raised by the next call made here; the pictures
// handed off after a failure are dropped.
void HandOffMoviePicture(std::size_t entry, void* track, const fw::Picture& picture);

// Drops the pictures handed off and not yet taken: their movie is being abandoned.
void DropHandedOffPictures();

}  // namespace frametide
