// Dates and times as text: the display rule of stored values, patterns, and the accepted input forms.
#include <gtest/gtest.h>

#include "platform/framework/Convert.h"
#include "platform/framework/DateTime.h"
#include "platform/framework/Exception.h"

using namespace zyfw;

namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  const TDateTime date = EncodeDate(y, mo, d);
  const TDateTime time = EncodeTime(h, mi, s, ms);
  return date < 0 ? date - time : date + time;
}

TEST(DateText, DisplayShowsOnlyTheNonZeroParts) {
  const struct {
    TDateTime value;
    const char* text;
  } cases[] = {
      {0, "12/30/1899"},                        // day 0 at midnight is a date
      {At(2024, 2, 29), "02/29/2024"},          // midnight: date alone
      {0.5, "12:00:00"},                        // whole-day part 0: time alone
      {At(1899, 12, 30, 23, 59, 59), "23:59:59"},
      {At(2001, 7, 4, 9, 5, 7), "07/04/2001 09:05:07"},
      {At(9999, 12, 31, 23, 59, 59), "12/31/9999 23:59:59"},
      {At(1, 1, 1), "01/01/0001"},
      {-1.25, "12/29/1899 06:00:00"},           // before the epoch the time still counts forward
      {At(2020, 1, 1, 0, 0, 0, 400), "01/01/2020 00:00:00"},  // milliseconds are not shown
  };
  for (const auto& c : cases) EXPECT_EQ(DateTimeToStr(c.value), c.text) << c.text;
}

TEST(DateText, Patterns) {
  const TDateTime v = At(2003, 4, 5, 6, 7, 8, 9);
  const struct {
    const char* pattern;
    const char* text;
  } cases[] = {
      {"mm/dd/yyyy", "04/05/2003"},
      {"hh:nn:ss", "06:07:08"},
      {"m/d/yy h:n:s", "4/5/03 6:7:8"},
      {"YYYY-MM-DD", "2003-04-05"},
      {"hh:nn:ss.zzz", "06:07:08.009"},
      {"'day' d", "day 5"},
      {"\"at\" hh", "at 06"},
      {"yyyy@ x", "2003@ x"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, v), c.text) << c.pattern;
  EXPECT_EQ(DateToStr(v), "04/05/2003");
  EXPECT_EQ(TimeToStr(v), "06:07:08");
}

TEST(DateText, Reading) {
  const struct {
    const char* text;
    bool ok;
    TDateTime value;
  } cases[] = {
      {"04/05/2003", true, At(2003, 4, 5)},
      {"4/5/2003", true, At(2003, 4, 5)},
      {" 04/05/2003 06:07 ", true, At(2003, 4, 5, 6, 7)},
      {"04/05/2003  06:07:08", true, At(2003, 4, 5, 6, 7, 8)},
      {"04/05/2003 06:07:08.5", true, At(2003, 4, 5, 6, 7, 8, 500)},
      {"06:07:08", true, At(1899, 12, 30, 6, 7, 8)},
      {"23:59", true, At(1899, 12, 30, 23, 59)},
      {"2003-04-05", true, At(2003, 4, 5)},
      {"2003-04-05T06:07:08", true, At(2003, 4, 5, 6, 7, 8)},
      {"2003-04-05 06:07", true, At(2003, 4, 5, 6, 7)},
      {"12/29/1899 06:00", true, -1.25},
      {"02/29/2024", true, At(2024, 2, 29)},
      {"02/29/2023", false, 0},                 // no such day
      {"13/01/2003", false, 0},
      {"04/05/03", false, 0},                   // the year has four digits
      {"24:00", false, 0},
      {"12:60", false, 0},
      {"2003-4-5", false, 0},
      {"2003-04-05T", false, 0},
      {"2003-04-05X06:07", false, 0},
      {"04/05/2003T06:07", false, 0},
      {"04/05/2003 06", false, 0},
      {"04/05/2003 junk", false, 0},
      {"yes", false, 0},
      {"12", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    TDateTime v = -77;
    EXPECT_EQ(TryStrToDateTime(c.text, &v), c.ok) << "'" << c.text << "'";
    EXPECT_DOUBLE_EQ(v, c.ok ? c.value : -77) << "'" << c.text << "'";
  }
  EXPECT_THROW(StrToDateTime("02/30/2021"), EConvertError);
}

TEST(DateText, DisplayReadsBack) {
  const TDateTime values[] = {0, 0.75, At(1999, 12, 31, 23, 59, 59), At(1850, 6, 1, 12),
                              At(2038, 1, 19, 3, 14, 7)};
  for (TDateTime v : values) {
    TDateTime back = -1;
    ASSERT_TRUE(TryStrToDateTime(DateTimeToStr(v), &back)) << DateTimeToStr(v);
    EXPECT_DOUBLE_EQ(back, v) << DateTimeToStr(v);
  }
}

}  // namespace
