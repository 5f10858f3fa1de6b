#pragma once

// The framework's timer: raises Action every Period milliseconds (Mode 2), once (Mode 1) or
// not at all (Mode 0), on the event loop. Expiries keep to their schedule: one that comes late,
// or a handler that runs long, does not push the ones after it back.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/object/classes.h"
#include "platform/object/delegate.h"

class QTimer;

namespace fw {

class Timer : public Object, public EventSource {
  FW_CLASS_HANDLE()
  enum Modes : std::int32_t { ModeOff = 0, ModeSingle = 1, ModeMultiple = 2 };

  Timer();
  ~Timer() override;

  std::int32_t Mode() const { return mode_; }
  // 0, 1 or 2; anything else raises OutOfBoundsException.
  void SetMode(std::int32_t mode);
  // Reads back the value as set; the countdown uses at least 1 ms.
  std::int32_t Period() const { return period_; }
  // A new period counts from the last expiry (or from the start of the countdown), so an
  // expiry already due comes at once; the period it already has changes nothing.
  void SetPeriod(std::int32_t period);

  // Starts the countdown afresh.
  void Reset();
  // Raises Action now, as an expiry would (without touching the mode).
  void CallAction();

  // Objects with a "PerformAction" operation, called on every Action after the handler.
  void AddActionNotificationReceiver(const Ref<Object>& receiver);
  void RemoveActionNotificationReceiver(const Ref<Object>& receiver);

  bool Running() const;
  std::int32_t EffectiveInterval() const;

  std::vector<std::string> EventNames() const override { return {"Action"}; }

 protected:
  Ref<Object> EventTarget() override;

 private:
  void Start();
  void Arm();
  void Expired();
  void RunAction();
  std::int64_t Step() const;

  std::unique_ptr<QTimer> timer_;
  std::int32_t mode_ = ModeOff;
  std::int32_t period_ = 1000;
  std::int64_t lastExpiry_ = 0;  // when the countdown last began: an expiry or a start, in ns
  bool inAction_ = false;
  std::vector<Ref<Object>> receivers_;
};

}  // namespace fw
