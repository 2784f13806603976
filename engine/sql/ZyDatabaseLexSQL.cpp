#include "engine/sql/ZyDatabaseLexSQL.h"

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// The vocabulary

struct TokenRow {
  std::string_view Name;
  int32_t Number;
  int32_t Class;
  bool Keyword;  // found by keyword lookup
};

constexpr TokenRow kTokenTable[] = {
    {"SELECT", 257, 1, true},          {"INSERT", 258, 1, false},
    {"DELETE", 259, 1, false},         {"UPDATE", 260, 1, true},
    {"CREATE TABLE", 261, 1, false},   {"FROM", 262, 2, true},
    {"WHERE", 263, 2, true},           {"SET", 264, 2, true},
    {"VALUES", 265, 2, true},          {",", 266, 2, true},
    {"AND", 267, 3, true},             {"OR", 268, 3, true},
    {"IDENTIFIER", 269, 4, false},     {"PARAMETER", 270, 5, false},
    {"COMMENT", 271, 6, false},        {"STRING", 272, 7, false},
    {"INTEGER", 273, 7, false},        {"FLOAT", 274, 7, false},
    {"NULL", 275, 7, true},            {"TRUE", 276, 7, true},
    {"FALSE", 277, 7, true},           {"(", 278, 8, false},
    {")", 279, 8, false},              {"=", 280, 9, false},
    {"<>", 281, 9, false},             {"<", 282, 9, false},
    {"<=", 283, 9, false},             {">", 284, 9, false},
    {">=", 285, 9, false},             {"IS", 286, 9, true},
    {"IS NOT", 287, 9, false},         {"SIGNEDINT64", 288, 10, true},
    {"SIGNEDINT32", 289, 10, true},    {"UNSIGNEDINT32", 290, 10, true},
    {"SIGNEDINT16", 291, 10, true},    {"UNSIGNEDINT16", 292, 10, true},
    {"SIGNEDINT8", 293, 10, true},     {"UNSIGNEDINT8", 294, 10, true},
    {"FLOAT10", 295, 10, true},        {"FLOAT8", 296, 10, true},
    {"FLOAT4", 297, 10, true},         {"BOOLEAN", 298, 10, true},
    {"CURRENCY", 299, 10, true},       {"DATETIME", 300, 10, true},
    {"STRING", 301, 10, true},         {"BYTE", 302, 10, true},
    {"TEXT", 303, 10, true},           {"BINARY", 304, 10, true},
    {"AUTONUMBER", 305, 11, true},     {"SUM", 306, 12, true},
    {"COUNT", 307, 12, true},          {"MIN", 308, 12, true},
    {"MAX", 309, 12, true},            {"AVG", 310, 12, true},
    {"Illegal Token", 311, 13, false},
};
constexpr int32_t kFirstToken = 257;
constexpr int32_t kTokenRows = static_cast<int32_t>(sizeof(kTokenTable) / sizeof(kTokenTable[0]));
static_assert(kTokenRows == 55, "the vocabulary has 55 tokens, numbered 257 to 311");

const TokenRow* TokenRowGet(int32_t number) {
  if (number < kFirstToken || number >= kFirstToken + kTokenRows) return nullptr;
  return &kTokenTable[number - kFirstToken];
}

// ---------------------------------------------------------------------------------------------
// The rules. Each rule is a small automaton of its own over the character codes 0..255 and the
// end of the input; the scanner's automaton below runs all 23 side by side, which is what a
// scanner generator would build from the same patterns.

constexpr int32_t kEnd = 256;
constexpr int32_t kSymbols = 257;
constexpr int32_t kRules = TZyLexSQL::kRuleCount;

