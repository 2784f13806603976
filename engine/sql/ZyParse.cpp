#include "engine/sql/ZyParse.h"

void TZyParse::yyerror(const std::string& msg) {
  // Built by appending rather than formatting: the matched text may hold a NUL byte.
  std::string text = msg;
  text += " at or about '";
  if (Lexer) text += Lexer->MatchedText;
  text += "' on line ";
  text += std::to_string(Lexer ? Lexer->LineNumber : 0);
  text += ", column ";
  text += std::to_string(Lexer ? Lexer->ColumnNumber + 1 : 1);
  text += '.';
  ErrorText = std::move(text);
}
