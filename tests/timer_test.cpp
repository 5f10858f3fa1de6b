#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/ui/timer.h"

namespace {

void RunLoopFor(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

// Stands in for the window whose handlers a timer runs.
struct TimerOwner : fw::Object {
  FW_CLASS_HANDLE()
  int ticks = 0;
  int depth = 0;
  int deepest = 0;
  int nestedLoopMs = 0;        // > 0: the first tick runs a nested loop that long
  std::function<void()> onTick;
  fw::Ref<fw::Object> victim;  // released from within the tick
  void Tick() {
    ++ticks;
    deepest = std::max(deepest, ++depth);
    victim.Reset();
    if (onTick) onTick();
    if (nestedLoopMs > 0) {
      const int ms = std::exchange(nestedLoopMs, 0);
      QEventLoop loop;  // as a modal dialog would
      QTimer::singleShot(ms, &loop, &QEventLoop::quit);
      loop.exec();
    }
    --depth;
  }
  int performed = 0;
  void PerformAction() { ++performed; }
};

const fw::ClassRecord& TimerOwner::ClassHandle() {
  if (auto* c = fw::FindClass("TimerOwner")) return *c;
  return fw::ClassBuilder("TimerOwner", nullptr)
      .Allocator([] { return new TimerOwner; })
      .Add("Tick", {}, "", fw::Method<&TimerOwner::Tick>())
      .Add("PerformAction", {}, "", fw::Method<&TimerOwner::PerformAction>())
      .Register();
}

fw::Ref<TimerOwner>& Owner() {
  static fw::Ref<TimerOwner> owner;
  return owner;
}

// A timer of a window, as the program's own timer classes make it.
const fw::ClassRecord& WindowTimerClass() {
  if (auto* c = fw::FindClass("TestWindowTimer")) return *c;
  return fw::ClassBuilder("TestWindowTimer", &fw::Timer::ClassHandle())
      .Add("Window", {}, "Window",
           [](fw::Object&, std::span<const fw::Value>) -> fw::Value {
             return fw::ToValue(Owner());
           })
      .Interface("_PaneChild")
      .Register();
}

struct TimerTest : ::testing::Test {
  fw::Ref<fw::Timer> timer;
  void SetUp() override {
    Owner() = fw::MakeRef<TimerOwner>();
    timer = fw::Cast<fw::Timer>(fw::RuntimeNewObject(WindowTimerClass()));
    timer->InstallHandler("Action", &TimerOwner::ClassHandle().Slot(0));
  }
  void TearDown() override {
    timer.Reset();
    Owner().Reset();
  }
  int Ticks() const { return Owner()->ticks; }
};

TEST(TimerClass, TableInterfaceAndProperties) {
  const auto& c = fw::Timer::ClassHandle();
  std::vector<std::string> names;
  for (const auto& op : c.Table()) names.push_back(op.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Reset", "addActionNotificationReceiver",
                                             "removeActionNotificationReceiver", "_CallAction"}));
  EXPECT_TRUE(c.Answers("actionSource"));
  ASSERT_TRUE(c.FindProperty("Mode"));
  ASSERT_TRUE(c.FindProperty("Period"));
  EXPECT_EQ(c.FindProperty("Mode")->type, fw::PropertyType::Int32);
  EXPECT_EQ(c.FindProperty("Period")->type, fw::PropertyType::Int32);
}

TEST_F(TimerTest, PropertyListOrderGivesARepeatingTimerOfThatPeriod) {
  auto& record = timer->Class();
  record.FindProperty("Mode")->set(*timer, std::int32_t{2});
  record.FindProperty("Period")->set(*timer, std::int32_t{10000});
  EXPECT_TRUE(timer->Running());
  EXPECT_EQ(timer->EffectiveInterval(), 10000);
  EXPECT_EQ(fw::FromValue<std::int32_t>(record.FindProperty("Period")->get(*timer)), 10000);
  EXPECT_EQ(fw::FromValue<std::int32_t>(record.FindProperty("Mode")->get(*timer)), 2);
  RunLoopFor(50);
  EXPECT_EQ(Ticks(), 0);
}

