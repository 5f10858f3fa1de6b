#pragma once

// The movie-editing plug-in's routines, bound at start-up by their declaration texts.

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "movie/plugin_declarations.h"
#include "platform/object/object.h"
#include "platform/plugin/plugin.h"
#include "platform/object/value.h"

namespace frametide {

// Declaration k is bound into entry k.
const std::array<std::string_view, kPluginEntrypointCount>& PluginDeclarations();

// The entries the movie assembly calls through, found by their declarations.
namespace plugin_entry {
inline constexpr std::size_t FolderItemCreateMovie = PluginEntryOf(movie_declaration::kCreateMovie);
inline constexpr std::size_t QTVideoTrackExit = PluginEntryOf(movie_declaration::kTrackExit);
inline constexpr std::size_t QTVideoTrackAppendPicture =
    PluginEntryOf(movie_declaration::kAppendPicture);
inline constexpr std::size_t QTVideoTrackCompressionTypeSet =
    PluginEntryOf(movie_declaration::kCompressionTypeSet);
inline constexpr std::size_t EditableMovieExit = PluginEntryOf(movie_declaration::kMovieExit);
inline constexpr std::size_t EditableMovieNewVideoTrack =
    PluginEntryOf(movie_declaration::kNewVideoTrack);
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
