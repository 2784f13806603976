// The statement splitter: where statements end, what becomes a dot-command, and which line a
// unit is reported on.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/zydb/Splitter.h"

namespace {

using zydb::StatementSplitter;
using zydb::Unit;

// A unit shown as "S3:text" (statement from line 3) or "C1:.cmd".
std::vector<std::string> Split(const std::string& input) {
  StatementSplitter splitter;
  std::vector<std::string> units;
  std::istringstream in(input);
  std::string line;
  auto add = [&](const Unit& u) {
    if (u.kind == Unit::None) return;
    units.push_back((u.kind == Unit::Statement ? "S" : "C") + std::to_string(u.line) + ":" + u.text);
  };
  while (std::getline(in, line)) add(splitter.Feed(line));
  add(splitter.Finish());
  return units;
}

struct Case {
  const char* name;
  const char* input;
  std::vector<std::string> units;
};

TEST(Splitter, Cases) {
  const Case cases[] = {
      {"one statement", "SELECT * FROM T;\n", {"S1:SELECT * FROM T"}},
      {"blanks after the semicolon", "SELECT * FROM T;  \t\n", {"S1:SELECT * FROM T"}},
      {"over three lines", "SELECT A\nFROM T\nWHERE A = 1;\n", {"S1:SELECT A\nFROM T\nWHERE A = 1"}},
      {"semicolon inside a line is text", "SELECT A; FROM T;\n", {"S1:SELECT A; FROM T"}},
      {"semicolon inside a literal at a line end",
       "INSERT INTO T VALUES ('a;\nb');\n",
       {"S1:INSERT INTO T VALUES ('a;\nb')"}},
      {"doubled quotes stay inside the literal",
       "INSERT INTO T VALUES ('It''s;');\n",
       {"S1:INSERT INTO T VALUES ('It''s;')"}},
      {"two statements, line numbers", "\nSELECT A FROM T;\n\nSELECT B\nFROM T;\n",
       {"S2:SELECT A FROM T", "S4:SELECT B\nFROM T"}},
      {"commands between statements", ".mode csv\nSELECT A FROM T;\n  .tables\n",
       {"C1:.mode csv", "S2:SELECT A FROM T", "C3:.tables"}},
      {"a dot inside a statement is SQL", "SELECT A\n.5\nFROM T;\n", {"S1:SELECT A\n.5\nFROM T"}},
      {"comments between statements", "-- first\nSELECT A FROM T;\n-- last\n",
       {"S2:SELECT A FROM T"}},
      {"no semicolon at the end of input", "SELECT A FROM T", {"S1:SELECT A FROM T"}},
      {"CR LF line ends", "SELECT A\r\nFROM T;\r\n", {"S1:SELECT A\nFROM T"}},
      {"an open literal swallows the rest", "SELECT 'a;\nb;\n", {"S1:SELECT 'a;\nb;"}},
      {"only a semicolon", ";\n", {"S1:"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.input), c.units) << c.name;
}

TEST(Splitter, PendingAndInString) {
  StatementSplitter s;
  EXPECT_FALSE(s.Pending());
  EXPECT_EQ(s.Feed("SELECT 'abc").kind, Unit::None);
  EXPECT_TRUE(s.Pending());
  EXPECT_TRUE(s.InString());
  EXPECT_EQ(s.Feed("def' FROM T;").kind, Unit::Statement);
  EXPECT_FALSE(s.Pending());
  EXPECT_FALSE(s.InString());
}

}  // namespace
