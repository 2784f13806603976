#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/framework/DateTime.h"
#include "platform/framework/Exception.h"

namespace {

using zyfw::TDateTime;

TEST(DateTime, EncodeDateCountsDaysFromTheEpoch) {
  struct Case {
    int y, m, d;
    double value;
  };
  const Case cases[] = {
      {1899, 12, 30, 0},     {1899, 12, 31, 1},  {1900, 1, 1, 2},         {1899, 12, 29, -1},
      {2000, 1, 1, 36526},   {2024, 2, 29, 45351}, {1, 1, 1, -693593},    {9999, 12, 31, 2958465},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zyfw::EncodeDate(c.y, c.m, c.d), c.value) << c.y << "-" << c.m << "-" << c.d;
    int y, m, d;
    zyfw::DecodeDate(c.value, &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.value;
  }
}

TEST(DateTime, InvalidFieldsAreRefused) {
  struct Case {
    int y, m, d;
  };
  const Case dates[] = {{1900, 2, 29}, {2023, 2, 29}, {2024, 13, 1}, {2024, 0, 1},
                        {2024, 4, 31}, {0, 1, 1},     {10000, 1, 1}, {2024, 1, 0}};
  for (const Case& c : dates) {
    TDateTime out = 123;
    EXPECT_FALSE(zyfw::TryEncodeDate(c.y, c.m, c.d, &out));
    EXPECT_EQ(out, 123);
    EXPECT_THROW(zyfw::EncodeDate(c.y, c.m, c.d), zyfw::EConvertError);
  }
  EXPECT_THROW(zyfw::EncodeTime(24, 0, 0, 0), zyfw::EConvertError);
  EXPECT_THROW(zyfw::EncodeTime(0, 60, 0, 0), zyfw::EConvertError);
  EXPECT_THROW(zyfw::EncodeTime(0, 0, 60, 0), zyfw::EConvertError);
  EXPECT_THROW(zyfw::EncodeTime(0, 0, 0, 1000), zyfw::EConvertError);
  EXPECT_THROW(zyfw::EncodeTime(-1, 0, 0, 0), zyfw::EConvertError);
}

TEST(DateTime, EveryDayRoundTrips) {
  int count = 0;
  for (int y = 1; y <= 9999; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= zyfw::DaysInMonth(y, m); ++d) {
        int yy, mm, dd;
        const TDateTime v = zyfw::EncodeDate(y, m, d);
        zyfw::DecodeDate(v, &yy, &mm, &dd);
        if (yy != y || mm != m || dd != d) {
          ADD_FAILURE() << y << "-" << m << "-" << d << " came back as " << yy << "-" << mm
                        << "-" << dd;
          return;
        }
        ++count;
      }
  EXPECT_EQ(count, 2958465 + 693593 + 1);
}

TEST(DateTime, TimeOfDayRoundTripsAndRoundsToTheMillisecond) {
  const TDateTime t = zyfw::EncodeTime(12, 34, 56, 789);
  EXPECT_NEAR(t, (12 * 3600 + 34 * 60 + 56.789) / 86400.0, 1e-12);
  int h, n, s, ms;
  zyfw::DecodeTime(zyfw::ComposeDateTime(45351, t), &h, &n, &s, &ms);
  EXPECT_EQ((std::array<int, 4>{h, n, s, ms}), (std::array<int, 4>{12, 34, 56, 789}));

  // A hair before midnight is midnight of the next day.
  int y, m, d;
  zyfw::DecodeDate(1.9999999999, &y, &m, &d);
  zyfw::DecodeTime(1.9999999999, &h, &n, &s, &ms);
  EXPECT_EQ((std::array<int, 7>{y, m, d, h, n, s, ms}),
            (std::array<int, 7>{1900, 1, 1, 0, 0, 0, 0}));
}

TEST(DateTime, BeforeTheEpochTheFractionIsStillTheTimeOfDay) {
  const TDateTime v = zyfw::ComposeDateTime(zyfw::EncodeDate(1899, 12, 29), zyfw::EncodeTime(6, 0, 0, 0));
  EXPECT_EQ(v, -1.25);
  int y, m, d, h, n, s, ms;
  zyfw::DecodeDate(v, &y, &m, &d);
  zyfw::DecodeTime(v, &h, &n, &s, &ms);
  EXPECT_EQ((std::array<int, 7>{y, m, d, h, n, s, ms}),
            (std::array<int, 7>{1899, 12, 29, 6, 0, 0, 0}));
  // Half a day before the epoch is noon of the epoch day itself.
  zyfw::DecodeDate(-0.5, &y, &m, &d);
  zyfw::DecodeTime(-0.5, &h, &n, &s, &ms);
  EXPECT_EQ((std::array<int, 4>{y, m, d, h}), (std::array<int, 4>{1899, 12, 30, 12}));
}

TEST(DateTime, ValuesOutsideTheCalendarDecodeToZeros) {
  for (double v : {-693594.5, 2958466.5, 1e300, -1e300, std::nan("")}) {
    int y = 1, m = 1, d = 1, h = 1, n = 1, s = 1, ms = 1;
    zyfw::DecodeDate(v, &y, &m, &d);
    zyfw::DecodeTime(v, &h, &n, &s, &ms);
    EXPECT_EQ((std::array<int, 7>{y, m, d, h, n, s, ms}), (std::array<int, 7>{}));
  }
}

TEST(DateTime, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(zyfw::IsLeapYear(2000));
  EXPECT_TRUE(zyfw::IsLeapYear(2024));
  EXPECT_FALSE(zyfw::IsLeapYear(1900));
  EXPECT_FALSE(zyfw::IsLeapYear(2023));
  EXPECT_EQ(zyfw::DaysInMonth(2024, 2), 29);
  EXPECT_EQ(zyfw::DaysInMonth(1900, 2), 28);
  EXPECT_EQ(zyfw::DaysInMonth(2023, 4), 30);
  EXPECT_EQ(zyfw::DaysInMonth(2023, 12), 31);
}

TEST(FileTimeToSystemTime, CalendarFieldsWithoutZoneAdjustment) {
  struct Case {
    uint64_t fileTime;
    std::array<int, 7> fields;
  };
  const Case cases[] = {
      {0, {1601, 1, 1, 0, 0, 0, 0}},
      {116444736000000000ULL, {1970, 1, 1, 0, 0, 0, 0}},
      // The 100-ns remainder below a millisecond is dropped.
      {133536836967899999ULL, {2024, 2, 29, 12, 34, 56, 789}},
      {94352472000009999ULL, {1899, 12, 29, 6, 0, 0, 0}},
      {2650467743999999999ULL, {9999, 12, 31, 23, 59, 59, 999}},
  };
  for (const Case& c : cases) {
    zyfw::SystemTime st;
    ASSERT_TRUE(zyfw::FileTimeToSystemTime(c.fileTime, &st)) << c.fileTime;
    EXPECT_EQ((std::array<int, 7>{st.year, st.month, st.day, st.hour, st.minute, st.second,
                                  st.millisecond}),
              c.fields)
        << c.fileTime;
  }
  zyfw::SystemTime st;
  EXPECT_FALSE(zyfw::FileTimeToSystemTime(2650467744000000000ULL, &st));
  EXPECT_FALSE(zyfw::FileTimeToSystemTime(UINT64_MAX, &st));
}

}  // namespace
