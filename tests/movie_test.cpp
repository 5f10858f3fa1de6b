#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <fstream>
#include <set>
#include <thread>

#include "movie/plugin_entrypoints.h"
#include "movie/editable_movie.h"
#include "movie/qt_video_track.h"
#include "platform/plugin/plugin.h"
#include "tests/movie_reader.h"
#include "tests/plugin_failure.h"
#include "tests/window_fixture.h"

namespace {

using BarState = std::pair<int, int>;  // Maximum, Value

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
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("no picture here") > 0);
}

// Codec, tag, frames stored/decoded, average frame rate and frame size.
std::string Describe(const std::optional<MovieFacts>& movie) {
  if (!movie) return "no movie";
  auto n = [](int v) { return std::to_string(v); };
  return movie->codec + " " + movie->tag + " " + n(movie->frames) + "/" + n(movie->decoded) +
         " frames " + n(movie->rateNum) + "/" + n(movie->rateDen) + " fps " + n(movie->width) +
         "x" + n(movie->height);
}

// Counts the calls that reach the plug-in's routine of `entry` (on the plug-in's thread).
template <std::size_t entry>
class CallCount {
 public:
  CallCount() {
    count_ = 0;
    auto bound = frametide::plugin_entrypoints->At(entry);
    if (!original_) original_ = bound.routine;
    bound.routine = [](ft_plugin_call* call) {
      ++count_;
      return original_(call);
    };
    frametide::plugin_entrypoints->Set(entry, bound);
  }
  int operator()() const { return count_; }

 private:
  static inline std::atomic<int> count_ = 0;
  static inline ft_plugin_routine original_ = nullptr;
};

// Records the progress bar at every pass of the loop, so every state it is left in between two
// yields, and at each message box; counts the pictures that reach the plug-in.
class BarWatch {
 public:
  explicit BarWatch(const fw::Ref<frametide::Window1>& window) : bar_(window->ProgressBar1()) {
    pass_.callOnTimeout([this] { Note(); });
    pass_.start(0);
  }
  void Note() {
    const BarState now{bar_->Maximum(), bar_->Value()};
    if (states.empty() || states.back() != now) states.push_back(now);
  }
  std::vector<BarState> FromFirstFrame() const {
    auto first = [](BarState s) { return s != BarState{100, 0}; };
    return {std::find_if(states.begin(), states.end(), first), states.end()};
  }
  std::vector<BarState> states;
  CallCount<frametide::plugin_entry::QTVideoTrackAppendPicture> appends;

 private:
  fw::Ref<fw::ProgressBar> bar_;
  QTimer pass_;
};

struct MovieTest : WindowFixture {
  QTemporaryDir dir;

  void SetUp() override {
    WindowFixture::SetUp();
    ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
    saveAs = Movie();
  }
  QString Path(const QString& name) const { return dir.filePath(name); }
  QString MakeFolder(const QString& name) {
    EXPECT_TRUE(QDir(dir.path()).mkpath(name));
    folder = Path(name).toStdString();
    return Path(name);
  }
  std::string Movie() const { return Path("out/movie.mov").toStdString(); }
  // What the run left in the movie's folder, hidden files included.
  std::string Written() const {
    const auto filter = QDir::Files | QDir::Hidden | QDir::System;
    return QDir(Path("out")).entryList(filter).join(" ").toStdString();
  }
  void Press() { window->PushButton2_Action(); }
};

// Kind, title, prompt, button caption, initial folder, suggested name.
auto Fields(const fw::DialogRequest& r) {
  return std::tuple(static_cast<int>(r.kind), r.title, r.text, r.actionButtonCaption,
                    r.initialDirectory, r.suggestedFileName);
}

