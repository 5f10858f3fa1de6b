#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/plugin_entrypoints.h"
#include "app/startup.h"
#include "movie/editable_movie.h"
#include "movie/qt_video_track.h"
#include "platform/dialogs.h"
#include "platform/plugin.h"
#include "platform/runtime.h"
#include "tests/movie_reader.h"
#include "window/window1.h"

namespace {

using frametide::Window1;
using Kind = fw::DialogRequest::Kind;
using BarState = std::pair<int, int>;  // Maximum, Value

fw::Ref<Window1> StartUp() {
  frametide::initialize();
  fw::RunFrameworkInitialization([] { frametide::Startup(); });
  return Window1::Instance();
}

void WriteJpeg(const QString& path, int width, int height, QColor color, bool noise = false) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(color);
  if (noise)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) image.setPixel(x, y, QRandomGenerator::global()->generate());
  ASSERT_TRUE(image.save(path, "JPEG", 95)) << path.toStdString();
}

void WriteText(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("no picture here");
}

// Records the progress bar after each frame: when the next frame is handed to the plug-in,
// when the track is released after the last one, and at each message box.
class BarWatch {
 public:
  explicit BarWatch(const fw::Ref<Window1>& window) : bar_(window->ProgressBar1()) {
    current_ = this;
    namespace entry = frametide::plugin_entry;
    for (std::size_t k : {entry::QTVideoTrackAppendPicture, entry::QTVideoTrackExit}) {
      auto bound = frametide::plugin_entrypoints->At(k);
      (k == entry::QTVideoTrackExit ? exit_ : append_) = bound.routine;
      bound.routine = k == entry::QTVideoTrackExit ? &NoteThen<&exit_> : &NoteThen<&append_>;
      frametide::plugin_entrypoints->Set(k, bound);
    }
  }
  ~BarWatch() { current_ = nullptr; }
  void Note() {
    const BarState now{bar_->Maximum(), bar_->Value()};
    if (states.empty() || states.back() != now) states.push_back(now);
  }
  // The states from the first frame on.
  std::vector<BarState> FromFirstFrame() const {
    auto it = std::find_if(states.begin(), states.end(), [](auto s) {
      return s != BarState{100, 0};
    });
    return {it, states.end()};
  }
  std::vector<BarState> states;
  int appends = 0;

 private:
  template <ft_plugin_routine* original>
  static int NoteThen(ft_plugin_call* call) {
    if (current_) current_->Note();
    if (current_ && original == &append_) ++current_->appends;
    return (*original)(call);
  }
  static inline BarWatch* current_ = nullptr;
  static inline ft_plugin_routine append_ = nullptr, exit_ = nullptr;
  fw::Ref<fw::ProgressBar> bar_;
};

class MovieAssembly : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir(dir_.path()).mkpath("out"));
    file_ = Movie();
    window_ = StartUp();
    fw::SetDialogResponder([this](const fw::DialogRequest& r) -> std::optional<std::string> {
      asked_.push_back(r);
      if (r.kind == Kind::SelectFolder) return folder_;
      if (r.kind == Kind::SaveAs) return file_;
      messages_.push_back(r.text);
      if (onMessage_) onMessage_(r.text);
      return std::nullopt;
    });
  }
  void TearDown() override { fw::SetDialogResponder({}); }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString MakeFolder(const QString& name) {
    EXPECT_TRUE(QDir(dir_.path()).mkpath(name));
    folder_ = Path(name).toStdString();
    return Path(name);
  }
  std::string Movie() const { return Path("out/movie.mov").toStdString(); }
  // What the run left in the movie's folder, hidden files included.
  QStringList Written() const {
    return QDir(Path("out")).entryList(QDir::Files | QDir::Hidden | QDir::System);
  }
  void Click() {
    QWidget* button = window_->PushButton2()->Widget();
    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &press);
    QApplication::sendEvent(button, &release);
  }
  void Press() { window_->PushButton2_Action(); }

  QTemporaryDir dir_;
  fw::Ref<Window1> window_;
  std::optional<std::string> folder_, file_;
  std::vector<fw::DialogRequest> asked_;
  std::vector<std::string> messages_;
  std::function<void(const std::string&)> onMessage_;
};

TEST_F(MovieAssembly, ClickAsksForTheFolderAndCancellingEndsTheRun) {
  auto bar = window_->ProgressBar1();
  bar->SetMaximum(7);
  bar->SetValue(3);
  Click();
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].kind, Kind::SelectFolder);
  EXPECT_EQ(asked_[0].actionButtonCaption, "Select");
  EXPECT_EQ(asked_[0].title, "Title Property");
  EXPECT_EQ(asked_[0].text, "Select the folder containing the images");
  EXPECT_EQ(asked_[0].initialDirectory, fw::Volume(0)->AbsolutePath());
  EXPECT_EQ(bar->Maximum(), 7);
  EXPECT_EQ(bar->Value(), 3);
}

