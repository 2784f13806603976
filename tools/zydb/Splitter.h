// Cuts the shell's input into units of work: SQL statements and dot-commands. A statement may
// span lines and ends with ';' as the last character of a line outside a string literal; the
// dialect has no terminator, so the ';' is taken off before the text goes to the engine.
#pragma once

#include <string>

namespace zydb {

struct Unit {
  enum Kind { None, Statement, Command };
  Kind kind = None;
  std::string text;  // the statement without its ';', or the command line as typed
  int line = 0;      // input line on which the unit began (counted from 1)
};

class StatementSplitter {
 public:
  // Takes one input line (without its line break). Returns a complete unit, or kind None while
  // a statement is still open (or the line was blank or a comment).
  Unit Feed(const std::string& line);
  // At the end of the input: the statement still open, if any, as it stands (it has no ';').
  Unit Finish();
  // True while a statement has begun and not yet ended: the prompt shows a continuation.
  bool Pending() const { return !text_.empty(); }
  // True while the open statement is inside a string literal.
  bool InString() const { return inString_; }
  void Reset();
  int LineNumber() const { return line_; }

 private:
  std::string text_;
  bool inString_ = false;
  int line_ = 0;
  int start_ = 0;
};

}  // namespace zydb
