#include "platform/files/date.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "platform/object/classes.h"

namespace {

using fw::Date;
using fw::MakeRef;

void UseZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

std::int64_t LocalEpoch(int y, int mo, int d, int h, int mi, int s) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime).toSecsSinceEpoch();
}

// Sets the six fields one by one, year first, as the schedule reader does.
void SetInOrder(Date& date, int y, int mo, int d, int h, int mi, int s) {
  date.SetYear(y);
  date.SetMonth(mo);
  date.SetDay(d);
  date.SetHour(h);
  date.SetMinute(mi);
  date.SetSecond(s);
}

struct Fields {
  int y, mo, d, h, mi, s;
};

class DateClock : public ::testing::Test {
 protected:
  void TearDown() override { Date::SetClockForTesting(0); }
};

TEST_F(DateClock, FieldsSetInOrderNameThatMomentWhateverTheCurrentDate) {
  UseZone("Europe/Berlin");
  const Fields nows[] = {{2026, 1, 31, 12, 0, 0}, {2024, 2, 29, 23, 59, 59},
                         {2026, 3, 31, 2, 30, 0}, {2026, 12, 31, 23, 59, 59},
                         {2026, 10, 25, 2, 30, 0}};
  const Fields targets[] = {{2026, 2, 15, 12, 0, 0},  {2026, 4, 30, 0, 0, 0},
                            {2025, 2, 28, 23, 59, 59}, {2024, 2, 29, 1, 2, 3},
                            {2009, 3, 5, 9, 7, 3},    {2026, 11, 30, 10, 20, 30},
                            {2010, 1, 1, 0, 0, 0}};
  for (const Fields& now : nows) {
    Date::SetClockForTesting(LocalEpoch(now.y, now.mo, now.d, now.h, now.mi, now.s));
    for (const Fields& t : targets) {
      auto date = MakeRef<Date>();
      SetInOrder(*date, t.y, t.mo, t.d, t.h, t.mi, t.s);
      SCOPED_TRACE(testing::Message() << "now " << now.y << "-" << now.mo << "-" << now.d
                                      << ", target " << t.y << "-" << t.mo << "-" << t.d);
      EXPECT_EQ(date->TotalSeconds(), static_cast<double>(LocalEpoch(t.y, t.mo, t.d, t.h, t.mi, t.s)));
      EXPECT_EQ(date->Year(), t.y);
      EXPECT_EQ(date->Month(), t.mo);
      EXPECT_EQ(date->Day(), t.d);
      EXPECT_EQ(date->Hour(), t.h);
      EXPECT_EQ(date->Minute(), t.mi);
      EXPECT_EQ(date->Second(), t.s);
    }
  }
}

TEST_F(DateClock, NewDateHoldsTheClockToTheSecond) {
  UseZone("UTC");
  Date::SetClockForTesting(1236244023);  // 2009-03-05 09:07:03 UTC
  auto date = MakeRef<Date>();
  EXPECT_EQ(date->TotalSeconds(), 1236244023.0);
  EXPECT_EQ(date->Year(), 2009);
  EXPECT_EQ(date->Month(), 3);
  EXPECT_EQ(date->Day(), 5);
  EXPECT_EQ(date->Hour(), 9);
  EXPECT_EQ(date->Minute(), 7);
  EXPECT_EQ(date->Second(), 3);

  Date::SetClockForTesting(0);
  const double before = static_cast<double>(std::time(nullptr));
  const double now = MakeRef<Date>()->TotalSeconds();
  EXPECT_GE(now, before);
  EXPECT_LE(now, before + 2);
  EXPECT_EQ(now, std::floor(now));
}

TEST(Date, OutOfRangeFieldsReadBackNormalised) {
  UseZone("UTC");
  auto date = MakeRef<Date>();
  SetInOrder(*date, 2026, 4, 31, 10, 0, 0);  // 31 April
  EXPECT_EQ(date->Month(), 5);
  EXPECT_EQ(date->Day(), 1);

  SetInOrder(*date, 2026, 13, 1, 0, 0, 0);
  EXPECT_EQ(date->Year(), 2027);
  EXPECT_EQ(date->Month(), 1);

  SetInOrder(*date, 2026, 3, 0, 0, 0, 0);  // day 0: the last of February
  EXPECT_EQ(date->Month(), 2);
  EXPECT_EQ(date->Day(), 28);

  SetInOrder(*date, 2026, 12, 31, 23, 59, 60);
  EXPECT_EQ(date->Year(), 2027);
  EXPECT_EQ(date->Month(), 1);
  EXPECT_EQ(date->Day(), 1);
  EXPECT_EQ(date->Hour(), 0);
  EXPECT_EQ(date->Second(), 0);

  SetInOrder(*date, 2026, 1, 1, -1, 0, 0);
  EXPECT_EQ(date->Year(), 2025);
  EXPECT_EQ(date->Hour(), 23);
  EXPECT_EQ(date->TotalSeconds(), static_cast<double>(LocalEpoch(2025, 12, 31, 23, 0, 0)));
}

