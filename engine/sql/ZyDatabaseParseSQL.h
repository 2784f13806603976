// The SQL syntax check: accepts a text that is exactly one statement of the dialect, or stops
// at the first token that cannot continue one and says where. It builds nothing; the statement
// parser reads the lexer's token list afterwards. The grammar is in ZyDatabaseParseSQL.y.
#pragma once

#include <cstdint>

#include "engine/sql/ZyParse.h"

class TZyParseSQL : public TZyParse {
 public:
  // The parse stack's size. Every list element and every comparison of a chain holds entries
  // until its list or chain is complete, which is what limits a statement's length: 511 fields
  // in a SELECT, 510 INSERT values, 509 columns or assignments, 508 comparisons and 1015 nested
  // parentheses. Beyond that the parse fails with "Stack Overflow".
  static constexpr int32_t kStackSize = 1024;

  // Pulls every token from Lexer (which must be set); 0 when the text is accepted, 1 with
  // ErrorText set otherwise. Exceptions of the lexer (its buffer limits) pass through.
  int32_t yyparse() override;

  int32_t Value = 0;  // the semantic value that comes with a token; the SQL grammar has none
};
