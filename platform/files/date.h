#pragma once

// Local calendar date-times. The six fields are kept as set, so setting them one by one names
// exactly the date-time they give, whatever the date held before (day 15 of month 2 set on
// 31 January is 15 February); reading normalises out-of-range fields the calendar's way.

#include <cstdint>

#include "platform/object/object.h"

namespace fw {

class Date : public Object {
  FW_CLASS_HANDLE()
  Date();  // the current local date-time, to the second

  std::int32_t Year() const;
  std::int32_t Month() const;
  std::int32_t Day() const;
  std::int32_t Hour() const;
  std::int32_t Minute() const;
  std::int32_t Second() const;
  void SetYear(std::int32_t v);
  void SetMonth(std::int32_t v);
  void SetDay(std::int32_t v);
  void SetHour(std::int32_t v);
  void SetMinute(std::int32_t v);
  void SetSecond(std::int32_t v);
  // Seconds on one local time line (seconds since 1970-01-01 00:00:00 UTC).
  double TotalSeconds() const;
  void SetTotalSeconds(double seconds);

  // A fixed "now" for tests; 0 restores the clock. Seconds since 1970 UTC.
  static void SetClockForTesting(std::int64_t epochSeconds);

 private:
  std::int32_t fields_[6] = {};  // year, month, day, hour, minute, second, as set
};

}  // namespace fw
