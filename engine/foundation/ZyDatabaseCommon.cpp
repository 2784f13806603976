#include "engine/foundation/ZyDatabaseCommon.h"

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"

namespace {

[[noreturn]] void RaiseIdentifier(const std::string& text) {
  throw EZyException(zydErrIdentifier, zydModuleText(zydModCommon), zydMthIsNameValid, text);
}

bool IsIdentifierChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_';
}

unsigned char UpperAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

// The whole character that starts at name[i]: one byte, or a UTF-8 sequence, so that the
// message shows the character the user wrote rather than a stray byte of it.
std::string CharacterAt(const std::string& name, size_t i) {
  const auto lead = static_cast<unsigned char>(name[i]);
  size_t length = 1;
  if (lead >= 0xC0 && lead < 0xE0) length = 2;
  else if (lead >= 0xE0 && lead < 0xF0) length = 3;
  else if (lead >= 0xF0 && lead < 0xF8) length = 4;
  size_t n = 1;
  while (n < length && i + n < name.size() &&
         (static_cast<unsigned char>(name[i + n]) & 0xC0) == 0x80)
    ++n;
  return name.substr(i, n);
}

bool StartsWithUpper(const std::string& name, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i)
    if (i >= name.size() || UpperAscii(static_cast<unsigned char>(name[i])) != prefix[i])
      return false;
  return true;
}

}  // namespace

void ZyDatabaseIsNameValid(const std::string& name, bool system) {
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = UpperAscii(static_cast<unsigned char>(name[i]));
    if (!IsIdentifierChar(c)) {
      std::string shown = CharacterAt(name, i);
      if (shown.size() == 1) shown[0] = static_cast<char>(c);
      RaiseIdentifier(zydFormat(zydTxtIdentifierChar, shown.c_str()));
    }
  }
  if (system) return;
  if (StartsWithUpper(name, "SYS_")) RaiseIdentifier(zydTxtIdentifierSys);
  if (StartsWithUpper(name, "SP_")) RaiseIdentifier(zydTxtIdentifierSp);
}

void ZyDatabaseSysException(const std::string& method) {
  throw EZyException(zydErrSysReserved, zydModuleText(zydModCommon), method, zydTxtSysReserved);
}
