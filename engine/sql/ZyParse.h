// The runtime under the SQL syntax check: the state that a table-driven LALR(1) parser keeps
// besides its stack, and the message that names the token where a parse failed. A concrete
// parser derives from TZyParse and supplies yyparse, generated from its grammar.
#pragma once

#include <cstdint>
#include <string>

#include "engine/sql/ZyLex.h"

class TZyParse {
 public:
  TZyParse() = default;
  virtual ~TZyParse() = default;
  TZyParse(const TZyParse&) = delete;
  TZyParse& operator=(const TZyParse&) = delete;

  // Reads the whole input from Lexer: 0 when it is accepted, 1 otherwise with the reason in
  // ErrorText.
  virtual int32_t yyparse() = 0;

  // ErrorText := "<msg> at or about '<matched text>' on line <n>, column <c>." from the lexer's
  // position (its column counter + 1).
  void yyerror(const std::string& msg);
  void yyclearin() { Lookahead = -1; }
  void yyaccept() { Flag = 1; }
  void yyabort() { Flag = 2; }
  void yyerrlab() { Flag = 3; }
  void yyerrok() { ErrorState = 0; }

  TZyLex* Lexer = nullptr;  // not owned; set before yyparse
  std::string ErrorText;
  uint8_t Flag = 0;         // a rule action's request: 0 none, 1 accept, 2 abort, 3 error
  int32_t ErrorState = 0;   // error-recovery countdown
  int32_t Lookahead = -1;   // the look-ahead token number; -1 when none is held
  int32_t ErrorCount = 0;
  bool Debug = false;
};