TEST(Date, ExtremeFieldsNeitherCrashNorOverflow) {
  UseZone("Europe/Berlin");
  auto date = MakeRef<Date>();
  const std::int32_t extremes[] = {std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::min(), 0, -1};
  for (std::int32_t v : extremes) {
    SetInOrder(*date, v, v, v, v, v, v);
    EXPECT_TRUE(std::isfinite(date->TotalSeconds())) << v;
    const std::int32_t month = date->Month();
    EXPECT_GE(month, 1);
    EXPECT_LE(month, 12);
    date->Year();
    EXPECT_GE(date->Day(), 1);
  }
}

TEST(Date, TimeInSpringForwardGapResolvesToARealTime) {
  UseZone("Europe/Berlin");
  auto date = MakeRef<Date>();
  SetInOrder(*date, 2026, 3, 29, 2, 30, 0);  // clocks jump from 02:00 to 03:00
  const double total = date->TotalSeconds();
  EXPECT_TRUE(total == 1774744200.0 || total == 1774747800.0) << total;
  EXPECT_TRUE(date->Hour() == 1 || date->Hour() == 3);
  EXPECT_EQ(date->Minute(), 30);

  // Either side of the gap is one second apart on the time line.
  SetInOrder(*date, 2026, 3, 29, 1, 59, 59);
  const double before = date->TotalSeconds();
  SetInOrder(*date, 2026, 3, 29, 3, 0, 0);
  EXPECT_EQ(date->TotalSeconds() - before, 1.0);
}

TEST(Date, TotalSecondsRoundTripsAndRejectsNonNumbers) {
  UseZone("Europe/Berlin");
  auto date = MakeRef<Date>();
  date->SetTotalSeconds(1771153200.0);  // 15 February 2026, 12:00 in Berlin
  EXPECT_EQ(date->Year(), 2026);
  EXPECT_EQ(date->Month(), 2);
  EXPECT_EQ(date->Day(), 15);
  EXPECT_EQ(date->Hour(), 12);
  EXPECT_EQ(date->TotalSeconds(), 1771153200.0);

  date->SetTotalSeconds(1771153200.75);  // whole seconds only
  EXPECT_EQ(date->TotalSeconds(), 1771153200.0);
  date->SetTotalSeconds(-1.5);
  EXPECT_EQ(date->TotalSeconds(), -2.0);

  EXPECT_THROW(date->SetTotalSeconds(std::nan("")), fw::OutOfBoundsException);
  EXPECT_THROW(date->SetTotalSeconds(INFINITY), fw::OutOfBoundsException);
  EXPECT_THROW(date->SetTotalSeconds(1e300), fw::OutOfBoundsException);
  EXPECT_EQ(date->TotalSeconds(), -2.0);  // a rejected value leaves the date as it was
}

TEST(Date, ClassRecordMakesDatesAndReachesTheFieldsByName) {
  const fw::ClassRecord& record = Date::ClassHandle();
  EXPECT_EQ(&record, fw::FindClass("Date"));
  fw::Ref<fw::Object> object = fw::RuntimeNewObject(record);
  ASSERT_TRUE(dynamic_cast<Date*>(object.Get()));
  for (const char* name : {"Year", "Month", "Day", "Hour", "Minute", "Second"}) {
    const fw::PropertyDeclaration* p = record.FindProperty(name);
    ASSERT_TRUE(p) << name;
    EXPECT_EQ(p->type, fw::PropertyType::Int32) << name;
  }
  const fw::PropertyDeclaration* total = record.FindProperty("TotalSeconds");
  ASSERT_TRUE(total);
  EXPECT_EQ(total->type, fw::PropertyType::Double);

  record.FindProperty("year")->set(*object, std::int32_t{2010});
  record.FindProperty("Month")->set(*object, std::int32_t{1});
  record.FindProperty("Day")->set(*object, std::int32_t{1});
  EXPECT_EQ(fw::FromValue<std::int32_t>(record.FindProperty("Year")->get(*object)), 2010);
  total->set(*object, 0.0);
  EXPECT_EQ(fw::FromValue<double>(total->get(*object)), 0.0);
}

}  // namespace
