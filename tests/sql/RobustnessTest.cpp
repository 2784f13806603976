// Whatever the text, the front end ends with a token list, an acceptance or a clean
// EZyException: random bytes and random jumbles of SQL words through the lexer, the syntax check
// and the statement parser (the last also on lists the check refused). Run under the sanitizers
// this is what shows that nothing reads or writes outside a buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "engine/foundation/ZyException.h"
#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParseSQL.h"
#include "engine/sql/ZyDatabaseParser.h"

namespace {

struct Outcome {
  int accepted = 0;
  int rejected = 0;
  int limits = 0;
};

void RunFrontEnd(const std::string& text, Outcome& outcome) {
  // The lexer alone, to the end of the text (the check below stops at its first error).
  {
    TZyLexSQL drain;
    drain.Input.TextSet(text);
    try {
      while (drain.yylex() != 0) {
      }
    } catch (const EZyException& e) {
      EXPECT_EQ(e.CodeGet(0), 0x80000502u);
      ++outcome.limits;
    }
  }
  TZyLexSQL lex;
  TZyParseSQL check;
  check.Lexer = &lex;
  lex.Input.TextSet(text);
  int32_t result;
  try {
    result = check.yyparse();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000502u);
    return;
  }
  if (result == 0) {
    ++outcome.accepted;
    EXPECT_TRUE(check.ErrorText.empty());
  } else {
    ++outcome.rejected;
    EXPECT_EQ(check.ErrorText.rfind("Syntax Error at or about '", 0) == 0 ||
                  check.ErrorText.rfind("Stack Overflow at or about '", 0) == 0,
              true)
        << check.ErrorText;
  }
  // The parser over whatever was read, accepted or not.
  try {
    zydParser(lex.Tokens);
  } catch (const EZyException& e) {
    // Names (reserved prefixes, "*", repeats) fail accepted statements too; a truncated
    // comparison and an empty list only unchecked ones.
    const uint32_t code = e.CodeGet(0);
    EXPECT_TRUE(code == 0x80000100 || code == 0x80000102 ||
                (result != 0 && (code == 0x80000500 || code == 0x80000504)))
        << std::hex << code << " " << text;
  }
}

TEST(Robustness, RandomBytes) {
  std::mt19937 random(20240611);
  Outcome outcome;
  for (int round = 0; round < 3000; ++round) {
    // Every tenth text is long, with few line breaks.
    const bool longText = round % 10 == 0;
    size_t length = random() % (longText ? 6000 : 80);
    std::string text(length, '\0');
    for (char& c : text) {
      unsigned r = random() % 16;
      // Mostly the characters that start or continue tokens, now and then anything.
      static const char kLikely[] = "'{}(),=<>:*+-.eE0123456789abc \t";
      if (random() % (longText ? 1500 : 8) == 0)
        c = "\r\n"[random() % 2];
      else
        c = r < 12 ? kLikely[random() % (sizeof(kLikely) - 1)] : static_cast<char>(random() % 256);
    }
    RunFrontEnd(text, outcome);
  }
  EXPECT_GT(outcome.rejected, 0);
  EXPECT_GT(outcome.limits, 0);  // the long ones meet the buffer limits
}

TEST(Robustness, RandomJumblesOfSqlWords) {
  static const char* const kWords[] = {
      "SELECT", "INSERT INTO", "DELETE FROM", "UPDATE", "CREATE TABLE", "FROM", "WHERE", "SET",
      "VALUES", ",", "AND", "OR", "a", "b", "*", ":p", ":q", "{c}", "'s'", "'it''s'", "1", "-2",
      "1.5", "2.5E3", "NULL", "TRUE", "FALSE", "(", ")", "=", "<>", "<", "<=", ">", ">=", "IS",
      "IS NOT", "SignedInt64", "Float4", "String", "Byte", "Text", "AUTONUMBER", "SUM", ";",
      "SYS_ROWID"};
  static const char* const kShapes[] = {"SELECT a FROM t WHERE ", "DELETE FROM t WHERE ",
                                        "UPDATE t SET ", "INSERT INTO t VALUES (",
                                        "CREATE TABLE t (", ""};
  std::mt19937 random(7);
  Outcome outcome;
  for (int round = 0; round < 20000; ++round) {
    std::string text = kShapes[random() % (sizeof(kShapes) / sizeof(kShapes[0]))];
    size_t words = random() % 12;
    for (size_t i = 0; i < words; ++i) {
      text += kWords[random() % (sizeof(kWords) / sizeof(kWords[0]))];
      text += random() % 5 == 0 ? "\n" : " ";
    }
    RunFrontEnd(text, outcome);
  }
  EXPECT_GT(outcome.accepted, 0);
  EXPECT_GT(outcome.rejected, 0);
}

}  // namespace
