#include "platform/files/date.h"

#include <atomic>
#include <climits>
#include <cmath>
#include <ctime>
#include <limits>

#include "platform/object/classes.h"

namespace fw {

namespace {

std::atomic<std::int64_t> fixedClock{0};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2;
  const std::int64_t era = FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The calendar value of a wall-clock moment, every field in its range.
struct Civil {
  std::int64_t year = 1970;
  int month = 1, day = 1, hour = 0, minute = 0, second = 0;
  std::int64_t days = 0;     // days since 1970-01-01 of the date
  std::int64_t seconds = 0;  // seconds into that day
};

Civil CivilFromDays(std::int64_t days, std::int64_t seconds) {
  Civil c;
  c.days = days;
  c.seconds = seconds;
  const std::int64_t z = days + 719468;
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = yoe + era * 400 + (c.month <= 2);
  c.hour = static_cast<int>(seconds / 3600);
  c.minute = static_cast<int>(seconds / 60 % 60);
  c.second = static_cast<int>(seconds % 60);
  return c;
}

// Carries out-of-range fields into the next larger one, as the calendar does: day 31 of
// month 4 is 1 May, hour 24 is midnight of the next day. 64-bit throughout, so no field
// value can overflow.
Civil Normalise(const std::int32_t f[6]) {
  const std::int64_t month0 = static_cast<std::int64_t>(f[1]) - 1;
  const std::int64_t year = f[0] + FloorDiv(month0, 12);
  const std::int64_t month = FloorMod(month0, 12) + 1;
  std::int64_t days = DaysFromCivil(year, month, 1) + (static_cast<std::int64_t>(f[2]) - 1);
  std::int64_t seconds = static_cast<std::int64_t>(f[3]) * 3600 +
                         static_cast<std::int64_t>(f[4]) * 60 + f[5];
  days += FloorDiv(seconds, 86400);
  seconds = FloorMod(seconds, 86400);
  return CivilFromDays(days, seconds);
}

struct Resolved {
  std::int64_t epochSeconds;
  Civil fields;
};

// The wall-clock moment placed on the time line in local time. The C library settles the
// zone's offset and daylight saving (a time in a spring-forward gap moves past it); outside
// the range it handles the moment is taken as UTC rather than failing.
Resolved Resolve(const std::int32_t f[6]) {
  const Civil c = Normalise(f);
  if (c.year - 1900 >= INT_MIN && c.year - 1900 <= INT_MAX) {
    std::tm tm{};
    tm.tm_year = static_cast<int>(c.year - 1900);
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    tm.tm_isdst = -1;
    tm.tm_wday = -1;  // stays -1 only when mktime fails
    const std::time_t t = std::mktime(&tm);
    if (!(t == static_cast<std::time_t>(-1) && tm.tm_wday == -1)) {
      Civil local = c;
      local.year = static_cast<std::int64_t>(tm.tm_year) + 1900;
      local.month = tm.tm_mon + 1;
      local.day = tm.tm_mday;
      local.hour = tm.tm_hour;
      local.minute = tm.tm_min;
      local.second = tm.tm_sec;
      return {static_cast<std::int64_t>(t), local};
    }
  }
  return {c.days * 86400 + c.seconds, c};
}

std::int32_t Clamp32(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// Fills the six fields from a moment, in local time.
void FromEpoch(std::int64_t epochSeconds, std::int32_t fields[6]) {
  const auto t = static_cast<std::time_t>(epochSeconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm) || tm.tm_year > INT_MAX - 1900)
    throw OutOfBoundsException("the moment " + std::to_string(epochSeconds) +
                               " lies outside the calendar's range");
  fields[0] = tm.tm_year + 1900;
  fields[1] = tm.tm_mon + 1;
  fields[2] = tm.tm_mday;
  fields[3] = tm.tm_hour;
  fields[4] = tm.tm_min;
  fields[5] = tm.tm_sec;
}

std::int64_t Now() {
  const std::int64_t fixed = fixedClock.load();
  return fixed != 0 ? fixed : static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace

Date::Date() { FromEpoch(Now(), fields_); }

std::int32_t Date::Year() const { return Clamp32(Resolve(fields_).fields.year); }
std::int32_t Date::Month() const { return Resolve(fields_).fields.month; }
std::int32_t Date::Day() const { return Resolve(fields_).fields.day; }
std::int32_t Date::Hour() const { return Resolve(fields_).fields.hour; }
std::int32_t Date::Minute() const { return Resolve(fields_).fields.minute; }
std::int32_t Date::Second() const { return Resolve(fields_).fields.second; }

void Date::SetYear(std::int32_t v) { fields_[0] = v; }
void Date::SetMonth(std::int32_t v) { fields_[1] = v; }
void Date::SetDay(std::int32_t v) { fields_[2] = v; }
void Date::SetHour(std::int32_t v) { fields_[3] = v; }
void Date::SetMinute(std::int32_t v) { fields_[4] = v; }
void Date::SetSecond(std::int32_t v) { fields_[5] = v; }

double Date::TotalSeconds() const { return static_cast<double>(Resolve(fields_).epochSeconds); }

void Date::SetTotalSeconds(double seconds) {
  // Beyond about 3e16 s the year no longer fits the Int32 field anyway.
  if (!std::isfinite(seconds) || std::fabs(seconds) > 3e16)
    throw OutOfBoundsException("total seconds " + std::to_string(seconds) +
                               " lie outside the calendar's range");
  FromEpoch(static_cast<std::int64_t>(std::floor(seconds)), fields_);
}

void Date::SetClockForTesting(std::int64_t epochSeconds) { fixedClock.store(epochSeconds); }

const ClassRecord& Date::ClassHandle() {
  if (auto* c = FindClass("Date")) return *c;
  return ClassBuilder("Date", nullptr)
      .Scope("Public")
      .Allocator([] { return new Date; })
      .Property(DeclareProperty<&Date::Year, &Date::SetYear>("Year"))
      .Property(DeclareProperty<&Date::Month, &Date::SetMonth>("Month"))
      .Property(DeclareProperty<&Date::Day, &Date::SetDay>("Day"))
      .Property(DeclareProperty<&Date::Hour, &Date::SetHour>("Hour"))
      .Property(DeclareProperty<&Date::Minute, &Date::SetMinute>("Minute"))
      .Property(DeclareProperty<&Date::Second, &Date::SetSecond>("Second"))
      .Property(DeclareProperty<&Date::TotalSeconds, &Date::SetTotalSeconds>("TotalSeconds"))
      .Register();
}

}  // namespace fw
