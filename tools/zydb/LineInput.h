// Reading typed lines with line editing and a history kept across sessions (libedit).
#pragma once

#include <string>

namespace zydb {

class LineInput {
 public:
  // history: the file the history is read from and saved to; empty for none.
  explicit LineInput(std::string history);
  ~LineInput();
  // Shows prompt and reads one line; false at end of input (Ctrl-D).
  bool Read(const std::string& prompt, std::string* line);
  // Adds a finished statement or command to the history.
  void Remember(const std::string& entry);

 private:
  std::string history_;
};

}  // namespace zydb
