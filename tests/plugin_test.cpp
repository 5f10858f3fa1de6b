#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "movie/plugin_entrypoints.h"
#include "platform/plugin/plugin.h"
#include "tests/plugin_failure.h"

namespace {

using frametide::CallPlugin;
using frametide::PluginDeclarations;

std::string TestPluginFolder() { return FRAMETIDE_TEST_PLUGIN_DIR; }

std::string Text(const fw::Value& v) { return fw::FromValue<std::string>(v); }

// Every declaration, in entry order: the functions, then each class's members.
const std::vector<std::string> kExpectedDeclarations = {
    "EncodeBase64(data As String, lineWrap As Integer = 76) As String",
    "MD5(data As String) As String", "FolderItem.CreateMovie() As EditableMovie",
    "QT3DAudio.__init", "QT3DAudio.CPULoad.Get", "QT3DAudio.CPULoad.Set", "QT3DAudio.Medium.Get",
    "QT3DAudio.Medium.Set", "QT3DAudio.Humidity.Get", "QT3DAudio.Humidity.Set",
    "QT3DAudio.RoomSize.Get", "QT3DAudio.RoomSize.Set", "QT3DAudio.RoomReflectivity.Get",
    "QT3DAudio.RoomReflectivity.Set", "QT3DAudio.ReverbAttenuation.Get",
    "QT3DAudio.ReverbAttenuation.Set", "QT3DAudio.SourceMode.Get", "QT3DAudio.SourceMode.Set",
    "QT3DAudio.ReferenceDistance.Get", "QT3DAudio.ReferenceDistance.Set",
    "QT3DAudio.ConeAngleCos.Get", "QT3DAudio.ConeAngleCos.Set", "QT3DAudio.ConeAttenuation.Get",
    "QT3DAudio.ConeAttenuation.Set", "QT3DAudio.LocationElevation.Get",
    "QT3DAudio.LocationElevation.Set", "QT3DAudio.LocationAzimuth.Get",
    "QT3DAudio.LocationAzimuth.Set", "QT3DAudio.LocationDistance.Get",
    "QT3DAudio.LocationDistance.Set", "QT3DAudio.LocationProjectionAngle.Get",
    "QT3DAudio.LocationProjectionAngle.Set", "QT3DAudio.LocationSourceVelocity.Get",
    "QT3DAudio.LocationSourceVelocity.Set", "QT3DAudio.LocationListenerVelocity.Get",
    "QT3DAudio.LocationListenerVelocity.Set", "QTEffect.__exit", "QTEffectSequence.__exit",
    "QTEffectSequence.Constructor", "QTEffectSequence.Image.Get", "QTUserData.UserDataCount",
    "QTUserData.GetUserData", "QTUserData.AddUserData", "QTUserData.RemoveUserData",
    "QTUserData.GetUserDataText", "QTUserData.SetUserDataText", "QTTrack.__exit",
    "QTTrack.FindFirstSample", "QTTrack.FindNextSample", "QTTrack.FindFirstKeyFrame",
    "QTTrack.FindNextKeyFrame", "QTTrack.DataSize", "QTTrack.DeleteTrackSegment", "QTTrack.Delete",
    "QTTrack.Duration.Get", "QTTrack.Enabled.Get", "QTTrack.Enabled.Set", "QTTrack.MediaType.Get",
    "QTTrack.TrackOffset.Get", "QTTrack.TrackOffset.Set", "QTTrack.TimeScale.Get",
    "QTTrack.TimeScale.Set", "QTTrack.TimeDuration.Get", "QTTrack.TrackID.Get",
    "QTVideoTrack.__init", "QTVideoTrack.__exit", "QTVideoTrack.AppendPicture(pic As Picture)",
    "QTVideoTrack.SelectCompressionSettings", "QTVideoTrack.InsertVideoTrackSegment",
    "QTVideoTrack.AppendVideoTrackSegment", "QTVideoTrack.FrameRate.Get",
    "QTVideoTrack.CompressionType.Get", "QTVideoTrack.CompressionType.Set",
    "QTVideoTrack.CompressionQuality.Get", "QTVideoTrack.CompressionQuality.Set",
    "QTGraphicsExporter.__exit", "QTGraphicsExporter.RequestSettings",
    "QTGraphicsExporter.SavePicture", "QTGraphicsExporter.HasSettingsDialog.Get",
    "QTGraphicsExporter.DefaultExtension.Get", "QTGraphicsExporter.SettingsDescription.Get",
    "QTGraphicsExporter.DesiredTargetDataSize.Get", "QTGraphicsExporter.DesiredTargetDataSize.Set",
    "QTGraphicsExporter.CompressionQuality.Get", "QTGraphicsExporter.CompressionQuality.Set",
    "QTGraphicsExporter.OutputFileType.Get", "QTGraphicsExporter.OutputFileType.Set",
    "QTGraphicsExporter.OutputFileCreator.Get", "QTGraphicsExporter.OutputFileCreator.Set",
    "QTSoundTrack.__exit", "QTSoundTrack.Set3D", "QTSoundTrack.Get3D",
    "QTSoundTrack.InsertSoundTrackSegment", "QTSoundTrack.InsertEmptySoundTrackSegment",
    "QTSoundTrack.AppendSoundTrackSegment", "QTSoundTrack.Volume.Get", "QTSoundTrack.Volume.Set",
    "QTSoundTrack.Balance.Get", "QTSoundTrack.Balance.Set", "QTSoundTrack.Bass.Get",
    "QTSoundTrack.Bass.Set", "QTSoundTrack.Treble.Get", "QTSoundTrack.Treble.Set",
    "QTSoundTrack.SampleRate.Get", "QTSoundTrack.SampleSize.Get", "QTSoundTrack.Stereo.Get",
    "QTSoundTrack.Compressor.Get", "EditableMovie.__exit", "EditableMovie.Track",
    "EditableMovie.SoundTrack", "EditableMovie.VideoTrack",
    "EditableMovie.NewVideoTrack(width As Integer, height As Integer, frameRate As double) As QTVideoTrack",
    "EditableMovie.NewVideoTrack", "EditableMovie.NewSoundTrack", "EditableMovie.DataSize",
    "EditableMovie.InsertMovieSegment", "EditableMovie.AppendMovieSegment",
    "EditableMovie.ScaleMovieSegment", "EditableMovie.Clear", "EditableMovie.Copy",
    "EditableMovie.Cut", "EditableMovie.Paste", "EditableMovie.SetUndoEditState",
    "EditableMovie.SetRedoEditState", "EditableMovie.RestoreUndoEditState",
    "EditableMovie.RestoreRedoEditState", "EditableMovie.CommitChanges", "EditableMovie.Flatten",
    "EditableMovie.TrackCount.Get", "EditableMovie.Position.Get", "EditableMovie.Position.Set",
    "EditableMovie.Duration.Get", "EditableMovie.EOF.Get", "EditableMovie.Picture.Get",
    "EditableMovie.Poster.Get", "EditableMovie.UserData.Get", "EditableMovie.TimeScale.Get",
    "EditableMovie.TimeScale.Set", "EditableMovie.TimeValue.Get", "EditableMovie.TimeValue.Set",
    "EditableMovie.TimeDuration.Get", "EditableMovie.Handle.Get", "EditableMovie.SelStart.Get",
    "EditableMovie.SelStart.Set", "EditableMovie.SelLength.Get", "EditableMovie.SelLength.Set",
    "EditableMovie.SaveOnClose.Get", "EditableMovie.SaveOnClose.Set",
};

TEST(PluginDeclarations, CountAndTextsInEntryOrder) {
  const auto& d = PluginDeclarations();
  ASSERT_EQ(kExpectedDeclarations.size(), 148u);
  ASSERT_EQ(d.size(), 148u);
  for (std::size_t k = 0; k < 148; ++k) EXPECT_EQ(d[k], kExpectedDeclarations[k]) << "entry " << k;

  // The named entries the movie assembly uses point at their declarations.
  namespace e = frametide::plugin_entry;
  EXPECT_EQ(d[e::FolderItemCreateMovie], "FolderItem.CreateMovie() As EditableMovie");
  EXPECT_EQ(d[e::QTVideoTrackExit], "QTVideoTrack.__exit");
  EXPECT_EQ(d[e::QTVideoTrackAppendPicture], "QTVideoTrack.AppendPicture(pic As Picture)");
  EXPECT_EQ(d[e::QTVideoTrackCompressionTypeSet], "QTVideoTrack.CompressionType.Set");
  EXPECT_EQ(d[e::EditableMovieExit], "EditableMovie.__exit");
  EXPECT_EQ(d[e::EditableMovieNewVideoTrack],
            "EditableMovie.NewVideoTrack(width As Integer, height As Integer, frameRate As double) "
            "As QTVideoTrack");

  // Keys are unique, or a later entry could never be bound on its own.
  for (std::size_t i = 0; i < d.size(); ++i)
    for (std::size_t j = i + 1; j < d.size(); ++j) EXPECT_NE(d[i], d[j]) << i << " " << j;
}

TEST(PluginBinding, WithoutPluginsEveryEntryIsBoundAndFailsWhenCalled) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  fw::SetPluginFolder(empty.path().toStdString());
  frametide::InitPluginEntrypoints();
  ASSERT_TRUE(frametide::plugin_entrypoints);
  ASSERT_EQ(frametide::plugin_entrypoints->Count(), 148u);
  for (std::size_t k = 0; k < 148; ++k) {
    const auto& entry = frametide::plugin_entrypoints->At(k);
    EXPECT_EQ(entry.declaration, PluginDeclarations()[k]);
    EXPECT_FALSE(entry.supplied);
  }
  EXPECT_EQ(PluginFailure([] { CallPlugin(frametide::plugin_entry::EditableMovieNewVideoTrack); }),
            "plug-in routine not available: EditableMovie.NewVideoTrack(width As Integer, height "
            "As Integer, frameRate As double) As QTVideoTrack");
  EXPECT_EQ(PluginFailure([] { CallPlugin(65, {fw::PluginHandleArg(nullptr)}); }),
            "plug-in routine not available: QTVideoTrack.__exit");
  EXPECT_THROW(CallPlugin(148), fw::OutOfBoundsException);
}

