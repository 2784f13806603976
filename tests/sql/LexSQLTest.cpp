// The SQL scanner: token numbers and texts, longest match and rule priority, line and column
// counting, illegal and reserved tokens, the vocabulary functions and the buffer limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/foundation/ZyException.h"
#include "engine/sql/ZyDatabaseLexSQL.h"

namespace {

struct Tok {
  int32_t number;
  std::string text;
  int32_t line;
  int32_t column;  // the column of the token's last character: ColumnNumber - 1 after yylex
  bool operator==(const Tok& o) const {
    return number == o.number && text == o.text && line == o.line && column == o.column;
  }
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{" << t.number << " \"" << t.text << "\" " << t.line << ":" << t.column << "}";
}

// Drains a lexer over text; every token yylex returns must also be the last entry of the token
// list, with the same number.
std::vector<Tok> Scan(const std::string& text, TZyLexSQL* keep = nullptr) {
  TZyLexSQL own;
  TZyLexSQL& lex = keep ? *keep : own;
  lex.Input.TextSet(text);
  std::vector<Tok> out;
  for (int guard = 0; guard < 10000; ++guard) {
    int32_t n = lex.yylex();
    if (n == 0) break;
    EXPECT_EQ(lex.Tokens.CountGet(), static_cast<int32_t>(out.size()) + 1);
    EXPECT_EQ(lex.Tokens.NumberGet(lex.Tokens.CountGet() - 1), n);
    out.push_back({n, lex.Tokens.StringsGet(lex.Tokens.CountGet() - 1), lex.LineNumber,
                   lex.ColumnNumber - 1});
  }
  return out;
}

struct ScanCase {
  std::string text;
  std::vector<Tok> tokens;
};

TEST(LexSQL, TokensNumbersAndPositions) {
  const std::vector<ScanCase> cases = {
      {"select * from T", {{257, "select", 1, 6}, {269, "*", 1, 8}, {262, "from", 1, 13},
                           {269, "T", 1, 15}}},
      // Two-word rules keep the whitespace as written; the first word alone is an identifier.
      {"delete  from T", {{259, "delete  from", 1, 12}, {269, "T", 1, 14}}},
      {"delete T", {{269, "delete", 1, 6}, {269, "T", 1, 8}}},
      {"INSERT\tINTO t", {{258, "INSERT\tINTO", 1, 11}, {269, "t", 1, 13}}},
      {"create table x", {{261, "create table", 1, 12}, {269, "x", 1, 14}}},
      {"where a is not null", {{263, "where", 1, 5}, {269, "a", 1, 7}, {287, "is not", 1, 14},
                               {275, "null", 1, 19}}},
      // "is   n" could still become IS NOT; the scan falls back to the longest match, "is".
      {"a is   null", {{269, "a", 1, 1}, {286, "is", 1, 4}, {275, "null", 1, 11}}},
      {"'It''s'", {{272, "It''s", 1, 7}}},
      // The second quote could open a string running over the end of the line: the scan reads
      // the end of the input too, and pushing that back counts one column less.
      {"''", {{311, "Illegal Token \"'\" at line 1, column 1.", 1, 1},
              {311, "Illegal Token \"'\" at line 1, column 1.", 1, 1}}},
      {"-5", {{273, "-5", 1, 2}}},
      {"+-5", {{273, "+-5", 1, 3}}},
      {"--5", {{273, "--5", 1, 3}}},
      {"1.5E3", {{274, "1.5E3", 1, 5}}},
      {"2.25e10", {{274, "2.25e10", 1, 7}}},
      {"1.5E-3", {{274, "1.5", 1, 3}, {269, "E", 1, 4}, {273, "-3", 1, 6}}},
      {"5.", {{273, "5", 1, 1}, {311, "Illegal Token \".\" at line 1, column 2.", 1, 2}}},
      {".5", {{311, "Illegal Token \".\" at line 1, column 1.", 1, 1}, {273, "5", 1, 2}}},
      {":Name_1", {{270, ":Name_1", 1, 7}}},
      {":1", {{311, "Illegal Token \":\" at line 1, column 1.", 1, 1}, {273, "1", 1, 2}}},
      {"{a} x {b}", {{271, "{a} x {b}", 1, 8}}},  // (the same at the end of the input)
      {"{a} x {b}\t\x01", {{271, "{a} x {b}", 1, 9},
                           {311, "Illegal Token \"\x01\" at line 1, column 11.", 1, 11}}},
      {"a;", {{269, "a", 1, 1}, {311, "Illegal Token \";\" at line 1, column 2.", 1, 2}}},
      {"(a<>b<=c>=d<e>f=g),h", {{278, "(", 1, 1}, {269, "a", 1, 2}, {281, "<>", 1, 4},
                                {269, "b", 1, 5}, {283, "<=", 1, 7}, {269, "c", 1, 8},
                                {285, ">=", 1, 10}, {269, "d", 1, 11}, {282, "<", 1, 12},
                                {269, "e", 1, 13}, {284, ">", 1, 14}, {269, "f", 1, 15},
                                {280, "=", 1, 16}, {269, "g", 1, 17}, {279, ")", 1, 18},
                                {266, ",", 1, 19}, {269, "h", 1, 20}}},
      // Keyword lookup is case-insensitive and keeps the text as written; STRING is the type.
      {"sElEcT String oR True FALSE autonumber Float4",
       {{257, "sElEcT", 1, 6}, {301, "String", 1, 13}, {268, "oR", 1, 16}, {276, "True", 1, 21},
        {277, "FALSE", 1, 27}, {305, "autonumber", 1, 38}, {297, "Float4", 1, 45}}},
      {"a_1 _a", {{269, "a_1", 1, 3}, {311, "Illegal Token \"_\" at line 1, column 5.", 1, 5},
                  {269, "a", 1, 6}}},
      // Lines, split at LF, CR LF or CR.
      {"SELECT a\nFROM t\r\nWHERE\rb", {{257, "SELECT", 1, 6}, {269, "a", 1, 8},
                                         {262, "FROM", 2, 4}, {269, "t", 2, 6},
                                         {263, "WHERE", 3, 5}, {269, "b", 4, 1}}},
      // Line breaks inside a string or a comment become one #10 each. The comment's scan reads
      // on through the last end of line to the end of the input and pushes both back.
      {"'a\r\nb' {c\rd}", {{272, "a\nb", 2, 2}, {271, "{c\nd}", 3, 1}}},
      // A two-word rule may span lines.
      {"delete\n from t", {{259, "delete\n from", 2, 5}, {269, "t", 2, 7}}},
      // Bytes above 0x7F are illegal outside a string and kept inside one.
      {"'\xC3\xA9' \xC3", {{272, "\xC3\xA9", 1, 4},
                          {311, "Illegal Token \"\xC3\" at line 1, column 6.", 1, 6}}},
      // A NUL byte is an illegal character; the text goes on after it.
      {std::string("a\0b", 3), {{269, "a", 1, 1},
                                {311, "Illegal Token \"" + std::string(1, '\0') +
                                          "\" at line 1, column 2.",
                                 1, 2},
                                {269, "b", 1, 3}}},
      {"", {}},
      {" \t\r\n  ", {}},
  };
  for (const ScanCase& c : cases) EXPECT_EQ(Scan(c.text), c.tokens) << "text: " << c.text;
}

// The look-ahead of a rule that can run past the end of a line is pushed back without undoing
// the line count: the counters stay where the scan left them, as the runtime defines.
TEST(LexSQL, CountingAfterALookAheadAcrossLines) {
  // "delete" could still become DELETE FROM until "T" on line 2: the four characters read past
  // it ("\n", two spaces, "T") are pushed back on the count of line 2.
  EXPECT_EQ(Scan("delete\n  T"),
            (std::vector<Tok>{{269, "delete", 2, -1}, {269, "T", 2, 3}}));
  // An unterminated string: the quote is illegal; the rest of the text, end of input included,
  // was read ahead and is pushed back.
  EXPECT_EQ(Scan("'abc"),
            (std::vector<Tok>{{311, "Illegal Token \"'\" at line 1, column 0.", 1, 0},
                              {269, "abc", 1, 3}}));
}

TEST(LexSQL, ErrorTextAndReservedWords) {
  TZyLexSQL lex;
  std::vector<Tok> t = Scan("x\nsum ;", &lex);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1], (Tok{306, "sum", 2, 3}));
  EXPECT_TRUE(lex.ErrorFlag);
  EXPECT_EQ(lex.ErrorText,
            "Reserved Token \"sum\" at line 2, column 3.\r\n"
            "Illegal Token \";\" at line 2, column 5.");

