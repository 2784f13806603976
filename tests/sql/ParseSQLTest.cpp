// The syntax check: which texts are statements, the message and position of the first token
// that cannot continue one, and the stack limits of every kind of list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParseSQL.h"

namespace {

// "" when text is accepted, the check's message otherwise.
std::string Check(const std::string& text) {
  TZyLexSQL lex;
  TZyParseSQL parse;
  parse.Lexer = &lex;
  lex.Input.TextSet(text);
  int32_t result = parse.yyparse();
  EXPECT_EQ(result == 0, parse.ErrorText.empty()) << text;
  return result == 0 ? "" : parse.ErrorText;
}

TEST(ParseSQL, AcceptsTheStatementsOfTheGrammar) {
  const char* accepted[] = {
      "SELECT * FROM t",
      "SELECT a, b, * FROM t WHERE a = 'x'",
      "select a from t where a = 1 and b <> 2.5 or c < :p and d > -1 or e <= TRUE and f >= FALSE",
      "SELECT a FROM t WHERE a IS NULL OR b IS NOT NULL",
      "SELECT a FROM t WHERE a = 1 AND (b <> 'x' OR c IS NULL)",
      "SELECT a FROM t WHERE ((a = 1)) OR ((b = 2) AND (c = 3 OR (d = 4)))",
      "SELECT a FROM t WHERE (a = 1) AND b = 2",
      "SELECT a FROM t WHERE a = 1.5E3",
      "INSERT INTO t VALUES (1)",
      "INSERT INTO t VALUES (1, -2.5, 'abc', TRUE, FALSE, :p)",
      "INSERT INTO t (a, b) VALUES (1, :b)",
      "UPDATE t SET a = 1",
      "UPDATE t SET a = NULL, b = :p WHERE c = 1",
      "UPDATE t SET a = 'x', b = FALSE, c = 2.0 WHERE c IS NOT NULL",
      "DELETE FROM t",
      "DELETE FROM t WHERE SYS_ROWID = 5",
      "DELETE FROM t WHERE a = 1 OR (b < 2 AND k IS NOT NULL) AND d >= :x",
      "CREATE TABLE t (a SignedInt64 AutoNumber, b String(25) NULL, c Text)",
      "CREATE TABLE t (a SIGNEDINT32, b UNSIGNEDINT32, c SIGNEDINT16, d UNSIGNEDINT16, "
      "e SIGNEDINT8, f UNSIGNEDINT8, g FLOAT10, h FLOAT8, i FLOAT4, j BOOLEAN, k DATETIME, "
      "l CURRENCY, m TEXT, n BINARY, o BYTE(+8), p STRING(-1))",
      "CREATE TABLE t (a Float4 NULL AUTONUMBER NULL NULL)",
      "  select\n  a\r\n from\tt\n",
  };
  for (const char* text : accepted) EXPECT_EQ(Check(text), "") << text;
}

struct Rejected {
  std::string text;
  std::string message;
};

TEST(ParseSQL, RejectsAtTheFirstTokenThatCannotContinue) {
  const std::vector<Rejected> cases = {
      {"SELECT a b FROM t", "Syntax Error at or about 'b' on line 1, column 12."},
      {"SELECT a FROM t WHERE a = NULL",
       "Syntax Error at or about 'NULL' on line 1, column 32."},
      {"INSERT INTO t VALUES (NULL)", "Syntax Error at or about 'NULL' on line 1, column 28."},
      {"INSERT INTO t VALUES ()", "Syntax Error at or about ')' on line 1, column 25."},
      {"INSERT INTO t (a, b) VALUES ('NULL', NULL)",
       "Syntax Error at or about 'NULL' on line 1, column 43."},
      {"CREATE TABLE t ()", "Syntax Error at or about ')' on line 1, column 19."},
      {"CREATE TABLE t (a String)", "Syntax Error at or about ')' on line 1, column 27."},
      {"CREATE TABLE t (a Text(10))", "Syntax Error at or about '(' on line 1, column 25."},
      {"CREATE TABLE t (a Byte(x))", "Syntax Error at or about 'x' on line 1, column 26."},
      {"CREATE TABLE t (a Float4 NOT NULL)",
       "Syntax Error at or about 'NOT' on line 1, column 30."},
      {"SELECT a FROM t, u", "Syntax Error at or about ',' on line 1, column 18."},
      {"SELECT SUM FROM t", "Syntax Error at or about 'SUM' on line 1, column 12."},
      {"SELECT a FROM t;", "Syntax Error at or about ';' on line 1, column 18."},
      // The string literal is quoted with its quotes, as matched.
      {"SELECT a FROM t WHERE 'x' = a",
       "Syntax Error at or about ''x'' on line 1, column 27."},
      {"SELECT a FROM t WHERE a = b", "Syntax Error at or about 'b' on line 1, column 29."},
      {"SELECT a FROM t WHERE a IS 1", "Syntax Error at or about '1' on line 1, column 30."},
      {"UPDATE t SET a <> 1", "Syntax Error at or about '<>' on line 1, column 19."},
      {"UPDATE t SET a = 1 WHERE b = 1, c = 2",
       "Syntax Error at or about ',' on line 1, column 33."},
      // (A comment at the end of the text reads on to the end of the input: one column less.)
      {"SELECT a FROM t {x}", "Syntax Error at or about '{x}' on line 1, column 20."},
      {"SELECT a FROM t SELECT b FROM t",
       "Syntax Error at or about 'SELECT' on line 1, column 24."},
      // DELETE alone is an identifier, so no statement begins with it.
      {"DELETE t", "Syntax Error at or about 'DELETE' on line 1, column 8."},
      {"SELECT a\nFROM t\nWHERE a = = 1", "Syntax Error at or about '=' on line 3, column 13."},
      // The two-word token is quoted with the whitespace inside it.
      {"SELECT a FROM t WHERE IS  NOT NULL",
       "Syntax Error at or about 'IS  NOT' on line 1, column 31."},
      // At the end of the input the quoted text is empty.
      {"SELECT a FROM t WHERE (a = 1", "Syntax Error at or about '' on line 1, column 31."},
      {"SELECT", "Syntax Error at or about '' on line 1, column 9."},
      {"   ", "Syntax Error at or about '' on line 1, column 6."},
      {"", "Syntax Error at or about '' on line 0, column 1."},
      {"a;", "Syntax Error at or about 'a' on line 1, column 3."},
  };
  for (const Rejected& c : cases) EXPECT_EQ(Check(c.text), c.message) << c.text;
}

// ---------------------------------------------------------------------------------------------
// Stack limits. Each list element (with its comma) and each comparison of a chain holds parse
// stack entries until its list is complete; the stack holds 1024. Long lists are written one
// element per line, as a line holds at most 2047 characters.

struct Built {
  std::string text;
  std::string token;  // the token being read when the stack fills
  size_t last;        // index of its last character
};

std::string Names(const char* prefix, int n, const char* sep) {
  std::string s;
  for (int i = 1; i <= n; ++i) {
    if (i > 1) s += sep;
    s += prefix + std::to_string(i);
  }
  return s;
}

std::string Expect(const Built& b) {
  EXPECT_EQ(b.text.substr(b.last + 1 - b.token.size(), b.token.size()), b.token);
  size_t line = 1;
  for (size_t i = 0; i < b.last; ++i) line += b.text[i] == '\n';
  size_t lineStart = b.text.rfind('\n', b.last);
  size_t column = lineStart == std::string::npos ? b.last + 1 : b.last - lineStart;
  // The check stops with the lexer just past that token: the column after it, plus one.
  return "Stack Overflow at or about '" + b.token + "' on line " + std::to_string(line) +
         ", column " + std::to_string(column + 2) + ".";
}

Built SelectFields(int n) {
  std::string t = "SELECT " + Names("f", n, ",\n");
  return {t + " FROM t", "f" + std::to_string(n), t.size() - 1};
}

Built InsertValues(int n) {
  std::string t = "INSERT INTO t VALUES (";
  size_t comma = 0;
  for (int i = 1; i <= n; ++i) {
    if (i > 1) {
      comma = t.size();
      t += ",\n";
    }
    t += std::to_string(i);
  }
  // Here the entries fill up with the comma after the last value but one.
  return {t + ")", ",", comma};
}

Built CreateColumns(int n) {
  // The last column's empty option list is reduced once ")" has been read.
  std::string t = "CREATE TABLE t (" + Names("c", n, " Float4,\n") + " Float4)";
  return {t, ")", t.size() - 1};
}

Built UpdateAssignments(int n) {
  std::string t = "UPDATE t SET " + Names("a", n, " = 1,\n") + " = 1";
  return {t, "1", t.size() - 1};
}

Built Comparisons(const char* head, int n) {
  std::string t = head + Names("c", n, " = 1\nAND ") + " = 1";
  return {t, "1", t.size() - 1};
}

Built Parentheses(const char* head, int n) {
  std::string t = head + std::string(static_cast<size_t>(n), '(') + "a = 1";
  return {t + "\n" + std::string(static_cast<size_t>(n), ')'), "1", t.size() - 1};
}

TEST(ParseSQL, StackLimits) {
  struct Limit {
    const char* what;
    int n;  // the longest accepted
    Built (*make)(int);
  };
  const Limit limits[] = {
      {"SELECT fields", 511, SelectFields},
      {"INSERT values", 510, InsertValues},
      {"CREATE TABLE columns", 509, CreateColumns},
      {"UPDATE assignments", 509, UpdateAssignments},
      {"comparisons in a SELECT", 508,
       [](int n) { return Comparisons("SELECT a FROM t WHERE ", n); }},
      {"parentheses in a SELECT", 1015,
       [](int n) { return Parentheses("SELECT a FROM t WHERE ", n); }},
      // A DELETE's shorter prefix leaves room for one more comparison, two more parentheses.
      {"comparisons in a DELETE", 509, [](int n) { return Comparisons("DELETE FROM t WHERE ", n); }},
      {"parentheses in a DELETE", 1017,
       [](int n) { return Parentheses("DELETE FROM t WHERE ", n); }},
  };
  for (const Limit& l : limits) {
    EXPECT_EQ(Check(l.make(l.n).text), "") << l.what;
    Built over = l.make(l.n + 1);
    EXPECT_EQ(Check(over.text), Expect(over)) << l.what;
  }
}

// The check reads the lexer's tokens once: afterwards the token list holds the whole text.
TEST(ParseSQL, LeavesTheTokenListToTheStatementParser) {
  TZyLexSQL lex;
  TZyParseSQL parse;
  parse.Lexer = &lex;
  lex.Input.TextSet("UPDATE t SET a = 'x' WHERE b IS NOT NULL");
  ASSERT_EQ(parse.yyparse(), 0);
  EXPECT_EQ(parse.ErrorCount, 0);
  EXPECT_EQ(parse.Lookahead, 0);
  const int32_t numbers[] = {260, 269, 264, 269, 280, 272, 263, 269, 287, 275};
  ASSERT_EQ(lex.Tokens.CountGet(), 10);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(lex.Tokens.NumberGet(i), numbers[i]) << i;

  TZyLexSQL bad;
  parse.Lexer = &bad;
  bad.Input.TextSet("SELECT a FROM t WHERE");
  EXPECT_EQ(parse.yyparse(), 1);
  EXPECT_EQ(parse.ErrorCount, 1);
  // A parse stops at the first error: the reading ends there.
  TZyLexSQL early;
  parse.Lexer = &early;
  early.Input.TextSet("SELECT a b c d");
  EXPECT_EQ(parse.yyparse(), 1);
  EXPECT_EQ(early.Tokens.CountGet(), 3);
}

TEST(ParseSQL, WithoutALexerNothingIsAccepted) {
  TZyParseSQL parse;
  EXPECT_EQ(parse.yyparse(), 1);
  EXPECT_EQ(parse.ErrorText, "Syntax Error at or about '' on line 0, column 1.");
}

// The lexer's limits reach the caller of the check as the lexer's exception.
TEST(ParseSQL, LexerLimitsPassThrough) {
  TZyLexSQL lex;
  TZyParseSQL parse;
  parse.Lexer = &lex;
  lex.Input.TextSet("SELECT " + std::string(1100, 'a') + " FROM t");
  EXPECT_ANY_THROW(parse.yyparse());
}

}  // namespace
