#include "platform/ui/timer.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <limits>

#include "platform/ui/pane_child.h"
#include "platform/runtime/runtime.h"

namespace fw {

namespace {

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

const ClassRecord& Timer::ClassHandle() {
  if (auto* c = FindClass("Timer")) return *c;
  return ClassBuilder("Timer", nullptr)
      .Allocator([] { return new Timer; })
      .Add("Reset", {}, "", Method<&Timer::Reset>())
      .Add("addActionNotificationReceiver", {"actionNotificationReceiver"}, "",
           Method<&Timer::AddActionNotificationReceiver>())
      .Add("removeActionNotificationReceiver", {"actionNotificationReceiver"}, "",
           Method<&Timer::RemoveActionNotificationReceiver>())
      .Add("_CallAction", {}, "", Method<&Timer::CallAction>())
      .Property(DeclareProperty<&Timer::Mode, &Timer::SetMode>("Mode", PropertyType::Int32))
      .Property(DeclareProperty<&Timer::Period, &Timer::SetPeriod>("Period", PropertyType::Int32))
      .Interface("actionSource")
      .Register();
}

Timer::Timer() : timer_(std::make_unique<QTimer>()) {
  // Each countdown is armed afresh towards the next expiry on the schedule, to the millisecond.
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setSingleShot(true);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { Expired(); });
}

Timer::~Timer() {
  // The timer may be released from within its own Action; let Qt drop the QTimer later.
  timer_->stop();
  timer_->disconnect();
  timer_.release()->deleteLater();
}

void Timer::SetMode(std::int32_t mode) {
  if (mode < ModeOff || mode > ModeMultiple)
    throw OutOfBoundsException("Timer.Mode must be 0, 1 or 2, not " + std::to_string(mode));
  mode_ = mode;
  Start();
}

void Timer::SetPeriod(std::int32_t period) {
  if (period == period_) return;
  period_ = period;
  Arm();
}

void Timer::Reset() { Start(); }

bool Timer::Running() const { return timer_->isActive(); }

std::int32_t Timer::EffectiveInterval() const { return std::max<std::int32_t>(period_, 1); }

// A zero or negative period would make the timer fire on every pass of the loop.
std::int64_t Timer::Step() const { return std::int64_t{EffectiveInterval()} * 1'000'000; }

void Timer::Start() {
  lastExpiry_ = Now();
  Arm();
}

void Timer::Arm() {
  timer_->stop();
  if (mode_ == ModeOff) return;
  const std::int64_t wait = lastExpiry_ + Step() - Now();
  // Rounded up: an expiry never comes before its time.
  const std::int64_t ms = wait <= 0 ? 0 : (wait + 999'999) / 1'000'000;
  timer_->start(static_cast<int>(std::min<std::int64_t>(ms, std::numeric_limits<int>::max())));
}

void Timer::Expired() {
  const std::int64_t step = Step();
  const std::int64_t now = Now();
  std::int64_t due = lastExpiry_ + step;
  // Expiries missed while the loop was held up are not made up one by one; the schedule goes on
  // from the last of them.
  if (now - due >= step) due += (now - due) / step * step;
  lastExpiry_ = due;
  if (mode_ == ModeSingle)
    mode_ = ModeOff;
  else
    Arm();  // before the handler: one that runs its own loop does not hold the schedule up
  RunAction();
}

void Timer::CallAction() { RunAction(); }

void Timer::RunAction() {
  // A handler still running (say, in a modal dialog's loop) drops the nested expiry.
  if (inAction_) return;
  // The handler may drop the last reference to this timer; keep it alive until we are done.
  Ref<Timer> keep(References() > 0 ? this : nullptr);
  inAction_ = true;
  RaiseEvent("Action");
  const auto receivers = receivers_;
  for (const auto& receiver : receivers)
    RunHandler([&] { Invoke(*receiver, "PerformAction"); });
  inAction_ = false;
}

void Timer::AddActionNotificationReceiver(const Ref<Object>& receiver) {
  if (!receiver) throw NilObjectException("no action notification receiver given");
  if (receiver->Class().SlotOf("PerformAction") < 0)
    throw TypeMismatchException("class " + receiver->Class().Name() +
                                " has no PerformAction operation");
  if (std::find(receivers_.begin(), receivers_.end(), receiver) == receivers_.end())
    receivers_.push_back(receiver);
}

void Timer::RemoveActionNotificationReceiver(const Ref<Object>& receiver) {
  receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), receiver), receivers_.end());
}

Ref<Object> Timer::EventTarget() { return PaneChildWindow(*this); }

}  // namespace fw
