#include "tools/zydb/Splitter.h"

namespace zydb {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

size_t FirstNonBlank(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

}  // namespace

void StatementSplitter::Reset() {
  text_.clear();
  inString_ = false;
  start_ = 0;
}

Unit StatementSplitter::Feed(const std::string& rawLine) {
  ++line_;
  // A file written on another system may still carry the CR of a CR LF pair.
  std::string line = rawLine;
  if (!line.empty() && line.back() == '\r') line.pop_back();

  if (text_.empty()) {
    const size_t first = FirstNonBlank(line);
    if (first == line.size()) return Unit{};  // blank lines between statements mean nothing
    // Dot-commands and comments are whole lines, and only where no statement is open: inside a
    // statement a line starting with '.' or "--" is part of the SQL.
    if (line[first] == '.') return Unit{Unit::Command, line.substr(first), line_};
    if (line.compare(first, 2, "--") == 0) return Unit{};
    start_ = line_;
  } else {
    text_ += '\n';
  }

  // Quotes toggle the literal state; a doubled quote inside a literal toggles twice, which is
  // exactly the lexer's view of "It''s".
  for (char c : line)
    if (c == '\'') inString_ = !inString_;
  text_ += line;

  if (inString_) return Unit{};
  size_t end = text_.size();
  while (end > 0 && IsBlank(text_[end - 1])) --end;
  if (end == 0 || text_[end - 1] != ';') return Unit{};
  Unit unit{Unit::Statement, text_.substr(0, end - 1), start_};
  Reset();
  return unit;
}

Unit StatementSplitter::Finish() {
  if (text_.empty()) return Unit{};
  Unit unit{Unit::Statement, text_, start_};
  Reset();
  return unit;
}

}  // namespace zydb
