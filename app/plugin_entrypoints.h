#pragma once

// The movie-editing plug-in's routines, bound at start-up by their declaration texts.

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/object.h"
#include "platform/plugin.h"
#include "platform/value.h"

namespace frametide {

inline constexpr std::size_t kPluginEntrypointCount = 148;

// Declaration k is bound into entry k.
const std::array<std::string_view, kPluginEntrypointCount>& PluginDeclarations();

// The entries the movie assembly calls through.
namespace plugin_entry {
inline constexpr std::size_t FolderItemCreateMovie = 2;
inline constexpr std::size_t QTVideoTrackExit = 65;
inline constexpr std::size_t QTVideoTrackAppendPicture = 66;
inline constexpr std::size_t QTVideoTrackCompressionTypeSet = 72;
inline constexpr std::size_t EditableMovieExit = 107;
inline constexpr std::size_t EditableMovieNewVideoTrack = 111;
}  // namespace plugin_entry

// Filled once by InitPluginEntrypoints and never changed after.
extern fw::Ref<fw::PluginEntrypointsTable> plugin_entrypoints;

// Allocates the 148 entries and binds each in order; an entry whose declaration no plug-in
// supplies fails when it is called, not here.
void InitPluginEntrypoints();

// Calls through entry k of plugin_entrypoints; raises fw::PluginException on failure and
// fw::NilObjectException before InitPluginEntrypoints has run.
fw::Value CallPlugin(std::size_t entry, const std::vector<ft_value>& args = {});

}  // namespace frametide