  TZyLexSQL clean;
  Scan("SELECT a FROM t", &clean);
  EXPECT_FALSE(clean.ErrorFlag);
  EXPECT_EQ(clean.ErrorText, "");
}

// The rules run side by side form the same automaton a scanner generator builds from them: 72
// states, 73 with the copy of the start state that follows a line break.
TEST(LexSQL, AutomatonSize) { EXPECT_EQ(TZyLexSQL::AutomatonStateCount(), 72); }

TEST(LexSQL, EndOfInputRepeats) {
  TZyLexSQL lex;
  lex.Input.TextSet("a");
  EXPECT_EQ(lex.yylex(), 269);
  EXPECT_EQ(lex.yylex(), 0);
  EXPECT_EQ(lex.yylex(), 0);
  EXPECT_EQ(lex.Tokens.CountGet(), 1);

  TZyLexSQL empty;
  EXPECT_EQ(empty.yylex(), 0);
  EXPECT_EQ(empty.Tokens.CountGet(), 0);
  EXPECT_EQ(empty.LineNumber, 0);
}

TEST(LexSQL, Vocabulary) {
  EXPECT_EQ(GetTokenType("select"), 257);
  EXPECT_EQ(GetTokenType("Update"), 260);
  EXPECT_EQ(GetTokenType("string"), 301);  // the column type, not the value token 272
  EXPECT_EQ(GetTokenType(","), 266);
  EXPECT_EQ(GetTokenType("*"), 269);
  EXPECT_EQ(GetTokenType("insert"), 269);  // only a keyword in INSERT INTO
  EXPECT_EQ(GetTokenType("delete"), 269);
  EXPECT_EQ(GetTokenType("create table"), 269);
  EXPECT_EQ(GetTokenType("is not"), 269);
  EXPECT_EQ(GetTokenType("("), 269);
  EXPECT_EQ(GetTokenType("identifier"), 269);
  EXPECT_EQ(GetTokenType("selects"), 269);
  EXPECT_EQ(GetTokenType(""), 269);
  EXPECT_EQ(GetTokenType("avg"), 310);

  struct Row {
    int32_t number;
    int32_t cls;
    const char* name;
  };
  const Row rows[] = {{257, 1, "SELECT"},        {261, 1, "CREATE TABLE"}, {266, 2, ","},
                      {268, 3, "OR"},            {269, 4, "IDENTIFIER"},   {270, 5, "PARAMETER"},
                      {271, 6, "COMMENT"},       {272, 7, "STRING"},       {277, 7, "FALSE"},
                      {279, 8, ")"},             {281, 9, "<>"},           {287, 9, "IS NOT"},
                      {290, 10, "UNSIGNEDINT32"}, {301, 10, "STRING"},     {304, 10, "BINARY"},
                      {305, 11, "AUTONUMBER"},   {306, 12, "SUM"},         {311, 13, "Illegal Token"}};
  for (const Row& r : rows) {
    EXPECT_EQ(GetTokenClass(r.number), r.cls) << r.number;
    EXPECT_EQ(GetTokenName(r.number), r.name) << r.number;
  }
  for (int32_t n : {0, 256, 312, -1}) {
    EXPECT_EQ(GetTokenClass(n), 0) << n;
    EXPECT_EQ(GetTokenName(n), "") << n;
  }
  // Every keyword's name looks up to its own number (STRING excepted: the type shadows it).
  for (int32_t n = 257; n <= 311; ++n) {
    int32_t t = GetTokenType(GetTokenName(n));
    if (t != 269 && n != 272) {
      EXPECT_EQ(t, n) << GetTokenName(n);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Limits: errors, never writes outside a buffer.

std::string LimitError(const std::string& text) {
  TZyLexSQL lex;
  lex.Input.TextSet(text);
  try {
    for (int guard = 0; guard < 100000 && lex.yylex() != 0; ++guard) {
    }
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000502u);
    return e.TextGet(0);
  }
  return "";
}

TEST(LexSQL, LongestTokenFitsTheMatchStack) {
  // A word's first character matches two rules, every further one a single rule: 1024 entries
  // hold a token of 1023 characters.
  std::string word(1023, 'a');
  EXPECT_EQ(LimitError(word), "");
  EXPECT_EQ(LimitError(word + "a"), "match stack overflow");
  std::string digits(1023, '7');
  EXPECT_EQ(LimitError(digits), "");
  EXPECT_EQ(LimitError(digits + "7"), "match stack overflow");
  // ":" matches only the illegal-character rule, then one entry per letter.
  std::string param = ":" + std::string(1023, 'p');
  EXPECT_EQ(LimitError(param), "");
  EXPECT_EQ(LimitError(param + "p"), "match stack overflow");
  // A string literal records matches only at its quotes: any length that fits a line passes.
  EXPECT_EQ(LimitError("'" + std::string(2000, 's') + "'"), "");
}

TEST(LexSQL, LongestLineFitsThePushbackBuffer) {
  std::string line = "SELECT a FROM t";
  line.resize(2047, ' ');
  EXPECT_EQ(LimitError(line), "");
  EXPECT_EQ(LimitError(line + " "), "input buffer overflow");
  // Only the line length counts, not the text's.
  EXPECT_EQ(LimitError(line + "\n" + line + "\r\n" + line), "");
}

TEST(LexSQL, LookAheadBeyondThePushbackBuffer) {
  std::string chunk(1000, 'x');
  // An unterminated string or comment reads to the end of the text and pushes it all back.
  EXPECT_EQ(LimitError("'" + chunk + "\n" + chunk), "");
  EXPECT_EQ(LimitError("'" + chunk + "\n" + chunk + "\n" + chunk), "input buffer overflow");
  EXPECT_EQ(LimitError("{" + chunk + "\n" + chunk + "\n" + chunk), "input buffer overflow");
  // A closed comment followed by a long printable tail: the scan reads on for a later "}".
  EXPECT_EQ(LimitError("{a} " + chunk + "\n" + chunk + "\n" + chunk), "input buffer overflow");
  // Terminated, the same string is one token.
  EXPECT_EQ(LimitError("'" + chunk + "\n" + chunk + "\n" + chunk + "'"), "");
}

TEST(LexSQL, RuntimeLimitsAreErrors) {
  TZyLexSQL lex;
  try {
    lex.yymark(257);
    FAIL() << "no error";
  } catch (const EZyException& e) {
    EXPECT_EQ(e.TextGet(0), "too many rules");
  }
  EXPECT_THROW(lex.yymatch(257), EZyException);
  for (int i = 0; i < TZyLex::kMatchStackSize; ++i) lex.yymatch(1);
  EXPECT_THROW(lex.yymatch(1), EZyException);
  for (int i = 0; i < TZyLex::kBufferSize; ++i) lex.unget_char('x');
  EXPECT_THROW(lex.unget_char('x'), EZyException);
  // Whatever stopped the last scan, the next lexer starts clean.
  TZyLexSQL next;
  EXPECT_EQ(Scan("SELECT", &next), (std::vector<Tok>{{257, "SELECT", 1, 6}}));
}

// A lexer whose scan failed half-way can be cleared and reused.
TEST(LexSQL, ClearAfterAnError) {
  TZyLexSQL lex;
  lex.Input.TextSet(std::string(1500, 'a'));
  EXPECT_THROW(lex.yylex(), EZyException);
  lex.yyclear();
  lex.Tokens.Clear();
  lex.Input.TextSet("FROM b");
  lex.NextLine = 0;
  EXPECT_EQ(lex.yylex(), 262);
  EXPECT_EQ(lex.yylex(), 269);
  EXPECT_EQ(lex.Tokens.StringsGet(1), "b");
}

// A lexer that is reset serves the next text exactly as a new one would, whatever the last scan
// left behind: an error, a look-ahead, a line in the middle.
TEST(LexSQL, ResetIsAsGoodAsNew) {
  const std::string texts[] = {
      "SELECT a, b\r\nFROM t WHERE a = 'x''y' AND b >= -1.5e3",
      "INSERT INTO t VALUES (:p, 12, @)",
      std::string(1500, 'a'),
      "SUM\n\nCREATE TABLE t (s String(10) NULL)",
  };
  TZyLexSQL reused;
  for (const std::string& previous : texts) {
    for (const std::string& next : texts) {
      SCOPED_TRACE(previous.substr(0, 20) + " then " + next.substr(0, 20));
      reused.Reset();
      reused.Input.TextSet(previous);
      try {
        while (reused.yylex() != 0 && reused.Tokens.CountGet() < 3) {
        }
      } catch (const EZyException&) {
      }
      reused.Reset();
      TZyLexSQL fresh;
      std::vector<Tok> expected, got;
      std::string expectedError, gotError;
      try {
        expected = Scan(next, &fresh);
      } catch (const EZyException& e) {
        expectedError = e.TextGet(0);
      }
      try {
        got = Scan(next, &reused);
      } catch (const EZyException& e) {
        gotError = e.TextGet(0);
      }
      EXPECT_EQ(got, expected);
      EXPECT_EQ(gotError, expectedError);
      EXPECT_EQ(reused.ErrorText, fresh.ErrorText);
      EXPECT_EQ(reused.ErrorFlag, fresh.ErrorFlag);
      EXPECT_EQ(reused.LineNumber, fresh.LineNumber);
      EXPECT_EQ(reused.ColumnNumber, fresh.ColumnNumber);
    }
  }
}

}  // namespace
