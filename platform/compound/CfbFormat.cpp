#include "platform/compound/CfbFormat.h"

namespace zycfb {
namespace cfb {

namespace {

// Blocks where upper and lower case alternate unit by unit; `upperEven` tells which of a pair is
// the capital.
struct PairRange {
  char16_t first, last;
  bool upperEven;
};

constexpr PairRange kPairs[] = {
    {0x0100, 0x012F, true},  {0x0132, 0x0137, true},  {0x0139, 0x0148, false},
    {0x014A, 0x0177, true},  {0x0179, 0x017E, false}, {0x0460, 0x0481, true},
    {0x048A, 0x04BF, true},  {0x04C1, 0x04CE, false}, {0x04D0, 0x052F, true},
    {0x1E00, 0x1E95, true},  {0x1EA0, 0x1EFF, true},
};

}  // namespace

char16_t UpperUnit(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
  if (c < 0x100) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
    if (c == 0xFF) return 0x0178;
    if (c == 0xB5) return 0x039C;
    return c;
  }
  if (c == 0x0131) return u'I';
  if (c == 0x017F) return u'S';
  for (const PairRange& r : kPairs) {
    if (c >= r.first && c <= r.last) {
      bool even = (c & 1) == 0;
      return even == r.upperEven ? c : char16_t(c - 1);
    }
  }
  // Greek.
  if (c >= 0x03B1 && c <= 0x03CB) return c == 0x03C2 ? char16_t(0x03A3) : char16_t(c - 32);
  if (c == 0x03AC) return 0x0386;
  if (c >= 0x03AD && c <= 0x03AF) return char16_t(c - 37);
  if (c == 0x03CC) return 0x038C;
  if (c == 0x03CD || c == 0x03CE) return char16_t(c - 63);
  // Cyrillic.
  if (c >= 0x0430 && c <= 0x044F) return char16_t(c - 32);
  if (c >= 0x0450 && c <= 0x045F) return char16_t(c - 80);
  if (c == 0x04CF) return 0x04C0;
  // Armenian.
  if (c >= 0x0561 && c <= 0x0586) return char16_t(c - 48);
  // Small Roman numerals, circled letters, fullwidth letters.
  if (c >= 0x2170 && c <= 0x217F) return char16_t(c - 16);
  if (c >= 0x24D0 && c <= 0x24E9) return char16_t(c - 26);
  if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 32);
  return c;
}

std::u16string UpperName(const std::u16string& name) {
  std::u16string out(name);
  for (char16_t& c : out) c = UpperUnit(c);
  return out;
}

int CompareNames(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = UpperUnit(a[i]), y = UpperUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool IsValidName(const std::u16string& name) {
  if (name.empty() || name.size() > kMaxNameUnits) return false;
  for (char16_t c : name) {
    if (c == u'/' || c == u'\\' || c == u':' || c == u'!' || c == 0) return false;
  }
  return true;
}

}  // namespace cfb
}  // namespace zycfb