TEST_F(MovieAssembly, FewerThanTwoImagesOrNoFileEndSilently) {
  const QString none = MakeFolder("none");
  WriteText(none + "/notes.txt");
  const QString one = MakeFolder("one");
  WriteJpeg(one + "/1.jpg", 16, 16, Qt::red);
  const QString two = MakeFolder("two");
  WriteJpeg(two + "/1.jpg", 16, 16, Qt::red);
  WriteJpeg(two + "/2.jpg", 16, 16, Qt::blue);
  auto bar = window_->ProgressBar1();
  bar->SetValue(42);

  for (const auto& [folder, file] :
       {std::pair{none, std::optional(Movie())}, std::pair{one, std::optional(Movie())},
        std::pair{two, std::optional<std::string>()}}) {
    SCOPED_TRACE(folder.toStdString());
    asked_.clear();
    folder_ = folder.toStdString();
    file_ = file;
    Press();
    ASSERT_EQ(asked_.size(), 2u);
    const auto& save = asked_[1];
    EXPECT_EQ(save.kind, Kind::SaveAs);
    EXPECT_EQ(save.initialDirectory, fw::Volume(0)->Child("Documents")->AbsolutePath());
    EXPECT_EQ(save.text, "save the movie where?");
    EXPECT_EQ(save.suggestedFileName, "frametidemovie.mov");
    EXPECT_EQ(save.title, "save movie where?");
    EXPECT_EQ(save.actionButtonCaption, "");
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(Written().isEmpty()) << Written().join(", ").toStdString();
    EXPECT_EQ(bar->Value(), 42);
  }
}

TEST_F(MovieAssembly, FivePicturesBecomeAnH264MovieWithProgressAndCaptureTicking) {
  const QString shots = MakeFolder("shots");
  for (int i = 1; i <= 5; ++i)
    WriteJpeg(shots + QString("/%1.jpg").arg(i), 64, 48, QColor(40 * i, 90, 60));
  window_->fps()->SetText("12.5");
  BarWatch watch(window_);
  // A capture timer on the same loop keeps ticking while the movie is made.
  int ticks = 0, ticksAtAllDone = 0;
  QTimer capture;
  capture.callOnTimeout([&] { ++ticks; });
  capture.start(1);
  bool readableAtAllDone = true;
  onMessage_ = [&](const std::string&) {
    watch.Note();
    ticksAtAllDone = ticks;
    readableAtAllDone = ReadMovie(Movie()).has_value();
  };

  Click();
  EXPECT_EQ(asked_.size(), 3u);
  EXPECT_EQ(messages_, std::vector<std::string>{"all done"});
  EXPECT_FALSE(readableAtAllDone) << "the movie is finished only when it is released";
  EXPECT_GT(ticksAtAllDone, 0);
  EXPECT_EQ(watch.FromFirstFrame(),
            (std::vector<BarState>{{0, 0}, {100, 25}, {100, 50}, {100, 75}, {100, 100}, {100, 0}}));

  const auto movie = ReadMovie(Movie());
  ASSERT_TRUE(movie);
  EXPECT_EQ(movie->codec, "h264");
  EXPECT_EQ(movie->tag, "avc1");
  EXPECT_EQ(movie->frames, 5);
  EXPECT_EQ(movie->decoded, 5);
  EXPECT_EQ(std::pair(movie->rateNum, movie->rateDen), std::pair(25, 2));
  EXPECT_EQ(std::pair(movie->width, movie->height), std::pair(64, 48));
  EXPECT_EQ(Written(), QStringList{"movie.mov"});
}

TEST_F(MovieAssembly, UnreadableEntriesAreSkippedAndOtherSizesFitted) {
  const QString mixed = MakeFolder("mixed");
  WriteText(mixed + "/a.jpg.txt");                  // listed, never a picture
  WriteJpeg(mixed + "/b.jpg", 64, 48, Qt::gray);    // the first picture: the frame size
  WriteText(mixed + "/c.jpg");                      // corrupt
  WriteJpeg(mixed + "/d.jpg", 128, 48, Qt::white);  // twice as wide: fitted, black above and below
  ASSERT_TRUE(QDir(mixed).mkdir("x.jpgs"));
  BarWatch watch(window_);
  onMessage_ = [&](const std::string&) { watch.Note(); };

  Press();
  EXPECT_EQ(messages_, std::vector<std::string>{"all done"});
  // Shares of the four entries after the first; skipped ones leave the bar as it was.
  EXPECT_EQ(watch.FromFirstFrame(), (std::vector<BarState>{{100, 25}, {100, 75}, {100, 0}}));
  const auto movie = ReadMovie(Movie(), 1);
  ASSERT_TRUE(movie);
  EXPECT_EQ(movie->frames, 2);
  EXPECT_EQ(std::pair(movie->width, movie->height), std::pair(64, 48));
  EXPECT_EQ(std::pair(movie->rateNum, movie->rateDen), std::pair(25, 1));
  ASSERT_EQ(movie->luma.size(), 64u * 48u);
  auto at = [&](int x, int y) {
    return static_cast<int>(movie->luma[static_cast<std::size_t>(y * 64 + x)]);
  };
  EXPECT_LT(at(32, 4), 30);    // black band above
  EXPECT_GT(at(32, 24), 200);  // the picture in the middle
  EXPECT_LT(at(32, 43), 30);   // black band below
}