bool IsLetter(int32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(int32_t c) { return c >= '0' && c <= '9'; }
bool IsNameChar(int32_t c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsSpace(int32_t c) { return c == ' ' || c == '\t' || c == '\n'; }
int32_t Upper(int32_t c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

enum class Pattern {
  String,     // a quote, one or more items, a quote; an item is any character but #0 and the
              // quote, or two quotes
  Integer,    // [+-]* digits
  Float,      // [+-]* digits "." digits
  FloatExp,   // [+-]* digits "." digits [Ee] digits
  Comment,    // "{" [tab #10 0x20-0x7E]* "}"
  TwoWords,   // First, whitespace, Second; letters in either case
  Fixed,      // the characters of First
  Parameter,  // ":" letter [letter digit _]*
  Word,       // letter [letter digit _]*
  Space,      // one space, tab or #10
  Any,        // one character other than #10 and the end of the input
};

struct Rule {
  Pattern Kind;
  const char* First;
  const char* Second;
};

// Rule n is kRuleTable[n - 1]; a lower number wins among matches of equal length.
constexpr Rule kRuleTable[kRules] = {
    {Pattern::String, "", ""},          // 1  -> 272
    {Pattern::Integer, "", ""},         // 2  -> 273
    {Pattern::Float, "", ""},           // 3  -> 274
    {Pattern::FloatExp, "", ""},        // 4  -> 274
    {Pattern::Comment, "", ""},         // 5  -> 271
    {Pattern::TwoWords, "DELETE", "FROM"},   // 6  -> 259
    {Pattern::TwoWords, "CREATE", "TABLE"},  // 7  -> 261
    {Pattern::TwoWords, "INSERT", "INTO"},   // 8  -> 258
    {Pattern::TwoWords, "IS", "NOT"},        // 9  -> 287
    {Pattern::Fixed, "(", ""},          // 10 -> 278
    {Pattern::Fixed, ")", ""},          // 11 -> 279
    {Pattern::Fixed, "=", ""},          // 12 -> 280
    {Pattern::Fixed, "<>", ""},         // 13 -> 281
    {Pattern::Fixed, "<=", ""},         // 14 -> 283
    {Pattern::Fixed, ">=", ""},         // 15 -> 285
    {Pattern::Fixed, "<", ""},          // 16 -> 282
    {Pattern::Fixed, ">", ""},          // 17 -> 284
    {Pattern::Parameter, "", ""},       // 18 -> 270
    {Pattern::Fixed, "*", ""},          // 19 -> keyword lookup (269)
    {Pattern::Word, "", ""},            // 20 -> keyword lookup
    {Pattern::Fixed, ",", ""},          // 21 -> 266
    {Pattern::Space, "", ""},           // 22 -> skipped
    {Pattern::Any, "", ""},             // 23 -> illegal character
};

// Numbers: 0 start, 1 signs, 2 digits, 3 ".", 4 fraction digits, 5 "E", 6 exponent digits.
int32_t NumberStep(int32_t s, int32_t c, int32_t lastState) {
  int32_t next = -1;
  switch (s) {
    case 0:
    case 1: next = (c == '+' || c == '-') ? 1 : IsDigit(c) ? 2 : -1; break;
    case 2: next = IsDigit(c) ? 2 : c == '.' ? 3 : -1; break;
    case 3: next = IsDigit(c) ? 4 : -1; break;
    case 4: next = IsDigit(c) ? 4 : (c == 'E' || c == 'e') ? 5 : -1; break;
    case 5: next = IsDigit(c) ? 6 : -1; break;
    case 6: next = IsDigit(c) ? 6 : -1; break;
  }
  return next > lastState ? -1 : next;
}

int32_t RuleStep(const Rule& rule, int32_t s, int32_t c) {
  switch (rule.Kind) {
    case Pattern::String: {
      // 1 after the opening quote, 3 inside a doubled quote before any item, 2 after an item,
      // 4 after a quote that closes the literal unless another quote follows.
      bool item = c != '\'' && c != '\0' && c != kEnd;
      switch (s) {
        case 0: return c == '\'' ? 1 : -1;
        case 1: return c == '\'' ? 3 : item ? 2 : -1;
        case 2: return c == '\'' ? 4 : item ? 2 : -1;
        case 3:
        case 4: return c == '\'' ? 2 : -1;
      }
      return -1;
    }
    case Pattern::Integer: return NumberStep(s, c, 2);
    case Pattern::Float: return NumberStep(s, c, 4);
    case Pattern::FloatExp: return NumberStep(s, c, 6);
    case Pattern::Comment: {
      bool body = c == '\t' || c == '\n' || (c >= 0x20 && c <= 0x7E);
      if (s == 0) return c == '{' ? 1 : -1;
      return c == '}' ? 2 : body ? 1 : -1;
    }
    case Pattern::TwoWords: {
      // 0 .. n1 - 1 inside the first word, n1 after it, n1 + 1 in the whitespace, then
      // n1 + 1 + j after j letters of the second word.
      int32_t n1 = static_cast<int32_t>(std::strlen(rule.First));
      int32_t n2 = static_cast<int32_t>(std::strlen(rule.Second));
      if (s < n1) return Upper(c) == rule.First[s] ? s + 1 : -1;
      if (s == n1) return IsSpace(c) ? n1 + 1 : -1;
      if (s == n1 + 1 && IsSpace(c)) return n1 + 1;
      int32_t j = s - n1 - 1;
      return j < n2 && Upper(c) == rule.Second[j] ? s + 1 : -1;
    }
    case Pattern::Fixed: {
      int32_t n = static_cast<int32_t>(std::strlen(rule.First));
      return s < n && c == rule.First[s] ? s + 1 : -1;
    }
    case Pattern::Parameter:
      if (s == 0) return c == ':' ? 1 : -1;
      if (s == 1) return IsLetter(c) ? 2 : -1;
      return IsNameChar(c) ? 2 : -1;
    case Pattern::Word:
      if (s == 0) return IsLetter(c) ? 1 : -1;
      return IsNameChar(c) ? 1 : -1;
    case Pattern::Space: return s == 0 && IsSpace(c) ? 1 : -1;
    // A NUL byte inside the text is an illegal character like any other control character:
    // the statement is refused instead of ending silently at the NUL.
    case Pattern::Any: return s == 0 && c != '\n' && c != kEnd ? 1 : -1;
  }
  return -1;
}

bool RuleAccepts(const Rule& rule, int32_t s) {
  switch (rule.Kind) {
    case Pattern::String: return s == 4;
    case Pattern::Integer: return s == 2;
    case Pattern::Float: return s == 4;
    case Pattern::FloatExp: return s == 6;
    case Pattern::Comment: return s == 2;
    case Pattern::TwoWords:
      return s == static_cast<int32_t>(std::strlen(rule.First) + 1 + std::strlen(rule.Second));
    case Pattern::Fixed: return s == static_cast<int32_t>(std::strlen(rule.First));
    case Pattern::Parameter: return s == 2;
    case Pattern::Word:
    case Pattern::Space:
    case Pattern::Any: return s == 1;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// The scanner's automaton: one state per combination of rule states that some text can reach,
// with the rules that match on reaching it. Built once, on first use.

struct Automaton {
  std::vector<int16_t> Next;        // [state * kSymbols + code]; -1 where the scan stops
  std::vector<uint8_t> HasMoves;    // the state has at least one outgoing transition
  std::vector<uint16_t> RuleStart;  // the rules matching in state s: Rules[RuleStart[s] ..
  std::vector<uint8_t> Rules;       //   RuleStart[s + 1]), in ascending rule order
};

Automaton BuildAutomaton() {
  using Combination = std::array<int8_t, kRules>;
  std::map<Combination, int32_t> known;
  std::vector<Combination> states;
  Combination first{};
  known.emplace(first, 0);
  states.push_back(first);

  Automaton a;
  for (size_t i = 0; i < states.size(); ++i) {
    Combination from = states[i];
    a.Next.resize((i + 1) * kSymbols, -1);
    bool moves = false;
    for (int32_t c = 0; c < kSymbols; ++c) {
      Combination to;
      bool alive = false;
      for (int32_t r = 0; r < kRules; ++r) {
        to[r] = static_cast<int8_t>(from[r] < 0 ? -1 : RuleStep(kRuleTable[r], from[r], c));
        alive = alive || to[r] >= 0;
      }
      if (!alive) continue;
      auto found = known.find(to);
      int32_t target;
      if (found == known.end()) {
        target = static_cast<int32_t>(states.size());
        known.emplace(to, target);
        states.push_back(to);
      } else {
        target = found->second;
      }
      a.Next[i * kSymbols + static_cast<size_t>(c)] = static_cast<int16_t>(target);
      moves = true;
    }
    a.HasMoves.push_back(moves ? 1 : 0);
    a.RuleStart.push_back(static_cast<uint16_t>(a.Rules.size()));
    for (int32_t r = 0; r < kRules; ++r)
      if (from[r] >= 0 && RuleAccepts(kRuleTable[r], from[r]))
        a.Rules.push_back(static_cast<uint8_t>(r + 1));
  }
  a.RuleStart.push_back(static_cast<uint16_t>(a.Rules.size()));
  return a;
}

const Automaton& SqlAutomaton() {
  static const Automaton automaton = BuildAutomaton();
  return automaton;
}

std::string PositionMessage(const char* what, const std::string& text, int32_t line,
                            int32_t column) {
  std::string msg = what;
  msg += " \"";
  msg += text;  // appended, not formatted: the text may hold a NUL byte
  msg += "\" at line ";
  msg += std::to_string(line);
  msg += ", column ";
  msg += std::to_string(column);
  msg += '.';
  return msg;
}

}  // namespace

int32_t GetTokenType(std::string_view text) {
  // The keywords by length, each length's in vocabulary order: a word is compared only with the
  // keywords as long as itself, and the first that matches wins as before.
  static constexpr size_t kLongest = 16;
  static const auto byLength = [] {
    std::array<std::vector<const TokenRow*>, kLongest + 1> rows;
    for (const TokenRow& row : kTokenTable)
      if (row.Keyword && row.Name.size() <= kLongest) rows[row.Name.size()].push_back(&row);
    return rows;
  }();
  if (text.size() > kLongest) return zydTokenIdentifier;
  for (const TokenRow* candidate : byLength[text.size()]) {
    const TokenRow& row = *candidate;
    size_t i = 0;
    while (i < text.size() && Upper(static_cast<unsigned char>(text[i])) == row.Name[i]) ++i;
    if (i == text.size()) return row.Number;
  }
  return zydTokenIdentifier;
}

int32_t GetTokenClass(int32_t number) {
  const TokenRow* row = TokenRowGet(number);
  return row ? row->Class : zydTokenClassNone;
}

std::string GetTokenName(int32_t number) {
  const TokenRow* row = TokenRowGet(number);
  return row ? std::string(row->Name) : std::string();
}

int32_t TZyLexSQL::AutomatonStateCount() {
  return static_cast<int32_t>(SqlAutomaton().HasMoves.size());
}

// The scanning loop of the runtime: walk the automaton as far as the text allows, recording
// every rule that matches on the way, then let yyfind pick the longest match (the lowest rule
// among equals) and push the look-ahead back.
int32_t TZyLexSQL::yylex() {
  const Automaton& a = SqlAutomaton();
  for (;;) {
    yynew();
    // Both start states (after a line break or not) behave the same in this scanner.
    int32_t state = 0;
    for (;;) {
      const uint8_t* first = a.Rules.data() + a.RuleStart[static_cast<size_t>(state)];
      const uint8_t* last = a.Rules.data() + a.RuleStart[static_cast<size_t>(state) + 1];
      for (const uint8_t* r = first; r != last; ++r) yymark(*r);
      for (const uint8_t* r = last; r != first; --r) yymatch(r[-1]);
      if (!a.HasMoves[static_cast<size_t>(state)]) break;
      yyscan();
      int32_t next = a.Next[static_cast<size_t>(state) * kSymbols + static_cast<size_t>(ActiveCode())];
      if (next < 0) break;
      state = next;
    }
    int32_t rule = 0;
    bool found = yyfind(rule);
    for (;;) {
      if (found) {
        Action(rule);
        if (Rejected) {
          found = yyfind(rule);
          continue;
        }
      } else if (!yydefault()) {
        yyclear();
        return_(0);
      }
      break;
    }
    if (Done) return ReturnValue;
  }
}

void TZyLexSQL::Action(int32_t rule) {
  static constexpr int32_t kSymbolTokens[] = {zydTokenOpenParenthesis, zydTokenCloseParenthesis,
                                              zydTokenEqual,           zydTokenNotEqual,
                                              zydTokenLessOrEqual,     zydTokenGreaterOrEqual,
                                              zydTokenLess,            zydTokenGreater};
  int32_t number = 0;
  switch (rule) {
    case 1:
      // The quotes go; doubled quotes inside stay doubled.
      Tokens.Add(std::string_view(MatchedText).substr(1, MatchedText.size() - 2),
                 zydTokenStringLiteral);
      return_(zydTokenStringLiteral);
      return;
    case 2: number = zydTokenInteger; break;
    case 3:
    case 4: number = zydTokenFloat; break;
    case 5: number = zydTokenComment; break;
    case 6: number = zydTokenDelete; break;
    case 7: number = zydTokenCreateTable; break;
    case 8: number = zydTokenInsert; break;
    case 9: number = zydTokenIsNot; break;
    case 10: case 11: case 12: case 13: case 14: case 15: case 16: case 17:
      number = kSymbolTokens[rule - 10];
      break;
    case 18: number = zydTokenParameter; break;
    case 19:
    case 20: KeywordAction(); return;
    case 21: number = zydTokenComma; break;
    case 22: return;  // whitespace
    default: IllegalAction(); return;
  }
  Tokens.Add(MatchedText, number);
  return_(number);
}

void TZyLexSQL::KeywordAction() {
  int32_t number = GetTokenType(MatchedText);
  Tokens.Add(MatchedText, number);
  if (GetTokenClass(number) == zydTokenClassReserved)
    LogError(PositionMessage("Reserved Token", MatchedText, LineNumber, ColumnNumber - 1));
  return_(number);
}

void TZyLexSQL::IllegalAction() {
  std::string msg = PositionMessage("Illegal Token", MatchedText, LineNumber, ColumnNumber - 1);
  Tokens.Add(msg, zydTokenIllegal);
  LogError(msg);
  return_(zydTokenIllegal);
}