TEST_F(TimerTest, ModesOffOnceAndRepeating) {
  timer->SetPeriod(15);
  RunLoopFor(60);
  EXPECT_EQ(Ticks(), 0) << "a new timer is off";

  timer->SetMode(2);
  ASSERT_TRUE(WaitFor([&] { return Ticks() >= 3; }));
  timer->SetMode(0);
  const int stopped = Ticks();
  RunLoopFor(60);
  EXPECT_EQ(Ticks(), stopped);

  Owner()->ticks = 0;
  timer->SetMode(1);
  RunLoopFor(120);
  EXPECT_EQ(Ticks(), 1);
  EXPECT_EQ(timer->Mode(), 0);
  EXPECT_FALSE(timer->Running());

  EXPECT_THROW(timer->SetMode(3), fw::OutOfBoundsException);
  EXPECT_THROW(timer->SetMode(-1), fw::OutOfBoundsException);
}

TEST_F(TimerTest, PeriodBelowOneIsClampedButReadsBackAsSet) {
  timer->SetMode(2);
  timer->SetPeriod(0);
  EXPECT_EQ(timer->Period(), 0);
  EXPECT_EQ(timer->EffectiveInterval(), 1);
  timer->SetPeriod(-5);
  EXPECT_EQ(timer->Period(), -5);
  EXPECT_EQ(timer->EffectiveInterval(), 1);
  ASSERT_TRUE(WaitFor([&] { return Ticks() >= 2; }, 1000));
}

// Expiries at their times to within 20 ms: a late handler shifts none, the same period changes
// nothing, a new one counts from the last expiry, and one already due comes at once.
TEST_F(TimerTest, ExpiriesKeepToTheirSchedule) {
  using namespace std::chrono;
  const auto t0 = steady_clock::now();
  std::vector<double> at;
  Owner()->onTick = [&] {
    at.push_back(duration<double, std::milli>(steady_clock::now() - t0).count());
    if (at.size() == 1) std::this_thread::sleep_for(milliseconds(150));
  };
  timer->SetPeriod(1000);
  timer->SetMode(2);
  QTimer::singleShot(500, Qt::PreciseTimer, [&] { timer->SetPeriod(1000); });
  QTimer::singleShot(2300, Qt::PreciseTimer, [&] { timer->SetPeriod(500); });
  QTimer::singleShot(3200, Qt::PreciseTimer, [&] { timer->SetPeriod(100); });
  ASSERT_TRUE(WaitFor([&] { return at.size() >= 6; }, 5000)) << at.size();
  const double expected[] = {1000, 2000, 2500, 3000, 3200, 3300};
  for (std::size_t i = 0; i < std::size(expected); ++i)
    EXPECT_NEAR(at[i], expected[i], 20) << "expiry " << i;
}

TEST_F(TimerTest, ATickStillRunningDropsNestedExpiries) {
  Owner()->nestedLoopMs = 200;
  timer->SetMode(2);
  timer->SetPeriod(10);
  ASSERT_TRUE(WaitFor([&] { return Ticks() >= 1; }));
  // The first tick's nested loop ran about 20 expiries; none of them reached the handler.
  EXPECT_EQ(Ticks(), 1);
  EXPECT_EQ(Owner()->deepest, 1);
  ASSERT_TRUE(WaitFor([&] { return Ticks() >= 3; }));
  EXPECT_EQ(Owner()->deepest, 1);
}

TEST_F(TimerTest, CallActionRaisesActionAndNotifiesReceivers) {
  fw::Invoke(*timer, "addActionNotificationReceiver",
             std::vector<fw::Value>{fw::ToValue(Owner())});
  fw::Invoke(*timer, "_CallAction");
  EXPECT_EQ(Ticks(), 1);
  EXPECT_EQ(Owner()->performed, 1);
  fw::Invoke(*timer, "removeActionNotificationReceiver",
             std::vector<fw::Value>{fw::ToValue(Owner())});
  fw::Invoke(*timer, "_CallAction");
  EXPECT_EQ(Ticks(), 2);
  EXPECT_EQ(Owner()->performed, 1);
  // Something without PerformAction cannot be a receiver.
  EXPECT_THROW(timer->AddActionNotificationReceiver(fw::Ref<fw::Object>(timer.Get())),
               fw::TypeMismatchException);
}

TEST_F(TimerTest, ATimerReleasedByItsOwnHandlerIsFreedSafely) {
  Owner()->victim = fw::Ref<fw::Object>(timer.Get());
  timer->SetMode(2);
  timer->SetPeriod(5);
  fw::Timer* raw = timer.Get();
  timer.Reset();  // only the owner holds it now
  EXPECT_EQ(raw->References(), 1);
  ASSERT_TRUE(WaitFor([&] { return Ticks() >= 1; }));
  RunLoopFor(50);
  EXPECT_EQ(Ticks(), 1) << "a released timer must not fire again";
}

}  // namespace
