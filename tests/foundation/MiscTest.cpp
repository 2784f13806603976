#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

#include "engine/foundation/ZyMisc.h"
#include "platform/framework/DateTime.h"

namespace {

TEST(FileSizeFormat, UnitsAndTruncation) {
  struct Case {
    int64_t size;
    const char* text;
  };
  const Case cases[] = {
      {0, "0 Bytes"},
      {1023, "1023 Bytes"},
      {1024, "1KB"},
      {1536, "1KB"},
      {2047, "1KB"},
      {1048576, "1024KB"},
      {1073741823, "1048575KB"},
      {1073741824, "1024MB"},
      {1610612736, "1536MB"},
      {-5, "-5 Bytes"},
      {INT64_MIN, "-9223372036854775808 Bytes"},
      {INT64_MAX, "8796093022207MB"},
  };
  for (const Case& c : cases) EXPECT_EQ(FileSizeFormat(c.size), c.text) << c.size;
}

TEST(ExtractFileExtOnly, ExtensionWithoutTheDot) {
  struct Case {
    const char* name;
    const char* ext;
  };
  const Case cases[] = {
      {"data.zyd", "zyd"},   {"README", ""},          {"a.tar.gz", "gz"},
      {"/tmp/x.y/data", ""}, {"/tmp/x.y/d.ZYD", "ZYD"}, {"name.", ""},
      {"", ""},              {".hidden", "hidden"},   {"dir/.", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractFileExtOnly(c.name), c.ext) << c.name;
}

TEST(FileTimeToDateTime, CalendarValueOfAFileTime) {
  EXPECT_EQ(FileTimeToDateTime(116444736000000000ULL), 25569.0);  // 1970-01-01
  EXPECT_EQ(FileTimeToDateTime(0), zyfw::EncodeDate(1601, 1, 1));
  EXPECT_NEAR(FileTimeToDateTime(133536836967899999ULL),
              45351 + (12 * 3600 + 34 * 60 + 56.789) / 86400.0, 1e-9);
  // Before 1899-12-30 the fraction still counts forward from midnight.
  EXPECT_EQ(FileTimeToDateTime(94352472000000000ULL), -1.25);  // 1899-12-29 06:00
  int y, m, d, h, n, s, ms;
  const zyfw::TDateTime early = FileTimeToDateTime(0 + 18 * 36000000000ULL);  // 1601-01-01 18:00
  zyfw::DecodeDate(early, &y, &m, &d);
  zyfw::DecodeTime(early, &h, &n, &s, &ms);
  EXPECT_EQ((std::array<int, 4>{y, m, d, h}), (std::array<int, 4>{1601, 1, 1, 18}));
  EXPECT_EQ(FileTimeToDateTime(UINT64_MAX), 0.0);
}

TEST(zydFormat, ShortAndLongResults) {
  EXPECT_EQ(zydFormat("'%s' is not nullable", "NAME"), "'NAME' is not nullable");
  const std::string longText(1000, 'x');
  EXPECT_EQ(zydFormat("<%s|%d>", longText.c_str(), 42), "<" + longText + "|42>");
  EXPECT_EQ(zydFormat("%s", ""), "");
}

}  // namespace