TEST_F(MovieAssembly, OddSizesAndAFolderWhosePathHoldsJpg) {
  const QString holiday = MakeFolder("holiday.jpg");
  WriteJpeg(holiday + "/p1", 33, 25, Qt::green);
  WriteJpeg(holiday + "/p2", 33, 25, Qt::yellow);
  window_->fps()->SetText("29.97");
  Press();
  EXPECT_EQ(messages_, std::vector<std::string>{"all done"});
  const auto movie = ReadMovie(Movie());
  ASSERT_TRUE(movie);
  EXPECT_EQ(movie->frames, 2);
  // Rounded up to even sides, as H.264 in this form needs.
  EXPECT_EQ(std::pair(movie->width, movie->height), std::pair(34, 26));
  EXPECT_EQ(std::pair(movie->rateNum, movie->rateDen), std::pair(2997, 100));
}

TEST_F(MovieAssembly, MoviesThatCannotBeMadeAreExplainedAndLeaveNothing) {
  const QString shots = MakeFolder("shots");
  WriteJpeg(shots + "/1.jpg", 16, 16, Qt::red);
  WriteJpeg(shots + "/2.jpg", 16, 16, Qt::blue);

  window_->fps()->SetText("");
  Press();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("frame rate 0 cannot be used"), std::string::npos) << messages_[0];
  EXPECT_NE(messages_[0].find("from 0.001 to 1000"), std::string::npos) << messages_[0];
  EXPECT_TRUE(Written().isEmpty()) << Written().join(", ").toStdString();

  messages_.clear();
  window_->fps()->SetText("25");
  file_ = Path("missing/movie.mov").toStdString();
  Press();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find(*file_ + ": No such file or directory"), std::string::npos)
      << messages_[0];

  messages_.clear();
  const QString broken = MakeFolder("broken");
  WriteText(broken + "/1.jpg");
  WriteText(broken + "/2.jpg");
  file_ = Movie();
  Press();
  EXPECT_EQ(messages_,
            std::vector<std::string>{"None of the images could be read, so no movie was made."});
  EXPECT_TRUE(Written().isEmpty()) << Written().join(", ").toStdString();
}

TEST_F(MovieAssembly, AFullDiskKeepsWhatWasWrittenAsAPlayableMovie) {
  const QString shots = MakeFolder("shots");
  for (int i = 0; i < 90; ++i)
    WriteJpeg(shots + QString("/%1.jpg").arg(i, 3, 10, QChar('0')), 96, 72, Qt::black, true);
  window_->fps()->SetText("2");
  // Past this size a write fails as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 200 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  BarWatch watch(window_);
  Press();
  setrlimit(RLIMIT_FSIZE, &saved);

  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_LT(watch.appends, 90) << "the failure ends the run in the middle";
  const std::string& message = messages_[0];
  EXPECT_EQ(
      message.rfind("Writing the movie " + Movie() + " failed: File too large. It keeps the ", 0),
      0u)
      << message;
  const auto movie = ReadMovie(Movie());
  ASSERT_TRUE(movie);
  EXPECT_GT(movie->frames, 0);
  EXPECT_LT(movie->frames, 90);
  EXPECT_EQ(movie->decoded, movie->frames);
  EXPECT_NE(message.find("keeps the " + std::to_string(movie->frames) + " frames"),
            std::string::npos);
  EXPECT_EQ(Written(), QStringList{"movie.mov"});
}

TEST_F(MovieAssembly, FFmpegLoadsWithTheFirstMovieAndWritesOnlyH264) {
  const std::string engine = fw::PluginFolder() + "/frametide_movie_engine.so";
  auto loaded = [&] {
    void* library = dlopen(engine.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (library) dlclose(library);
    return library != nullptr;
  };
  EXPECT_FALSE(loaded()) << "start-up must not load FFmpeg";
  auto movie = frametide::EditableMovie::CreateMovie(fw::GetFolderItem(Movie(), 0));
  EXPECT_TRUE(loaded());
  auto track = movie->NewVideoTrack(16, 16, 25);
  try {
    track->SetCompressionType("mp4v");
    ADD_FAILURE() << "mp4v was taken";
  } catch (const fw::PluginException& e) {
    EXPECT_EQ(e.Message(),
              "The compression type \"mp4v\" is not supported: movies are written "
              "with H.264 (\"avc1\") only.");
  }
  EXPECT_NO_THROW(track->SetCompressionType("avc1"));
  track.Reset();
  movie.Reset();
  EXPECT_TRUE(Written().isEmpty()) << "a movie without frames leaves nothing behind";
}

}  // namespace
