#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "app/plugin_entrypoints.h"
#include "platform/plugin.h"

namespace {

using frametide::CallPlugin;
using frametide::PluginDeclarations;

std::string TestPluginFolder() { return FRAMETIDE_TEST_PLUGIN_DIR; }

std::string Text(const fw::Value& v) { return fw::FromValue<std::string>(v); }

// The message of the PluginException the call raises, or "" when it raises none.
template <class F>
std::string PluginFailure(F&& call) {
  try {
    call();
  } catch (const fw::PluginException& e) {
    return e.Message();
  }
  return {};
}

TEST(PluginDeclarations, CountAndTextsInEntryOrder) {
  const auto& d = PluginDeclarations();
  ASSERT_EQ(d.size(), 148u);
  EXPECT_EQ(d[0], "EncodeBase64(data As String, lineWrap As Integer = 76) As String");
  EXPECT_EQ(d[1], "MD5(data As String) As String");
  EXPECT_EQ(d[2], "FolderItem.CreateMovie() As EditableMovie");
  EXPECT_EQ(d[3], "QT3DAudio.__init");
  EXPECT_EQ(d[4], "QT3DAudio.CPULoad.Get");
  EXPECT_EQ(d[35], "QT3DAudio.LocationListenerVelocity.Set");
  EXPECT_EQ(d[36], "QTEffect.__exit");
  EXPECT_EQ(d[64], "QTVideoTrack.__init");
  EXPECT_EQ(d[65], "QTVideoTrack.__exit");
  EXPECT_EQ(d[66], "QTVideoTrack.AppendPicture(pic As Picture)");
  EXPECT_EQ(d[72], "QTVideoTrack.CompressionType.Set");
  EXPECT_EQ(d[107], "EditableMovie.__exit");
  EXPECT_EQ(d[111], "EditableMovie.NewVideoTrack(width As Integer, height As Integer, "
                    "frameRate As double) As QTVideoTrack");
  EXPECT_EQ(d[112], "EditableMovie.NewVideoTrack(width As Integer, height As Integer, "
                    "timeScale As Integer, frameDuration As Integer) As QTVideoTrack");
  EXPECT_EQ(d[147], "EditableMovie.SaveOnClose.Set");

  // The named entries the movie assembly uses point at their declarations.
  namespace e = frametide::plugin_entry;
  EXPECT_EQ(d[e::FolderItemCreateMovie], d[2]);
  EXPECT_EQ(d[e::QTVideoTrackExit], "QTVideoTrack.__exit");
  EXPECT_EQ(d[e::QTVideoTrackAppendPicture], d[66]);
  EXPECT_EQ(d[e::QTVideoTrackCompressionTypeSet], d[72]);
  EXPECT_EQ(d[e::EditableMovieExit], "EditableMovie.__exit");
  EXPECT_EQ(d[e::EditableMovieNewVideoTrack], d[111]);

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
