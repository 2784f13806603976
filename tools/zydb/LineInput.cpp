#include "tools/zydb/LineInput.h"

#include <editline/readline.h>

#include <cstdlib>

namespace zydb {

namespace {
constexpr int kHistoryLength = 1000;
}

LineInput::LineInput(std::string history) : history_(std::move(history)) {
  using_history();
  stifle_history(kHistoryLength);
  if (!history_.empty()) read_history(history_.c_str());
}

LineInput::~LineInput() {
  if (!history_.empty()) write_history(history_.c_str());
}

bool LineInput::Read(const std::string& prompt, std::string* line) {
  char* text = readline(prompt.c_str());
  if (!text) return false;
  *line = text;
  std::free(text);
  return true;
}

void LineInput::Remember(const std::string& entry) {
  if (!entry.empty()) add_history(entry.c_str());
}

}  // namespace zydb
