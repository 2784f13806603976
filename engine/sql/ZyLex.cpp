#include "engine/sql/ZyLex.h"

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyModuleText.h"
#include "platform/framework/Exception.h"

namespace {

[[noreturn]] void ListIndexError(int32_t index) {
  throw zyfw::EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Lines and tokens

void TZyLexLines::TextSet(std::string_view text) {
  Clear();
  text_.reserve(text.size());
  spans_.reserve(8);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    Add(text.substr(pos, end - pos));
    if (end < text.size() && text[end] == '\r') ++end;
    if (end < text.size() && text[end] == '\n') ++end;
    pos = end;
  }
}

void TZyLexLines::Add(std::string_view line) {
  spans_.emplace_back(text_.size(), line.size());
  text_.append(line.data(), line.size());
}

void TZyLexLines::Clear() {
  text_.clear();
  spans_.clear();
}

std::string_view TZyLexLines::Get(int32_t index) const {
  if (index < 0 || index >= CountGet()) ListIndexError(index);
  const auto& span = spans_[static_cast<size_t>(index)];
  return std::string_view(text_).substr(span.first, span.second);
}

void TZyTokenList::CheckIndex(int32_t index) const {
  if (index < 0 || index >= CountGet()) ListIndexError(index);
}

const std::string& TZyTokenList::StringsGet(int32_t index) const {
  CheckIndex(index);
  return entries_[static_cast<size_t>(index)].Text;
}

void TZyTokenList::StringsSet(int32_t index, std::string text) {
  CheckIndex(index);
  entries_[static_cast<size_t>(index)].Text = std::move(text);
}

void TZyTokenList::UpperCaseAll() {
  for (Entry& entry : entries_)
    for (char& c : entry.Text)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

int32_t TZyTokenList::NumberGet(int32_t index) const {
  CheckIndex(index);
  return entries_[static_cast<size_t>(index)].Number;
}

// ---------------------------------------------------------------------------------------------
// The runtime

TZyLex::TZyLex() { yyclear(); }

void TZyLex::Fail(const char* method, const char* text) const {
  throw EZyException(zydErrSQLSyntax, zydModuleText("ZyLex"), method, text);
}

void TZyLex::LogError(const std::string& msg) {
  if (!ErrorText.empty()) ErrorText += "\r\n";
  ErrorText += msg;
  ErrorFlag = true;
}

int32_t TZyLex::ReadLine() {
  if (NextLine >= Input.CountGet()) return kEndOfInput;
  std::string_view line = Input.Get(NextLine);
  CurrentLine = line;
  ++NextLine;
  ++LineNumber;
  ColumnNumber = 1;
  // The line and its end-of-line character go in at once, so they must fit together.
  if (line.size() + 1 > static_cast<size_t>(kBufferSize))
    Fail("TZyLex.get_char", "input buffer overflow");
  buffer_[static_cast<size_t>(bufferCount_++)] = '\n';
  for (size_t i = line.size(); i > 0; --i)
    buffer_[static_cast<size_t>(bufferCount_++)] = static_cast<unsigned char>(line[i - 1]);
  ++ColumnNumber;
  return buffer_[static_cast<size_t>(--bufferCount_)];
}

void TZyLex::UngetCode(int32_t code) {
  if (bufferCount_ >= kBufferSize) Fail("TZyLex.unget_char", "input buffer overflow");
  buffer_[static_cast<size_t>(bufferCount_++)] = static_cast<uint16_t>(code);
  --ColumnNumber;
}

char TZyLex::get_char() {
  int32_t code = ReadCode();
  return code == kEndOfInput ? '\0' : static_cast<char>(code);
}

void TZyLex::unget_char(char ch) { UngetCode(static_cast<unsigned char>(ch)); }

void TZyLex::put_char(char ch) {
  if (ch == '\0') return;
  if (ch == '\n')
    Output += "\r\n";
  else
    Output += ch;
}

void TZyLex::echo() {
  for (char ch : MatchedText) put_char(ch);
}

void TZyLex::yymore() {
  moreText_ = MatchedText;
  moreEndsInEnd_ = matchedEndsInEnd_;
}

void TZyLex::yyless(int32_t n) {
  if (n < 0) n = 0;
  size_t keep = static_cast<size_t>(n);
  size_t length = MatchedText.size();
  if (keep >= length) return;
  for (size_t i = length; i > keep; --i) {
    bool end = matchedEndsInEnd_ && i == length;
    UngetCode(end ? kEndOfInput : static_cast<unsigned char>(MatchedText[i - 1]));
  }
  MatchedText.resize(keep);
  matchedEndsInEnd_ = false;
}

void TZyLex::reject() {
  Rejected = true;
  while (MatchedText.size() < rejectLength_) {
    int32_t code = ReadCode();
    MatchedText += code == kEndOfInput ? '\0' : static_cast<char>(code);
    matchedEndsInEnd_ = code == kEndOfInput;
  }
  if (matchCount_ > 0) --matchCount_;
}

void TZyLex::return_(int32_t n) {
  ReturnValue = n;
  Done = true;
}

void TZyLex::returnc(char ch) {
  ReturnValue = static_cast<unsigned char>(ch);
  Done = true;
}

void TZyLex::yynew() {
  if (LastChar != '\0') lineStart_ = LastChar == '\n';
  State = startState_ + (lineStart_ ? 1 : 0);
  // Usually nothing was kept by yymore: then the matched text is emptied, keeping its memory.
  if (moreText_.empty())
    MatchedText.clear();
  else
    MatchedText = moreText_;
  matchedEndsInEnd_ = moreEndsInEnd_;
  moreText_.clear();
  moreEndsInEnd_ = false;
  matchCount_ = 0;
  Done = false;
}

bool TZyLex::yyfind(int32_t& rule) {
  Rejected = false;
  while (matchCount_ > 0 && rulePositions_[matchStack_[static_cast<size_t>(matchCount_ - 1)]] == 0)
    --matchCount_;
  if (matchCount_ == 0) {
    yyless(0);
    LastChar = '\0';
    return false;
  }
  rejectLength_ = MatchedText.size();
  rule = matchStack_[static_cast<size_t>(matchCount_ - 1)];
  MatchedRule = rule;
  yyless(rulePositions_[static_cast<size_t>(rule)]);
  rulePositions_[static_cast<size_t>(rule)] = 0;
  LastChar = MatchedText.empty() ? '\0' : MatchedText.back();
  return true;
}

bool TZyLex::yydefault() {
  Rejected = false;
  int32_t code = ReadCode();
  if (code == kEndOfInput) {
    lineStart_ = true;
    LastChar = '\0';
    return false;
  }
  char ch = static_cast<char>(code);
  put_char(ch);
  LastChar = ch;
  return true;
}

// Besides the pushback buffer and the start state this also forgets the match stack and the rule
// positions, so a lexer whose scan ended in an error starts its next scan from nothing.
void TZyLex::yyclear() {
  bufferCount_ = 0;
  startState_ = 0;
  lineStart_ = true;
  LastChar = '\0';
  MatchedText.clear();
  matchedEndsInEnd_ = false;
  moreText_.clear();
  moreEndsInEnd_ = false;
  matchCount_ = 0;
  rulePositions_.fill(0);
  rejectLength_ = 0;
}

void TZyLex::start(int32_t state) { startState_ = state; }

void TZyLex::Reset() {
  yyclear();
  ErrorFlag = false;
  ErrorText.clear();
  Input.Clear();
  Tokens.Clear();
  NextLine = 0;
  Output.clear();
  CurrentLine = std::string_view();
  LineNumber = 0;
  ColumnNumber = 0;
  State = 0;
  ActiveChar = '\0';
  MatchedRule = 0;
  Rejected = false;
  Done = false;
  ReturnValue = 0;
  activeCode_ = 0;
}
