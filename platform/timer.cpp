#include "platform/timer.h"

#include <QTimer>
#include <algorithm>

#include "platform/pane_child.h"
#include "platform/runtime.h"

namespace fw {

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
  timer_->setTimerType(Qt::CoarseTimer);
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
  Arm();
}

void Timer::SetPeriod(std::int32_t period) {
  period_ = period;
  Arm();
}

void Timer::Reset() { Arm(); }

bool Timer::Running() const { return timer_->isActive(); }

std::int32_t Timer::EffectiveInterval() const { return timer_->interval(); }

void Timer::Arm() {
  timer_->stop();
  // A zero interval would make the timer fire on every pass of the loop.
  timer_->setInterval(std::max<std::int32_t>(period_, 1));
  timer_->setSingleShot(mode_ == ModeSingle);
  if (mode_ != ModeOff) timer_->start();
}

void Timer::Expired() {
  if (mode_ == ModeSingle) mode_ = ModeOff;
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
