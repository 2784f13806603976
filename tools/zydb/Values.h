// Values between the shell's text and the engine's types: the display text of a result field,
// parameter values typed by their bound column (for .param, .import and dump scripts), and the
// written forms .dump chooses so that every value reads back exactly as it was stored.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/table/ZyDatabaseColumn.h"
#include "tools/zydb/Output.h"

class TZyDatabaseField;
class TZyDatabaseParam;
namespace zyfw {
class TMemoryStream;
}

namespace zydb {

// A failure the shell words itself (bad input to a dot-command, a value that does not fit).
class ShellError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string HexEncode(const void* data, size_t size);
// Pairs of hexadecimal digits, either case; false for an odd count or any other character.
bool HexDecode(const std::string& hex, std::string* bytes);

CellKind KindOfType(TZyDatabaseColumnTypes type);
// The field's current value as the result modes show it: numbers, dates and strings as the
// engine writes them, booleans TRUE/FALSE, Text as its text, Binary as upper-case hex, a Byte
// value as hex or, when it was stored as another type, "Type:value".
Cell FieldCell(TZyDatabaseField& field);

// A parameter value as the shell keeps it until a statement runs.
//   NULL          null
//   'text'        exactly that text (quotes doubled inside, as in SQL)
//   x'0A1B'       exactly those bytes
//   anything else the text as typed, blanks around it dropped; read by the column's type
//                 (numbers, dates, TRUE/FALSE; hexadecimal for Binary and Byte, where Byte also
//                 takes Type:value to store a value of another type, e.g. SignedInt32:7)
struct ParamValue {
  enum Form { Null, Text, Bytes, Plain };
  Form form = Null;
  std::string data;
};
ParamValue ParseParamValue(const std::string& written);  // raises ShellError

// Sets param from value, checked against the bound column: a number out of the column's range,
// a text longer than a String or Byte column, or a text with a zero byte is refused with a
// ShellError rather than cut or wrapped. Text and Binary values are handed to the engine by
// reference; slot keeps them alive until the statement has run.
struct ParamSlot {
  std::string text;
  std::unique_ptr<zyfw::TMemoryStream> stream;
  ParamSlot();
  ~ParamSlot();
  ParamSlot(ParamSlot&&) noexcept;
  ParamSlot& operator=(ParamSlot&&) noexcept;
};
void ApplyParam(TZyDatabaseParam& param, const ParamValue& value, ParamSlot& slot);

// How .dump writes one value: an SQL literal where the dialect has one that reads back to the
// same bytes, otherwise a value for a ".param set" line.
struct DumpValue {
  bool null = false;
  bool viaParam = false;
  std::string text;  // the literal, or the parameter value in ParseParamValue's syntax
};
DumpValue DumpOf(TZyDatabaseField& field);

// The shortest decimal text that reads back to exactly value in the type's precision
// (Float4, Float8 or Float10); "NAN", "INF", "-INF" for the others.
std::string ExactFloatText(long double value, TZyDatabaseColumnTypes type);
// A date-time as a date text when that reads back exactly, else its day count.
std::string ExactDateTimeText(double value);
// A text as a quoted SQL literal: 'It''s'.
std::string SqlQuote(const std::string& text);

}  // namespace zydb