TEST(PluginBinding, CallingBeforeBindingRaisesNilObject) {
  frametide::plugin_entrypoints.Reset();
  EXPECT_THROW(CallPlugin(1), fw::NilObjectException);
}

TEST(PluginBinding, FirstLibraryByNameWinsAndOthersFillTheGaps) {
  fw::SetPluginFolder(TestPluginFolder());
  frametide::InitPluginEntrypoints();
  const auto& table = *frametide::plugin_entrypoints;
  EXPECT_TRUE(table.At(1).supplied);   // both supply MD5: "echo" sorts before "shadow"
  EXPECT_EQ(Text(CallPlugin(1, {fw::PluginString("abc")})), "md5:abc");
  EXPECT_TRUE(table.At(65).supplied);  // only "shadow" has it
  EXPECT_EQ(fw::FromValue<std::int32_t>(CallPlugin(65, {fw::PluginHandleArg(nullptr)})), 65);
  EXPECT_FALSE(table.At(3).supplied);
  EXPECT_EQ(PluginFailure([] { CallPlugin(3); }), "plug-in routine not available: QT3DAudio.__init");

  // A blank or a letter of another case makes another declaration.
  EXPECT_FALSE(fw::RuntimeLookupPluginEntrypoint("MD5(data As String)  As String").supplied);
  EXPECT_FALSE(fw::RuntimeLookupPluginEntrypoint("md5(data As String) As String").supplied);

  // Each library handed out its table once, however many declarations were looked up.
  EXPECT_EQ(fw::FromValue<std::int32_t>(
                fw::CallPluginRoutine(fw::RuntimeLookupPluginEntrypoint("Echo.TableRequests"), {})),
            1);
  EXPECT_EQ(fw::FromValue<std::int32_t>(fw::CallPluginRoutine(
                fw::RuntimeLookupPluginEntrypoint("Shadow.TableRequests"), {})),
            1);
}

