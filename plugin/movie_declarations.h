#pragma once

// The declaration texts of the routines the movie plug-in supplies: the application binds by
// them and the plug-in keys its table by them, so both take them from here.

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
