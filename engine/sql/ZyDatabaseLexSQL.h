// The SQL scanner: the dialect's vocabulary (token numbers 257 to 311 with their names and
// classes) and the 23 rules that cut an SQL text into those tokens. The syntax check pulls
// tokens through yylex; the statement parser later reads the lexer's token list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/sql/ZyLex.h"

// Token numbers, shared by the lexer, the syntax check and the statement parser.
enum TZyTokenNumbers : int32_t {
  zydTokenEnd = 0,
  zydTokenError = 256,  // the syntax check's error token; never produced
  zydTokenSelect = 257,
  zydTokenInsert = 258,       // INSERT INTO
  zydTokenDelete = 259,       // DELETE FROM
  zydTokenUpdate = 260,
  zydTokenCreateTable = 261,  // CREATE TABLE
  zydTokenFrom = 262,
  zydTokenWhere = 263,
  zydTokenSet = 264,
  zydTokenValues = 265,
  zydTokenComma = 266,
  zydTokenAnd = 267,
  zydTokenOr = 268,
  zydTokenIdentifier = 269,
  zydTokenParameter = 270,
  zydTokenComment = 271,
  zydTokenStringLiteral = 272,
  zydTokenInteger = 273,
  zydTokenFloat = 274,
  zydTokenNull = 275,
  zydTokenTrue = 276,
  zydTokenFalse = 277,
  zydTokenOpenParenthesis = 278,
  zydTokenCloseParenthesis = 279,
  zydTokenEqual = 280,
  zydTokenNotEqual = 281,
  zydTokenLess = 282,
  zydTokenLessOrEqual = 283,
  zydTokenGreater = 284,
  zydTokenGreaterOrEqual = 285,
  zydTokenIs = 286,
  zydTokenIsNot = 287,         // IS NOT
  zydTokenTypeSignedInt64 = 288,
  zydTokenTypeSignedInt32 = 289,
  zydTokenTypeUnsignedInt32 = 290,
  zydTokenTypeSignedInt16 = 291,
  zydTokenTypeUnsignedInt16 = 292,
  zydTokenTypeSignedInt8 = 293,
  zydTokenTypeUnsignedInt8 = 294,
  zydTokenTypeFloat10 = 295,
  zydTokenTypeFloat8 = 296,
  zydTokenTypeFloat4 = 297,
  zydTokenTypeBoolean = 298,
  zydTokenTypeCurrency = 299,
  zydTokenTypeDateTime = 300,
  zydTokenTypeString = 301,
  zydTokenTypeByte = 302,
  zydTokenTypeText = 303,
  zydTokenTypeBinary = 304,
  zydTokenAutoNumber = 305,
  zydTokenSum = 306,
  zydTokenCount = 307,
  zydTokenMin = 308,
  zydTokenMax = 309,
  zydTokenAvg = 310,
  zydTokenIllegal = 311,
};

// Token classes; the statement parser branches on them.
enum TZyTokenClasses : int32_t {
  zydTokenClassNone = 0,
  zydTokenClassStatement = 1,
  zydTokenClassClause = 2,
  zydTokenClassLogic = 3,
  zydTokenClassIdentifier = 4,
  zydTokenClassParameter = 5,
  zydTokenClassComment = 6,
  zydTokenClassValue = 7,
  zydTokenClassParenthesis = 8,
  zydTokenClassComparison = 9,
  zydTokenClassColumnType = 10,
  zydTokenClassColumnOption = 11,
  zydTokenClassReserved = 12,
  zydTokenClassIllegal = 13,
};

// The number of the first keyword whose name equals text in upper case (ASCII letters only);
// zydTokenIdentifier when no keyword does. So "string" gives the column type 301, "*" gives 269.
int32_t GetTokenType(std::string_view text);
// The class of a token number; zydTokenClassNone for a number outside the vocabulary.
int32_t GetTokenClass(int32_t number);
// The name of a token number ("SELECT", "CREATE TABLE", "Illegal Token"); empty outside the
// vocabulary.
std::string GetTokenName(int32_t number);

class TZyLexSQL : public TZyLex {
 public:
  // The number of scanner rules, and of states of the automaton built from them.
  static constexpr int32_t kRuleCount = 23;
  static int32_t AutomatonStateCount();

  // One token per call: appends it to Tokens and returns its number; 0 at the end of the input.
  // Raises EZyException when a line or a look-ahead outgrows the pushback buffer ("input buffer
  // overflow") or one token outgrows the match stack ("match stack overflow").
  int32_t yylex() override;

 private:
  void Action(int32_t rule);
  void KeywordAction();
  void IllegalAction();
};