TEST_F(MovieTest, CancelledDialogsAndTooFewImagesEndSilently) {
  const QString none = MakeFolder("none"), one = MakeFolder("one"), two = MakeFolder("two");
  WriteText(none + "/notes.txt");
  WriteJpeg(one + "/1.jpg", 16, 16, Qt::red);
  WriteJpeg(two + "/1.jpg", 16, 16, Qt::red);
  WriteJpeg(two + "/2.jpg", 16, 16, Qt::blue);
  auto bar = window->ProgressBar1();
  bar->SetMaximum(7);
  bar->SetValue(3);
  folder.reset();
  Click(window->PushButton2());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(Fields(asked[0]), std::tuple(static_cast<int>(Kind::SelectFolder), "Title Property",
                                         "Select the folder containing the images", "Select",
                                         fw::Volume(0)->AbsolutePath(), ""));

  const std::string documents = fw::Volume(0)->Child("Documents")->AbsolutePath();
  for (const auto& [images, file] :
       {std::pair{none, std::optional(Movie())}, std::pair{one, std::optional(Movie())},
        std::pair{two, std::optional<std::string>()}}) {
    SCOPED_TRACE(images.toStdString());
    asked.clear();
    folder = images.toStdString();
    saveAs = file;
    Press();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(Fields(asked[1]),
              std::tuple(static_cast<int>(Kind::SaveAs), "save movie where?",
                         "save the movie where?", "", documents, "frametidemovie.mov"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Written(), "");
    EXPECT_EQ(BarState(bar->Maximum(), bar->Value()), BarState(7, 3));
  }
}

TEST_F(MovieTest, FivePicturesBecomeAnH264MovieWithProgressAndCaptureTicking) {
  const QString shots = MakeFolder("shots");
  for (int i = 1; i <= 5; ++i)
    WriteJpeg(shots + QString("/%1.jpg").arg(i), 64, 48, QColor(40 * i, 90, 60));
  window->fps()->SetText("12.5");
  BarWatch watch(window);
  // A capture timer on the same loop keeps ticking while the movie is made.
  int ticks = 0, ticksAtAllDone = 0;
  QTimer capture;
  capture.callOnTimeout([&] { ++ticks; });
  capture.start(1);
  std::string atAllDone;
  onMessage = [&] {
    watch.Note();
    ticksAtAllDone = ticks;
    atAllDone = Describe(ReadMovie(Movie()));
  };

  Click(window->PushButton2());
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_EQ(messages, std::vector<std::string>{"all done"});
  EXPECT_EQ(atAllDone, "no movie") << "the movie is finished only when it is released";
  EXPECT_GT(ticksAtAllDone, 0);
  EXPECT_EQ(watch.FromFirstFrame(),
            (std::vector<BarState>{{0, 0}, {100, 25}, {100, 50}, {100, 75}, {100, 100}, {100, 0}}));
  EXPECT_EQ(Describe(ReadMovie(Movie())), "h264 avc1 5/5 frames 25/2 fps 64x48");
  EXPECT_EQ(Written(), "movie.mov");
}

TEST_F(MovieTest, UnreadableEntriesAreSkippedAndOtherSizesFitted) {
  const QString mixed = MakeFolder("mixed");
  WriteText(mixed + "/a.jpg.txt");                  // listed, never a picture
  WriteJpeg(mixed + "/b.jpg", 64, 48, Qt::gray);    // the first picture: the frame size
  WriteText(mixed + "/c.jpg");                      // corrupt
  WriteJpeg(mixed + "/d.jpg", 128, 48, Qt::white);  // twice as wide: fitted, black above and below
  ASSERT_TRUE(QDir(mixed).mkdir("x.jpgs"));
  BarWatch watch(window);
  onMessage = [&] { watch.Note(); };

  Press();
  EXPECT_EQ(messages, std::vector<std::string>{"all done"});
  // Shares of the four entries after the first; skipped ones leave the bar as it was.
  EXPECT_EQ(watch.FromFirstFrame(), (std::vector<BarState>{{100, 25}, {100, 75}, {100, 0}}));
  const auto movie = ReadMovie(Movie(), 1);
  EXPECT_EQ(Describe(movie), "h264 avc1 2/2 frames 25/1 fps 64x48");
  ASSERT_TRUE(movie && movie->luma.size() == 64u * 48u);
  // Black band above, the picture in the middle, black band below.
  EXPECT_LT(movie->luma[4 * 64 + 32], 30);
  EXPECT_GT(movie->luma[24 * 64 + 32], 200);
  EXPECT_LT(movie->luma[43 * 64 + 32], 30);
}

TEST_F(MovieTest, ManyEntriesKeepTheirOrderSkipsAndProgress) {
  // Eleven entries, more than are ever read ahead; the fourth and the eighth are no pictures.
  const QString many = MakeFolder("many");
  for (int i = 0; i <= 10; ++i) {
    const QString name = many + QString("/%1.jpg").arg(i, 2, 10, QChar('0'));
    if (i == 3 || i == 7)
      WriteText(name);
    else
      WriteJpeg(name, 32, 32, QColor::fromRgb(20 * i + 20, 20 * i + 20, 20 * i + 20));
  }
  BarWatch watch(window);
  onMessage = [&] { watch.Note(); };

  Press();
  EXPECT_EQ(messages, std::vector<std::string>{"all done"});
  EXPECT_EQ(watch.FromFirstFrame(),
            (std::vector<BarState>{{0, 0}, {100, 10}, {100, 20}, {100, 40}, {100, 50},
                                   {100, 60}, {100, 80}, {100, 90}, {100, 100}, {100, 0}}));
  // Each frame as bright as its picture, in the folder's order.
  const std::vector<int> pictures = {0, 1, 2, 4, 5, 6, 8, 9, 10};
  ASSERT_EQ(Describe(ReadMovie(Movie())), "h264 avc1 9/9 frames 25/1 fps 32x32");
  for (std::size_t frame = 0; frame < pictures.size(); ++frame) {
    const auto movie = ReadMovie(Movie(), static_cast<int>(frame));
    ASSERT_TRUE(movie && movie->luma.size() == 32u * 32u);
    // Limited-range brightness of the grey the picture was filled with.
    const double expected = 16 + (20 * pictures[frame] + 20) * 219.0 / 255.0;
    EXPECT_NEAR(movie->luma[16 * 32 + 16], expected, 6) << "frame " << frame;
  }
}

TEST_F(MovieTest, ColoursComeOutInVideoRangeWhicheverWayAPictureIsRead) {
  // A JPEG's own samples at the frame's size, the same colour read by the toolkit (a PNG under
  // a .jpg name), and a JPEG of another size, fitted.
  const QColor colour(200, 60, 40);
  const QString shots = MakeFolder("colours");
  WriteJpeg(shots + "/a.jpg", 64, 48, colour);
  QImage png(64, 48, QImage::Format_RGB32);
  png.fill(colour);
  ASSERT_TRUE(png.save(shots + "/b.jpg", "PNG"));
  WriteJpeg(shots + "/c.jpg", 128, 48, colour);
  Press();
  ASSERT_EQ(messages, std::vector<std::string>{"all done"});

  // BT.601 in video range.
  const double r = colour.redF(), g = colour.greenF(), b = colour.blueF();
  const double y = 16 + 65.481 * r + 128.553 * g + 24.966 * b;
  const double cb = 128 - 37.797 * r - 74.203 * g + 112.0 * b;
  const double cr = 128 + 112.0 * r - 93.786 * g - 18.214 * b;
  for (int frame = 0; frame < 3; ++frame) {
    const auto movie = ReadMovie(Movie(), frame);
    ASSERT_TRUE(movie && movie->luma.size() == 64u * 48u && movie->cb.size() == 32u * 24u);
    EXPECT_NEAR(movie->luma[24 * 64 + 32], y, 4) << frame;
    EXPECT_NEAR(movie->cb[12 * 32 + 16], cb, 4) << frame;
    EXPECT_NEAR(movie->cr[12 * 32 + 16], cr, 4) << frame;
    if (frame == 2) {  // black above the fitted picture
      EXPECT_NEAR(movie->luma[2 * 64 + 32], 16, 4);
      EXPECT_NEAR(movie->cr[1 * 32 + 16], 128, 4);
    }
  }
}

TEST_F(MovieTest, OddSizesAndAFolderWhosePathHoldsJpg) {
  const QString holiday = MakeFolder("holiday.jpg");
  WriteJpeg(holiday + "/p1", 33, 25, Qt::green);
  WriteJpeg(holiday + "/p2", 33, 25, Qt::yellow);
  window->fps()->SetText("29.97");
  Press();
  EXPECT_EQ(messages, std::vector<std::string>{"all done"});
  // Rounded up to even sides, as H.264 in this form needs.
  EXPECT_EQ(Describe(ReadMovie(Movie())), "h264 avc1 2/2 frames 2997/100 fps 34x26");
}

TEST_F(MovieTest, MoviesThatCannotBeMadeAreExplainedAndLeaveNothing) {
  const QString shots = MakeFolder("shots");
  WriteJpeg(shots + "/1.jpg", 16, 16, Qt::red);
  WriteJpeg(shots + "/2.jpg", 16, 16, Qt::blue);
  window->fps()->SetText("");
  Press();
  EXPECT_EQ(Written(), "");
  window->fps()->SetText("25");
  const std::string missing = Path("missing/movie.mov").toStdString();
  saveAs = missing;
  Press();
  const QString broken = MakeFolder("broken");
  WriteText(broken + "/1.jpg");
  WriteText(broken + "/2.jpg");
  saveAs = Movie();
  Press();
  EXPECT_EQ(Written(), "");

  ASSERT_EQ(messages.size(), 3u);
  EXPECT_NE(messages[0].find("frame rate 0 cannot be used"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("from 0.001 to 1000"), std::string::npos) << messages[0];
  EXPECT_NE(messages[1].find(missing + ": No such file or directory"), std::string::npos)
      << messages[1];
  EXPECT_EQ(messages[2], "None of the images could be read, so no movie was made.");
}

TEST_F(MovieTest, PlayersReadRealDurationsAStartAt0AndSeekToTheRightFrame) {
  const QString shots = MakeFolder("shots");
  // Frame i is grey 2i: a seek shows which frame it landed on.
  for (int i = 0; i < 120; ++i)
    WriteJpeg(shots + QString("/%1.jpg").arg(i, 3, 10, QChar('0')), 64, 48,
              QColor(2 * i, 2 * i, 2 * i));
  auto greyOf = [](const std::vector<std::uint8_t>& luma) {
    return (luma[24 * 64 + 32] - 16) * 255.0 / 219 / 2;
  };
  for (const auto& [fps, seconds] : {std::pair{"25", 4.8}, std::pair{"29.97", 4.004004}}) {
    SCOPED_TRACE(fps);
    window->fps()->SetText(fps);
    messages.clear();
    Press();
    EXPECT_EQ(messages, std::vector<std::string>{"all done"});
    const auto boxes = ReadBoxes(Movie());
    ASSERT_TRUE(boxes);
    EXPECT_EQ(boxes->topLevel, "ftyp wide mdat moov") << "one index at the end, no fragments";
    EXPECT_NEAR(boxes->movieSeconds, seconds, 1e-6);
    EXPECT_NEAR(boxes->trackSeconds, seconds, 1e-6);
    EXPECT_NEAR(boxes->mediaSeconds, seconds, 1e-6);
    EXPECT_EQ(boxes->edits, 1);
    EXPECT_GT(boxes->editMediaStart, 0) << "the encoder's delay is cut off by the edit list";
    EXPECT_GE(boxes->keyframes, 1);
    EXPECT_EQ(ReadMovie(Movie())->decoded, 120);
    const double rate = std::stod(fps);
    for (int frame : {0, 60, 119}) {
      const auto luma = LumaAfterSeek(Movie(), (frame + 0.5) / rate);
      ASSERT_TRUE(luma && luma->size() == 64u * 48u) << frame;
      EXPECT_NEAR(greyOf(*luma), frame, 0.6) << "seek to frame " << frame;
    }
  }
}

// Past the limit a write fails as on a full disk.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{bytes, saved.rlim_max};
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
  rlimit saved{};
};

TEST_F(MovieTest, AFailureMidwayLeavesTheOlderFileAndNoPartFile) {
  const QString shots = MakeFolder("shots");
  for (int i = 0; i < 90; ++i)
    WriteJpeg(shots + QString("/%1.jpg").arg(i, 3, 10, QChar('0')), 96, 72, Qt::black, true);
  window->fps()->SetText("2");
  WriteText(QString::fromStdString(Movie()));
  BarWatch watch(window);
  {
    FileSizeLimit full(100 * 1024);
    Press();
  }
  EXPECT_LT(watch.appends(), 90) << "the failure ends the run in the middle";
  EXPECT_EQ(messages, std::vector<std::string>{"Writing the movie " + Movie() +
                                               " failed: File too large. Nothing of it was kept."});
  EXPECT_EQ(Written(), "movie.mov");
  QFile older(QString::fromStdString(Movie()));
  ASSERT_TRUE(older.open(QIODevice::ReadOnly));
  EXPECT_EQ(older.readAll(), "no picture here");

  // The folder goes away before the movie is finished.
  const QString gone = MakeFolder("gone");
  WriteJpeg(gone + "/1.jpg", 16, 16, Qt::red);
  const std::string target = (gone + "/movie.mov").toStdString();
  auto movie = frametide::EditableMovie::CreateMovie(fw::GetFolderItem(target, 0));
  auto track = movie->NewVideoTrack(16, 16, 25);
  track->AppendPicture(fw::GetFolderItem((gone + "/1.jpg").toStdString(), 0)->OpenAsPicture());
  ASSERT_TRUE(QDir(gone).removeRecursively());
  track->Close();
  EXPECT_EQ(PluginFailure([&] { movie->Close(); }),
            "The finished movie could not be saved as " + target +
                ": No such file or directory. Nothing of it was kept.");
}

TEST_F(MovieTest, FFmpegLoadsWithTheFirstMovieAndWritesOnlyH264) {
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
  std::string refused;
  try {
    track->SetCompressionType("mp4v");
  } catch (const fw::PluginException& e) {
    refused = e.Message();
  }
  EXPECT_EQ(refused,
            "The compression type \"mp4v\" is not supported: movies are written "
            "with H.264 (\"avc1\") only.");
  EXPECT_NO_THROW(track->SetCompressionType("avc1"));
  track.Reset();
  movie.Reset();
  EXPECT_EQ(Written(), "") << "a movie without frames leaves nothing behind";
}

// A movie being written stands beside its destination as ".<name>.frametide-part-XXXXXX".
TEST_F(MovieTest, PartFilesOfWritersThatNoLongerRunAreRemovedOthersKept) {
  const QString shots = MakeFolder("shots");
  WriteJpeg(shots + "/1.jpg", 16, 16, Qt::red);
  WriteJpeg(shots + "/2.jpg", 16, 16, Qt::blue);
  const QString out = Path("out/");
  for (const char* name : {".old.mov.frametide-part-Ab12Cd", ".live.mov.frametide-part-Zz9x8Y",
                           ".movie.mov.part", ".notes.frametide-part-1"})
    WriteText(out + name);
  // A writer that still runs holds its part file locked.
  const int live = open((out + ".live.mov.frametide-part-Zz9x8Y").toLocal8Bit().data(), O_RDONLY);
  ASSERT_EQ(flock(live, LOCK_EX), 0);
  Press();
  close(live);
  EXPECT_EQ(messages, std::vector<std::string>{"all done"});
  EXPECT_EQ(Written(),
            ".live.mov.frametide-part-Zz9x8Y .movie.mov.part .notes.frametide-part-1 movie.mov");

  // A process that ends in the middle of a movie, a plug-in call still running on another
  // thread and the movie never released, leaves nothing in the folder.
  const QString ending = MakeFolder("ending");
  const pid_t child = fork();
  if (child == 0) {
    alarm(30);
    namespace e = frametide::plugin_entry;
    const std::string path = (ending + "/movie.mov").toStdString();
    void* movie = fw::PluginHandleOf(
        frametide::CallPlugin(e::FolderItemCreateMovie, {fw::PluginString(path)}));
    void* track = fw::PluginHandleOf(frametide::CallPlugin(
        e::EditableMovieNewVideoTrack, {fw::PluginHandleArg(movie), fw::PluginInt32(320),
                                        fw::PluginInt32(240), fw::PluginDouble(25)}));
    std::thread([track] {
      std::vector<std::uint8_t> pixels(320 * 240 * 4);
      for (std::uint8_t i = 0;; ++i) {
        std::fill(pixels.begin(), pixels.end(), i);
        frametide::CallPlugin(
            e::QTVideoTrackAppendPicture,
            {fw::PluginHandleArg(track), fw::PluginImage(320, 240, 1280, pixels.data())});
      }
    }).detach();
    usleep(300 * 1000);
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(QDir(ending).entryList(QDir::Files | QDir::Hidden).join(" ").toStdString(), "");
}

TEST_F(MovieTest, MoviesGetTheUsersUmaskWhichNoThreadSeesChange) {
  const QString shots = MakeFolder("shots");
  WriteJpeg(shots + "/1.jpg", 16, 16, Qt::red);
  WriteJpeg(shots + "/2.jpg", 16, 16, Qt::blue);
  const mode_t before = umask(027);
  std::atomic<bool> done = false;
  std::set<std::string> seen;
  std::thread watch([&] {
    while (!done)
      for (std::ifstream status("/proc/self/status"); status;) {
        std::string line;
        std::getline(status, line);
        if (line.rfind("Umask:", 0) == 0) seen.insert(line);
      }
  });
  for (int run = 0; run < 3; ++run) Press();
  done = true;
  watch.join();
  umask(before);
  EXPECT_EQ(seen, std::set<std::string>{"Umask:\t0027"});
  struct stat facts {};
  ASSERT_EQ(stat(Movie().c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mode & 0777, 0640u);
}

// Ending the program while the movie is made: the handler is unwound at once, the movie is
// abandoned (never released to the plug-in, which would finish it) and nothing is shown.
TEST_F(MovieTest, QuitMidMovieAbandonsItPromptly) {
  const QString shots = MakeFolder("shots");
  for (int i = 0; i < 200; ++i)
    WriteJpeg(shots + QString("/%1.jpg").arg(i, 3, 10, QChar('0')), 160, 120, Qt::black, true);
  BarWatch watch(window);
  CallCount<frametide::plugin_entry::EditableMovieExit> movieReleases;
  QElapsedTimer sinceQuit;
  QTimer quitter;
  quitter.callOnTimeout([&] {
    if (watch.appends() >= 20 && !sinceQuit.isValid()) {
      sinceQuit.start();
      fw::Quit();
    }
  });
  quitter.start(1);
  QTimer::singleShot(0, [&] { Click(window->PushButton2()); });
  fw::RuntimeRun();

  ASSERT_TRUE(sinceQuit.isValid());
  EXPECT_LT(sinceQuit.elapsed(), 3000);
  EXPECT_LT(watch.appends(), 200);
  EXPECT_EQ(movieReleases(), 0);
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(Movie())));
}

// A quit once "all done" is shown still finishes the movie, as closing the box does.
TEST_F(MovieTest, QuitAtAllDoneStillFinishesTheMovie) {
  const QString shots = MakeFolder("shots");
  for (int i = 1; i <= 5; ++i)
    WriteJpeg(shots + QString("/%1.jpg").arg(i), 64, 48, QColor(40 * i, 90, 60));
  onMessage = [] { fw::Quit(); };
  QTimer::singleShot(0, [&] { Click(window->PushButton2()); });
  fw::RuntimeRun();
  EXPECT_EQ(messages, std::vector<std::string>{"all done"});
  EXPECT_EQ(Describe(ReadMovie(Movie())), "h264 avc1 5/5 frames 25/1 fps 64x48");
  EXPECT_EQ(Written(), "movie.mov");
}

}  // namespace
