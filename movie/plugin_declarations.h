#pragma once

// The declarations of every plug-in routine the application binds at start-up, in entry order.

#include <array>
#include <cstddef>
#include <string_view>

#include "plugin/movie_declarations.h"

namespace frametide {

inline constexpr std::size_t kPluginEntrypointCount = 148;

// Each text is the key a plug-in supplies: the whole declaration where it has one, otherwise
// "Class.Member", "Class.Property.Get" / ".Set", "Class.__init" or "Class.__exit".
inline constexpr std::array<std::string_view, kPluginEntrypointCount> kPluginDeclarationTexts{{
    "EncodeBase64(data As String, lineWrap As Integer = 76) As String",  // 0
    "MD5(data As String) As String",  // 1
    movie_declaration::kCreateMovie,  // 2
    "QT3DAudio.__init",  // 3
    "QT3DAudio.CPULoad.Get",  // 4
    "QT3DAudio.CPULoad.Set",  // 5
    "QT3DAudio.Medium.Get",  // 6
    "QT3DAudio.Medium.Set",  // 7
    "QT3DAudio.Humidity.Get",  // 8
    "QT3DAudio.Humidity.Set",  // 9
    "QT3DAudio.RoomSize.Get",  // 10
    "QT3DAudio.RoomSize.Set",  // 11
    "QT3DAudio.RoomReflectivity.Get",  // 12
    "QT3DAudio.RoomReflectivity.Set",  // 13
    "QT3DAudio.ReverbAttenuation.Get",  // 14
    "QT3DAudio.ReverbAttenuation.Set",  // 15
    "QT3DAudio.SourceMode.Get",  // 16
    "QT3DAudio.SourceMode.Set",  // 17
    "QT3DAudio.ReferenceDistance.Get",  // 18
    "QT3DAudio.ReferenceDistance.Set",  // 19
    "QT3DAudio.ConeAngleCos.Get",  // 20
    "QT3DAudio.ConeAngleCos.Set",  // 21
    "QT3DAudio.ConeAttenuation.Get",  // 22
    "QT3DAudio.ConeAttenuation.Set",  // 23
    "QT3DAudio.LocationElevation.Get",  // 24
    "QT3DAudio.LocationElevation.Set",  // 25
    "QT3DAudio.LocationAzimuth.Get",  // 26
    "QT3DAudio.LocationAzimuth.Set",  // 27
    "QT3DAudio.LocationDistance.Get",  // 28
    "QT3DAudio.LocationDistance.Set",  // 29
    "QT3DAudio.LocationProjectionAngle.Get",  // 30
    "QT3DAudio.LocationProjectionAngle.Set",  // 31
    "QT3DAudio.LocationSourceVelocity.Get",  // 32
    "QT3DAudio.LocationSourceVelocity.Set",  // 33
    "QT3DAudio.LocationListenerVelocity.Get",  // 34
    "QT3DAudio.LocationListenerVelocity.Set",  // 35
    "QTEffect.__exit",  // 36
    "QTEffectSequence.__exit",  // 37
    "QTEffectSequence.Constructor",  // 38
    "QTEffectSequence.Image.Get",  // 39
    "QTUserData.UserDataCount",  // 40
    "QTUserData.GetUserData",  // 41
    "QTUserData.AddUserData",  // 42
    "QTUserData.RemoveUserData",  // 43
    "QTUserData.GetUserDataText",  // 44
    "QTUserData.SetUserDataText",  // 45
    "QTTrack.__exit",  // 46
    "QTTrack.FindFirstSample",  // 47
    "QTTrack.FindNextSample",  // 48
    "QTTrack.FindFirstKeyFrame",  // 49
    "QTTrack.FindNextKeyFrame",  // 50
    "QTTrack.DataSize",  // 51
    "QTTrack.DeleteTrackSegment",  // 52
    "QTTrack.Delete",  // 53
    "QTTrack.Duration.Get",  // 54
    "QTTrack.Enabled.Get",  // 55
    "QTTrack.Enabled.Set",  // 56
    "QTTrack.MediaType.Get",  // 57
    "QTTrack.TrackOffset.Get",  // 58
    "QTTrack.TrackOffset.Set",  // 59
    "QTTrack.TimeScale.Get",  // 60
    "QTTrack.TimeScale.Set",  // 61
    "QTTrack.TimeDuration.Get",  // 62
    "QTTrack.TrackID.Get",  // 63
    "QTVideoTrack.__init",  // 64
    movie_declaration::kTrackExit,  // 65
    movie_declaration::kAppendPicture,  // 66
    "QTVideoTrack.SelectCompressionSettings",  // 67
    "QTVideoTrack.InsertVideoTrackSegment",  // 68
    "QTVideoTrack.AppendVideoTrackSegment",  // 69
    "QTVideoTrack.FrameRate.Get",  // 70
    "QTVideoTrack.CompressionType.Get",  // 71
    movie_declaration::kCompressionTypeSet,  // 72
    "QTVideoTrack.CompressionQuality.Get",  // 73
    "QTVideoTrack.CompressionQuality.Set",  // 74
    "QTGraphicsExporter.__exit",  // 75
    "QTGraphicsExporter.RequestSettings",  // 76
    "QTGraphicsExporter.SavePicture",  // 77
    "QTGraphicsExporter.HasSettingsDialog.Get",  // 78
    "QTGraphicsExporter.DefaultExtension.Get",  // 79
    "QTGraphicsExporter.SettingsDescription.Get",  // 80
    "QTGraphicsExporter.DesiredTargetDataSize.Get",  // 81
    "QTGraphicsExporter.DesiredTargetDataSize.Set",  // 82
    "QTGraphicsExporter.CompressionQuality.Get",  // 83
    "QTGraphicsExporter.CompressionQuality.Set",  // 84
    "QTGraphicsExporter.OutputFileType.Get",  // 85
    "QTGraphicsExporter.OutputFileType.Set",  // 86
    "QTGraphicsExporter.OutputFileCreator.Get",  // 87
    "QTGraphicsExporter.OutputFileCreator.Set",  // 88
    "QTSoundTrack.__exit",  // 89
    "QTSoundTrack.Set3D",  // 90
    "QTSoundTrack.Get3D",  // 91
    "QTSoundTrack.InsertSoundTrackSegment",  // 92
    "QTSoundTrack.InsertEmptySoundTrackSegment",  // 93
    "QTSoundTrack.AppendSoundTrackSegment",  // 94
    "QTSoundTrack.Volume.Get",  // 95
    "QTSoundTrack.Volume.Set",  // 96
    "QTSoundTrack.Balance.Get",  // 97
    "QTSoundTrack.Balance.Set",  // 98
    "QTSoundTrack.Bass.Get",  // 99
    "QTSoundTrack.Bass.Set",  // 100
    "QTSoundTrack.Treble.Get",  // 101
    "QTSoundTrack.Treble.Set",  // 102
    "QTSoundTrack.SampleRate.Get",  // 103
    "QTSoundTrack.SampleSize.Get",  // 104
    "QTSoundTrack.Stereo.Get",  // 105
    "QTSoundTrack.Compressor.Get",  // 106
    movie_declaration::kMovieExit,  // 107
    "EditableMovie.Track",  // 108
    "EditableMovie.SoundTrack",  // 109
    "EditableMovie.VideoTrack",  // 110
    movie_declaration::kNewVideoTrack,  // 111
    "EditableMovie.NewVideoTrack",  // 112: the variant with a time scale and a frame duration
    "EditableMovie.NewSoundTrack",  // 113
    "EditableMovie.DataSize",  // 114
    "EditableMovie.InsertMovieSegment",  // 115
    "EditableMovie.AppendMovieSegment",  // 116
    "EditableMovie.ScaleMovieSegment",  // 117
    "EditableMovie.Clear",  // 118
    "EditableMovie.Copy",  // 119
    "EditableMovie.Cut",  // 120
    "EditableMovie.Paste",  // 121
    "EditableMovie.SetUndoEditState",  // 122
    "EditableMovie.SetRedoEditState",  // 123
    "EditableMovie.RestoreUndoEditState",  // 124
    "EditableMovie.RestoreRedoEditState",  // 125
    "EditableMovie.CommitChanges",  // 126
    "EditableMovie.Flatten",  // 127
    "EditableMovie.TrackCount.Get",  // 128
    "EditableMovie.Position.Get",  // 129
    "EditableMovie.Position.Set",  // 130
    "EditableMovie.Duration.Get",  // 131
    "EditableMovie.EOF.Get",  // 132
    "EditableMovie.Picture.Get",  // 133
    "EditableMovie.Poster.Get",  // 134
    "EditableMovie.UserData.Get",  // 135
    "EditableMovie.TimeScale.Get",  // 136
    "EditableMovie.TimeScale.Set",  // 137
    "EditableMovie.TimeValue.Get",  // 138
    "EditableMovie.TimeValue.Set",  // 139
    "EditableMovie.TimeDuration.Get",  // 140
    "EditableMovie.Handle.Get",  // 141
    "EditableMovie.SelStart.Get",  // 142
    "EditableMovie.SelStart.Set",  // 143
    "EditableMovie.SelLength.Get",  // 144
    "EditableMovie.SelLength.Set",  // 145
    "EditableMovie.SaveOnClose.Get",  // 146
    "EditableMovie.SaveOnClose.Set",  // 147
}};

// The entry bound to a declaration; a text that is not in the list does not compile.
consteval std::size_t PluginEntryOf(std::string_view declaration) {
  for (std::size_t k = 0; k < kPluginEntrypointCount; ++k)
    if (kPluginDeclarationTexts[k] == declaration) return k;
  throw "not a declaration the application binds";
}

}  // namespace frametide
