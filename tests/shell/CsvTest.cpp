// The RFC 4180 reader behind .import, and the quoting of the csv output mode.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/zydb/Csv.h"

namespace {

// Records as "line:field|field" with quoted fields in brackets, or "error@line:text".
std::vector<std::string> Read(const std::string& input) {
  std::istringstream in(input);
  zydb::CsvReader reader(in);
  std::vector<zydb::CsvField> fields;
  std::vector<std::string> out;
  while (reader.Next(&fields)) {
    std::string r = std::to_string(reader.RecordLine()) + ":";
    for (size_t i = 0; i < fields.size(); ++i)
      r += (i ? "|" : "") + (fields[i].quoted ? "[" + fields[i].text + "]" : fields[i].text);
    out.push_back(r);
  }
  if (!reader.Error().empty())
    out.push_back("error@" + std::to_string(reader.RecordLine()) + ":" + reader.Error());
  return out;
}

struct Case {
  const char* name;
  std::string input;
  std::vector<std::string> records;
};

TEST(Csv, Reader) {
  const Case cases[] = {
      {"plain fields", "a,b,c\n1,2,3\n", {"1:a|b|c", "2:1|2|3"}},
      {"CR LF and no final break", "a,b\r\n1,2", {"1:a|b", "2:1|2"}},
      {"lone CR ends a record", "a\rb\r", {"1:a", "2:b"}},
      {"empty unquoted is not empty quoted", "1,,\"\"\n", {"1:1||[]"}},
      {"quoted comma, quote and line break", "\"a,b\",\"say \"\"hi\"\"\",\"x\r\ny\"\nnext\n",
       {"1:[a,b]|[say \"hi\"]|[x\r\ny]", "3:next"}},
      {"blank lines are skipped", "a\n\n\r\nb\n", {"1:a", "4:b"}},
      {"byte-order mark", "\xEF\xBB\xBF" "a,b\n", {"1:a|b"}},
      {"bytes like a byte-order mark stay", "\xEF\xBBx\n", {"1:\xEF\xBBx"}},
      {"UTF-8 passes through", "\xC3\xA9t\xC3\xA9\n", {"1:\xC3\xA9t\xC3\xA9"}},
      {"spaces are data", " a , b \n", {"1: a | b "}},
      {"unterminated quote", "ok\n\"abc\nmore\n", {"1:ok", "error@2:unterminated quoted field"}},
      {"text after a closing quote", "\"a\"b,c\n", {"error@1:unexpected text after a closing quote"}},
      {"quote inside an unquoted field", "1,ab\"c\n", {"error@1:quote inside an unquoted field"}},
      {"empty input", "", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.input), c.records) << c.name;
}

TEST(Csv, QuoteRoundTrip) {
  const std::string texts[] = {"plain", "", "a,b", "say \"hi\"", "x\ny", "x\r\ny", " lead"};
  for (const std::string& t : texts) {
    std::istringstream in(zydb::CsvQuote(t) + "\r\n");
    zydb::CsvReader reader(in);
    std::vector<zydb::CsvField> fields;
    ASSERT_TRUE(reader.Next(&fields)) << t;
    ASSERT_EQ(fields.size(), 1u) << t;
    EXPECT_EQ(fields[0].text, t);
    // An empty text must come back as a quoted field, or it would read as NULL.
    if (t.empty()) {
      EXPECT_TRUE(fields[0].quoted);
    }
  }
  EXPECT_EQ(zydb::CsvQuote("plain"), "plain");
}

}  // namespace