TEST(PluginBinding, ValuesAndFailuresCrossTheBoundary) {
  fw::SetPluginFolder(TestPluginFolder());
  frametide::InitPluginEntrypoints();
  namespace e = frametide::plugin_entry;

  const fw::Value movie = CallPlugin(e::FolderItemCreateMovie);
  void* handle = fw::PluginHandleOf(movie);
  ASSERT_NE(handle, nullptr);
  EXPECT_NO_THROW(CallPlugin(e::QTVideoTrackCompressionTypeSet,
                             {fw::PluginHandleArg(handle), fw::PluginString("avc1")}));
  EXPECT_EQ(PluginFailure([&] {
              CallPlugin(e::QTVideoTrackCompressionTypeSet,
                         {fw::PluginHandleArg(handle), fw::PluginString("mp4v")});
            }),
            "unknown codec");
  EXPECT_EQ(PluginFailure([] { CallPlugin(1, {fw::PluginInt32(5)}); }), "MD5 takes one String");
  // A routine that fails without a message still fails, naming its declaration.
  EXPECT_EQ(PluginFailure([] { CallPlugin(0, {fw::PluginString("x"), fw::PluginInt32(76)}); }),
            "plug-in routine failed: " + std::string(PluginDeclarations()[0]));

  // Texts carry their length: a zero byte inside is kept.
  const std::string withZero("a\0b", 3);
  EXPECT_EQ(Text(CallPlugin(1, {fw::PluginString(withZero)})), std::string("md5:a\0b", 7));

  // A 2 x 2 picture in rows of 12 bytes; the padding is not part of the picture.
  std::vector<std::uint8_t> pixels(24, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 8; ++x) pixels[static_cast<std::size_t>(y * 12 + x)] = 1;
  pixels[8] = pixels[20] = 100;
  const fw::Value sum =
      CallPlugin(e::QTVideoTrackAppendPicture, {fw::PluginImage(2, 2, 12, pixels.data())});
  EXPECT_DOUBLE_EQ(fw::FromValue<double>(sum), 16.0);
  EXPECT_THROW(fw::PluginHandleOf(sum), fw::TypeMismatchException);
}

TEST(PluginBinding, UnloadableLibrariesAreSkipped) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  {
    QFile junk(dir.filePath("aaa.ftplugin.so"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a library");
  }
  ASSERT_TRUE(QFile::copy(QString::fromStdString(TestPluginFolder() + "/echo.ftplugin.so"),
                          dir.filePath("echo.ftplugin.so")));
  // Only files with the plug-in ending are looked at.
  ASSERT_TRUE(QFile::copy(QString::fromStdString(TestPluginFolder() + "/shadow.ftplugin.so"),
                          dir.filePath("shadow.so")));
  fw::SetPluginFolder(dir.path().toStdString());

  EXPECT_NO_THROW(frametide::InitPluginEntrypoints());
  EXPECT_EQ(Text(CallPlugin(1, {fw::PluginString("")})), "md5:");
  EXPECT_FALSE(frametide::plugin_entrypoints->At(65).supplied);
  const auto skipped = fw::SkippedPluginLibraries();
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_NE(skipped[0].find("aaa.ftplugin.so"), std::string::npos);
}

TEST(PluginBinding, DefaultFolderIsTheExecutablesOwn) {
  fw::SetPluginFolder({});
  EXPECT_EQ(fw::PluginFolder(), QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace
