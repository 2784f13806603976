// The five output modes over one small result: a number column, a text column with NULL, an
// empty text, a comma, a quote and a line break, and a boolean column.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/zydb/Output.h"

namespace {

using zydb::Cell;
using zydb::CellKind;
using zydb::OutputMode;

std::string Print(OutputMode mode, bool headers = true, size_t maxWidth = 60,
                  const std::string& nullValue = "") {
  std::ostringstream out;
  zydb::OutputOptions options;
  options.mode = mode;
  options.headers = headers;
  options.maxWidth = maxWidth;
  options.nullValue = nullValue;
  zydb::ResultPrinter p(out, options,
                        {{"ID", CellKind::Number}, {"NAME", CellKind::Text}, {"OK", CellKind::Boolean}});
  p.Row({Cell{false, "1"}, Cell{false, "a,b"}, Cell{false, "TRUE"}});
  p.Row({Cell{false, "22"}, Cell{true, ""}, Cell{false, "FALSE"}});
  p.Row({Cell{false, "-3"}, Cell{false, ""}, Cell{true, ""}});
  p.Row({Cell{false, "4"}, Cell{false, "say \"hi\"\nbye"}, Cell{false, "TRUE"}});
  p.Finish();
  EXPECT_EQ(p.RowCount(), 4u);
  return out.str();
}

TEST(Output, Table) {
  EXPECT_EQ(Print(OutputMode::Table),
            "+----+---------------+-------+\n"
            "| ID | NAME          | OK    |\n"
            "+----+---------------+-------+\n"
            "|  1 | a,b           | TRUE  |\n"
            "| 22 |               | FALSE |\n"
            "| -3 |               |       |\n"
            "|  4 | say \"hi\"\\nbye | TRUE  |\n"
            "+----+---------------+-------+\n");
}

TEST(Output, BoxWithoutHeadersAndWithNullText) {
  EXPECT_EQ(Print(OutputMode::Box, false, 60, "NULL"),
            "┌────┬───────────────┬───────┐\n"
            "│  1 │ a,b           │ TRUE  │\n"
            "│ 22 │ NULL          │ FALSE │\n"
            "│ -3 │               │ NULL  │\n"
            "│  4 │ say \"hi\"\\nbye │ TRUE  │\n"
            "└────┴───────────────┴───────┘\n");
}

TEST(Output, Csv) {
  EXPECT_EQ(Print(OutputMode::Csv),
            "ID,NAME,OK\r\n1,\"a,b\",TRUE\r\n22,,FALSE\r\n-3,\"\",\r\n4,\"say \"\"hi\"\"\nbye\",TRUE\r\n");
  EXPECT_EQ(Print(OutputMode::Csv, false).substr(0, 2), "1,");
}

TEST(Output, Json) {
  EXPECT_EQ(Print(OutputMode::Json),
            "[{\"ID\":1,\"NAME\":\"a,b\",\"OK\":true},\n"
            "{\"ID\":22,\"NAME\":null,\"OK\":false},\n"
            "{\"ID\":-3,\"NAME\":\"\",\"OK\":null},\n"
            "{\"ID\":4,\"NAME\":\"say \\\"hi\\\"\\nbye\",\"OK\":true}]\n");
}

TEST(Output, Line) {
  EXPECT_EQ(Print(OutputMode::Line, true, 60, "-"),
            "  ID = 1\nNAME = a,b\n  OK = TRUE\n\n"
            "  ID = 22\nNAME = -\n  OK = FALSE\n\n"
            "  ID = -3\nNAME = \n  OK = -\n\n"
            "  ID = 4\nNAME = say \"hi\"\nbye\n  OK = TRUE\n");
}

TEST(Output, EmptyResults) {
  struct Case {
    OutputMode mode;
    bool headers;
    const char* expected;
  };
  const Case cases[] = {
      {OutputMode::Table, true, "+---+\n| A |\n+---+\n"},
      {OutputMode::Table, false, ""},
      {OutputMode::Csv, true, "A\r\n"},
      {OutputMode::Json, true, "[]\n"},
      {OutputMode::Line, true, ""},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    zydb::OutputOptions options;
    options.mode = c.mode;
    options.headers = c.headers;
    zydb::ResultPrinter p(out, options, {{"A", CellKind::Text}});
    p.Finish();
    EXPECT_EQ(out.str(), c.expected) << zydb::OutputModeName(c.mode);
  }
}

// Cutting a wide value is said under the table, and counted; a limit of 0 cuts nothing.
TEST(Output, WideValuesAreCutVisibly) {
  auto print = [](size_t width) {
    std::ostringstream out;
    zydb::OutputOptions options;
    options.maxWidth = width;
    zydb::ResultPrinter p(out, options, {{"T", CellKind::Text}});
    p.Row({Cell{false, "abcdefghij"}});
    p.Row({Cell{false, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"}});  // six characters
    p.Row({Cell{false, "short"}});
    p.Finish();
    return out.str();
  };
  EXPECT_EQ(print(6),
            "+--------+\n| T      |\n+--------+\n| abc... |\n| \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 |\n"
            "| short  |\n+--------+\n(1 value was cut to 6 characters; .width 0 or .mode line "
            "shows them whole)\n");
  EXPECT_EQ(print(0).find("cut"), std::string::npos);
  EXPECT_NE(print(0).find("abcdefghij"), std::string::npos);
}

TEST(Output, Helpers) {
  EXPECT_EQ(zydb::DisplayWidth("a\xC3\xA9\xE2\x94\x80"), 3u);
  EXPECT_EQ(zydb::VisibleText("a\tb\x01\x7F"), "a\\tb\\x01\\x7F");
  EXPECT_EQ(zydb::JsonQuote("\x01\\"), "\"\\u0001\\\\\"");
  for (const char* yes : {"0", "-1", "1.5", "1E20", "2.5e-3", "-0.25"})
    EXPECT_TRUE(zydb::IsJsonNumber(yes)) << yes;
  for (const char* no : {"", "-", "01", "1.", ".5", "INF", "NAN", "1e", "+1"})
    EXPECT_FALSE(zydb::IsJsonNumber(no)) << no;
  zydb::OutputMode m;
  EXPECT_TRUE(zydb::OutputModeFromName("json", &m));
  EXPECT_EQ(m, OutputMode::Json);
  EXPECT_FALSE(zydb::OutputModeFromName("list", &m));
}

}  // namespace
