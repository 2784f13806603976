// The scanner runtime under the SQL lexer: the input lines, the pushback buffer through which
// every character passes, the match stack that settles the longest match, and the token list
// that the statement parser reads once the syntax check has drained the scanner.
// A concrete scanner derives from TZyLex and supplies yylex, its automaton and its rule actions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The lines of a text, split at CR, LF or CR LF, so that no line holds a line break. All lines
// live in one buffer: a prepare splits one statement and should not pay an allocation per line.
class TZyLexLines {
 public:
  // Replaces the lines by those of text. A line break at the very end starts no further line,
  // so "a\r\n" is one line and the empty text has none.
  void TextSet(std::string_view text);
  void Add(std::string_view line);
  void Clear();
  int32_t CountGet() const { return static_cast<int32_t>(spans_.size()); }
  // Raises the framework's EListError for an index outside 0 .. count - 1.
  std::string_view Get(int32_t index) const;

 private:
  std::string text_;
  std::vector<std::pair<size_t, size_t>> spans_;  // offset and length of each line
};

// The tokens of one statement in source order: each entry's text with its token number in the
// entry's object slot.
class TZyTokenList {
 public:
  TZyTokenList() { entries_.reserve(32); }  // a typical statement, without regrowing
  void Add(std::string_view text, int32_t number) { entries_.push_back({std::string(text), number}); }
  void Clear() { entries_.clear(); }
  int32_t CountGet() const { return static_cast<int32_t>(entries_.size()); }
  // These raise the framework's EListError for an index outside 0 .. count - 1.
  const std::string& StringsGet(int32_t index) const;
  void StringsSet(int32_t index, std::string text);
  // Every text in upper case (ASCII letters only), in place.
  void UpperCaseAll();
  int32_t NumberGet(int32_t index) const;

 private:
  struct Entry {
    std::string Text;
    int32_t Number;
  };
  std::vector<Entry> entries_;
  void CheckIndex(int32_t index) const;
};

class TZyLex {
 public:
  // The fixed sizes of the scanner state. A source line and its end-of-line character are pushed
  // at once, so a line may hold at most kBufferSize - 1 characters; every state that a token
  // passes through pushes its matching rules, so one token can be about kMatchStackSize long.
  static constexpr int32_t kBufferSize = 2048;
  static constexpr int32_t kMatchStackSize = 1024;
  static constexpr int32_t kMaxRules = 256;

  TZyLex();
  virtual ~TZyLex() = default;
  TZyLex(const TZyLex&) = delete;
  TZyLex& operator=(const TZyLex&) = delete;

  // The next token number; 0 at the end of the input.
  virtual int32_t yylex() = 0;

  void LogError(const std::string& msg);

  // The next input character; #0 at the end of the input.
  char get_char();
  void unget_char(char ch);
  void put_char(char ch);
  void echo();
  void yymore();
  void yyless(int32_t n);
  void reject();
  void return_(int32_t n);  // the runtime's "return"
  void returnc(char ch);
  void yynew();
  // These three run for every character of the text; they are defined below, in the header.
  void yyscan();
  void yymark(int32_t rule);
  void yymatch(int32_t rule);
  bool yyfind(int32_t& rule);
  bool yydefault();
  void yyclear();
  // Returns the lexer to the state it was made in (no input, no tokens, no error), keeping the
  // memory of its buffers: a lexer can serve one text after another without allocating again.
  void Reset();
  void start(int32_t state);

  bool ErrorFlag = false;
  std::string ErrorText;
  TZyLexLines Input;
  TZyTokenList Tokens;
  int32_t NextLine = 0;
  std::string Output;
  std::string_view CurrentLine;  // a view of the line in Input
  int32_t LineNumber = 0;
  int32_t ColumnNumber = 0;
  std::string MatchedText;
  int32_t State = 0;
  char ActiveChar = '\0';
  char LastChar = '\0';
  int32_t MatchedRule = 0;
  bool Rejected = false;
  bool Done = false;
  int32_t ReturnValue = 0;

 protected:
  // Characters travel as codes 0..255; kEndOfInput is the end of the input, which reads as #0
  // but, unlike a NUL byte in the text, ends the scan.
  static constexpr int32_t kEndOfInput = 256;
  // The code of the character yyscan read last.
  int32_t ActiveCode() const { return activeCode_; }

 private:
  int32_t ReadCode();
  // ReadCode when the pushback buffer is empty: takes in the next line.
  int32_t ReadLine();
  void UngetCode(int32_t code);
  [[noreturn]] void Fail(const char* method, const char* text) const;

  // Scanner state that the original design kept once per process. Each lexer owns its copy, so
  // scans in different queries (or threads) cannot disturb one another.
  // Only the first bufferCount_ / matchCount_ entries are ever read.
  std::array<uint16_t, kBufferSize> buffer_;
  int32_t bufferCount_ = 0;
  std::array<uint16_t, kMatchStackSize> matchStack_;
  int32_t matchCount_ = 0;
  std::array<int32_t, kMaxRules + 1> rulePositions_{};
  std::string moreText_;
  bool moreEndsInEnd_ = false;
  int32_t startState_ = 0;
  bool lineStart_ = true;
  size_t rejectLength_ = 0;

  int32_t activeCode_ = 0;
  bool matchedEndsInEnd_ = false;  // MatchedText's last character is the end of the input
};

inline int32_t TZyLex::ReadCode() {
  if (bufferCount_ == 0) return ReadLine();
  ++ColumnNumber;
  return buffer_[static_cast<size_t>(--bufferCount_)];
}

inline void TZyLex::yyscan() {
  activeCode_ = ReadCode();
  matchedEndsInEnd_ = activeCode_ == kEndOfInput;
  ActiveChar = matchedEndsInEnd_ ? '\0' : static_cast<char>(activeCode_);
  MatchedText += ActiveChar;
}

inline void TZyLex::yymark(int32_t rule) {
  if (rule < 0 || rule > kMaxRules) Fail("TZyLex.yymark", "too many rules");
  rulePositions_[static_cast<size_t>(rule)] = static_cast<int32_t>(MatchedText.size());
}

inline void TZyLex::yymatch(int32_t rule) {
  if (rule < 0 || rule > kMaxRules) Fail("TZyLex.yymatch", "too many rules");
  if (matchCount_ >= kMatchStackSize) Fail("TZyLex.yymatch", "match stack overflow");
  matchStack_[static_cast<size_t>(matchCount_++)] = static_cast<uint16_t>(rule);
}
