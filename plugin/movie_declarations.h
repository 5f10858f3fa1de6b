#pragma once

// The routines the movie plug-in supplies, by the declaration texts the application binds.

#define FT_MOVIE_ENGINE_FILE "frametide_movie_engine.so"
#define FT_MOVIE_ENGINE_ENTRIES_SYMBOL "ft_movie_engine_entries"

namespace movie_declaration {
inline constexpr const char* kCreateMovie = "FolderItem.CreateMovie() As EditableMovie";
inline constexpr const char* kNewVideoTrack =
    "EditableMovie.NewVideoTrack(width As Integer, height As Integer, frameRate As double) As "
    "QTVideoTrack";
inline constexpr const char* kCompressionTypeSet = "QTVideoTrack.CompressionType.Set";
inline constexpr const char* kAppendPicture = "QTVideoTrack.AppendPicture(pic As Picture)";
inline constexpr const char* kTrackExit = "QTVideoTrack.__exit";
inline constexpr const char* kMovieExit = "EditableMovie.__exit";
}  // namespace movie_declaration
