// The schedule fields and the capture file names on a clock held still.

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>

#include "platform/files/date.h"
#include "tests/loopback_server.h"
#include "tests/window_fixture.h"

namespace {

struct Moment {
  std::int64_t epoch;  // seconds since 1970 UTC
  const char* schedule;
  const char* secondLater;
  const char* file;
};

// Local time is five and a half hours east of UTC: a name or field taken from UTC shows.
constexpr const char* kZone = "IST-5:30";
constexpr Moment kMoments[] = {
    {1796672109, "2026,12,8,1,5,9", "2026,12,8,1,5,10", "2026-12-08-01-05-09.jpg"},
    {1236224223, "2009,3,5,9,7,3", "2009,3,5,9,7,4", "2009-03-05-09-07-03.jpg"},
    {1262284199, "2009,12,31,23,59,59", "2010,1,1,0,0,0", "2009-12-31-23-59-59.jpg"},
    {1262284200, "2010,1,1,0,0,0", "2010,1,1,0,0,1", "2010-01-01-00-00-00.jpg"},
};

struct CaptureClock : WindowFixture {
  QTemporaryDir dir;
  std::string zone;

  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) zone = tz;
    setenv("TZ", kZone, 1);
    tzset();
    fw::Date::SetClockForTesting(kMoments[0].epoch);  // before the window opens
    WindowFixture::SetUp();
    folder = dir.path().toStdString();
    window->Timer1()->SetMode(fw::Timer::ModeOff);
  }
  void TearDown() override {
    WindowFixture::TearDown();
    fw::Date::SetClockForTesting(0);
    zone.empty() ? unsetenv("TZ") : setenv("TZ", zone.c_str(), 1);
    tzset();
  }
};

TEST_F(CaptureClock, OpeningWritesTheMomentAndATickLaterNamesItsFile) {
  LoopbackServer server(LoopbackServer::Answer("HTTP/1.0 200 OK\r\n\r\nimage"));
  window->EditField1()->SetText(server.Url("/cam.jpg"));
  window->PushButton1()->Push();
  ASSERT_EQ(window->status, 1);

  QStringList files;
  for (const Moment& m : kMoments) {
    SCOPED_TRACE(m.file);
    fw::Date::SetClockForTesting(m.epoch);
    if (&m != kMoments) window->Event_Open();  // the first was written by the real opening
    EXPECT_EQ(window->dvon()->Text(), m.schedule);
    EXPECT_EQ(window->dbis()->Text(), m.schedule);

    // Start equal to stop: now lies on both edges, so outside.
    window->nummer()->SetText("kept");
    window->Timer1()->CallAction();
    EXPECT_EQ(window->nummer()->Text(), "kept");
    EXPECT_EQ(window->downloading, 0);

    window->dvon()->SetText("2000,1,1,0,0,0");
    window->dbis()->SetText(m.secondLater);
    const int before = window->anzahl;
    window->Timer1()->CallAction();
    EXPECT_EQ(window->nummer()->Text(), std::string("fetching ") + m.file);
    EXPECT_EQ(window->aktuellsave->AbsolutePath(), dir.filePath(m.file).toStdString());
    ASSERT_TRUE(WaitFor([&] { return window->anzahl == before + 1; }));
    files << m.file;
  }
  files.sort();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name), files);
  EXPECT_EQ(server.requests.size(), std::size(kMoments));
}

}  // namespace
