#include "tools/zydb/Values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/sql/ZyDatabaseParam.h"
#include "engine/table/ZyDatabaseField.h"
#include "platform/framework/Convert.h"
#include "platform/framework/Stream.h"

namespace zydb {

namespace {

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HasControl(const std::string& text) {
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return true;
  }
  return false;
}

// A text as a parameter value that reads back exactly: quoted, or as bytes when it holds
// characters a one-line command cannot carry.
std::string QuotedOrHex(const std::string& text) {
  if (HasControl(text)) return "x'" + HexEncode(text.data(), text.size()) + "'";
  return SqlQuote(text);
}

[[noreturn]] void Refuse(const TZyDatabaseParam& param, const std::string& reason) {
  throw ShellError("parameter '" + param.NameGet() + "' (" +
                   zydColumnTypeGetName(param.ColumnTypeGet()) + "): " + reason);
}

bool IntegerRange(TZyDatabaseColumnTypes type, int64_t v) {
  switch (type) {
    case zydSignedInt32: return v >= INT32_MIN && v <= INT32_MAX;
    case zydUnsignedInt32: return v >= 0 && v <= int64_t(UINT32_MAX);
    case zydSignedInt16: return v >= INT16_MIN && v <= INT16_MAX;
    case zydUnsignedInt16: return v >= 0 && v <= UINT16_MAX;
    case zydSignedInt8: return v >= INT8_MIN && v <= INT8_MAX;
    case zydUnsignedInt8: return v >= 0 && v <= UINT8_MAX;
    default: return true;
  }
}

std::string Upper(std::string s) { return zyfw::UpperCase(s); }

// The value's text for the number, date and boolean readers; bytes given as x'..' are no text.
const std::string& TextOf(const TZyDatabaseParam& param, const ParamValue& value) {
  if (value.form == ParamValue::Bytes) Refuse(param, "bytes (x'...') are not a value of this type");
  return value.data;
}

int64_t ParseInteger(const TZyDatabaseParam& param, TZyDatabaseColumnTypes type,
                     const std::string& text) {
  int64_t v = 0;
  if (!zyfw::TryStrToInt64(text, &v)) Refuse(param, "'" + text + "' is not an integer");
  if (!IntegerRange(type, v))
    Refuse(param, text + " is out of the range of " + zydColumnTypeGetName(type));
  return v;
}

// The number in the precision of type, read directly from the decimal text (a detour through a
// wider type could round twice).
long double ParseFloat(const TZyDatabaseParam& param, TZyDatabaseColumnTypes type,
                       const std::string& text) {
  const std::string t = zyfw::Trim(text);
  const std::string u = Upper(t);
  if (u == "NAN") return NAN;
  if (u == "INF" || u == "+INF") return HUGE_VALL;
  if (u == "-INF") return -HUGE_VALL;
  long double check = 0;
  if (!zyfw::TryStrToFloat(t, &check)) Refuse(param, "'" + text + "' is not a number");
  long double v;
  if (type == zydFloat4)
    v = std::strtof(t.c_str(), nullptr);
  else if (type == zydFloat8)
    v = std::strtod(t.c_str(), nullptr);
  else
    v = std::strtold(t.c_str(), nullptr);
  if (std::isinf(v)) Refuse(param, text + " is out of the range of " + zydColumnTypeGetName(type));
  return v;
}

bool ParseBoolean(const std::string& text, bool* out) {
  const std::string u = Upper(zyfw::Trim(text));
  if (u == "TRUE" || u == "T" || u == "Y" || u == "YES" || u == "1") {
    *out = true;
    return true;
  }
  if (u == "FALSE" || u == "F" || u == "N" || u == "NO" || u == "0") {
    *out = false;
    return true;
  }
  return false;
}

zyfw::TDateTime ParseDateTime(const TZyDatabaseParam& param, const std::string& text) {
  zyfw::TDateTime v = 0;
  if (zyfw::TryStrToDateTime(text, &v)) return v;
  double days = 0;
  if (zyfw::TryStrToFloat(zyfw::Trim(text), &days) && std::isfinite(days)) {
    days = std::strtod(zyfw::Trim(text).c_str(), nullptr);
    return days;
  }
  Refuse(param, "'" + text + "' is neither a date and time nor a day count");
}

void CheckText(const TZyDatabaseParam& param, const std::string& text, bool sized) {
  if (text.find('\0') != std::string::npos) Refuse(param, "the text holds a zero byte");
  if (sized && text.size() > param.SizeGet())
    Refuse(param, "the text is " + std::to_string(text.size()) + " bytes long, the column holds " +
                      std::to_string(param.SizeGet()));
}

void SetRawBytes(TZyDatabaseParam& param, const std::string& bytes) {
  if (bytes.size() > param.SizeGet())
    Refuse(param, "the value is " + std::to_string(bytes.size()) + " bytes long, the column holds " +
                      std::to_string(param.SizeGet()));
  std::string padded = bytes;
  padded.resize(param.SizeGet(), '\0');
  param.ByteSet(padded.data());
}

// A Byte column given Type:value: the value stored with that type's tag.
void SetTypedByte(TZyDatabaseParam& param, const std::string& typeName, const ParamValue& value) {
  TZyDatabaseColumnTypes type = zydByte;
  bool found = false;
  for (int t = 0; t < zydColumnTypeCount; ++t)
    if (zyfw::SameText(typeName, ZyDbColumnTypeNames[t])) {
      type = static_cast<TZyDatabaseColumnTypes>(t);
      found = true;
    }
  if (!found || type == zydText || type == zydBinary)
    Refuse(param, "'" + typeName + "' is not a type a Byte value can be stored as");
  if (value.form == ParamValue::Null) Refuse(param, "a typed value cannot be NULL");
  switch (zydColumnCategoryGetByType(type)) {
    case zydCategoryInteger:
      param.IntegerSet(type, ParseInteger(param, type, TextOf(param, value)));
      return;
    case zydCategoryFloat:
      param.FloatSet(type, ParseFloat(param, type, TextOf(param, value)));
      return;
    case zydCategoryBoolean: {
      bool b = false;
      if (!ParseBoolean(TextOf(param, value), &b))
        Refuse(param, "'" + value.data + "' is not TRUE or FALSE");
      param.BooleanSet(b);
      return;
    }
    case zydCategoryCurrency: {
      zyfw::Currency c;
      if (!zyfw::TryStrToCurr(TextOf(param, value), &c))
        Refuse(param, "'" + value.data + "' is not a currency amount");
      param.CurrencySet(c);
      return;
    }
    case zydCategoryDateTime:
      param.DateTimeSet(ParseDateTime(param, TextOf(param, value)));
      return;
    case zydCategoryString:
      CheckText(param, value.data, true);
      param.StringSet(value.data);
      return;
    default: {
      std::string bytes = value.data;
      if (value.form == ParamValue::Plain && !HexDecode(value.data, &bytes))
        Refuse(param, "'" + value.data + "' is not hexadecimal");
      SetRawBytes(param, bytes);
    }
  }
}

template <typename T>
T LittleEndian(const uint8_t* bytes) {
  T v;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

// The exact written form of a value stored in a Byte column with a type tag other than Byte.
std::string TypedByteText(TZyDatabaseColumnTypes tag, const std::vector<uint8_t>& raw) {
  const uint8_t* b = raw.data();
  switch (tag) {
    case zydSignedInt64: return zyfw::IntToStr(LittleEndian<int64_t>(b));
    case zydSignedInt32: return zyfw::IntToStr(LittleEndian<int32_t>(b));
    case zydUnsignedInt32: return zyfw::IntToStr(LittleEndian<uint32_t>(b));
    case zydSignedInt16: return zyfw::IntToStr(LittleEndian<int16_t>(b));
    case zydUnsignedInt16: return zyfw::IntToStr(LittleEndian<uint16_t>(b));
    case zydSignedInt8: return zyfw::IntToStr(static_cast<int8_t>(b[0]));
    case zydUnsignedInt8: return zyfw::IntToStr(b[0]);
    case zydFloat4: return ExactFloatText(LittleEndian<float>(b), zydFloat4);
    case zydFloat8: return ExactFloatText(LittleEndian<double>(b), zydFloat8);
    case zydFloat10: return ExactFloatText(zyfw::BytesToFloat10(b), zydFloat10);
    case zydBoolean: return b[0] ? "TRUE" : "FALSE";
    case zydCurrency: return zyfw::CurrToStr(zyfw::Currency::FromRaw(LittleEndian<int64_t>(b)));
    case zydDateTime: return ExactDateTimeText(LittleEndian<double>(b));
    case zydString: {
      std::string s(reinterpret_cast<const char*>(b), strnlen(reinterpret_cast<const char*>(b), raw.size()));
      return QuotedOrHex(s);
    }
    default: return "";
  }
}

std::vector<uint8_t> RawBytes(const TZyDatabaseField& field) {
  // At least 10 bytes, so that reading any tagged type's width stays inside the buffer.
  std::vector<uint8_t> raw(std::max<size_t>(field.SizeGet(), 10), 0);
  field.AsByte(raw.data(), 0);
  return raw;
}

std::string BinaryBytes(TZyDatabaseField& field) {
  std::string bytes;
  zyfw::TStream* stream = field.AsBinary();
  if (!stream) return bytes;
  char buffer[65536];
  for (;;) {
    const int32_t got = stream->Read(buffer, sizeof buffer);
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  field.CloseBinary();
  return bytes;
}

// "1e+20" -> "1.0E20": the float token wants digits on both sides of the point and an unsigned
// exponent; a negative exponent has no literal form ("" then).
std::string FloatLiteral(const std::string& text) {
  const size_t e = text.find_first_of("eE");
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  std::string exponent = text.substr(e + 1);
  if (!exponent.empty() && exponent[0] == '-') return "";
  if (!exponent.empty() && exponent[0] == '+') exponent.erase(0, 1);
  while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
  if (mantissa.find('.') == std::string::npos) mantissa += ".0";
  return mantissa + "E" + exponent;
}

bool SameFloat(long double a, long double b, TZyDatabaseColumnTypes type) {
  if (type == zydFloat4) {
    float x = static_cast<float>(a), y = static_cast<float>(b);
    return std::memcmp(&x, &y, sizeof x) == 0;
  }
  if (type == zydFloat8) {
    double x = static_cast<double>(a), y = static_cast<double>(b);
    return std::memcmp(&x, &y, sizeof x) == 0;
  }
  return a == b && std::signbit(a) == std::signbit(b);
}

}  // namespace

std::string HexEncode(const void* data, size_t size) {
  std::string out;
  out.reserve(size * 2);
  const auto* b = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    out += kHex[b[i] >> 4];
    out += kHex[b[i] & 15];
  }
  return out;
}

bool HexDecode(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2) return false;
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  *bytes = std::move(out);
  return true;
}

CellKind KindOfType(TZyDatabaseColumnTypes type) {
  switch (zydColumnCategoryGetByType(type)) {
    case zydCategoryInteger:
    case zydCategoryFloat:
    case zydCategoryCurrency: return CellKind::Number;
    case zydCategoryBoolean: return CellKind::Boolean;
    default: return CellKind::Text;
  }
}

Cell FieldCell(TZyDatabaseField& field) {
  Cell cell;
  if (field.IsNullGet()) {
    cell.null = true;
    return cell;
  }
  switch (field.ColumnTypeGet()) {
    case zydBoolean: cell.text = field.AsBoolean() ? "TRUE" : "FALSE"; break;
    case zydBinary: {
      const std::string bytes = BinaryBytes(field);
      cell.text = HexEncode(bytes.data(), bytes.size());
      break;
    }
    case zydByte:
      cell.text = field.ValueTypeGet() == zydByte
                      ? field.AsString()
                      : zydColumnTypeGetName(field.ValueTypeGet()) + ":" + field.AsString();
      break;
    default: cell.text = field.AsString();
  }
  return cell;
}

ParamValue ParseParamValue(const std::string& written) {
  const std::string s = zyfw::Trim(written);
  ParamValue v;
  if (s.empty()) throw ShellError("a value is needed: NULL, 'text', x'hex' or a bare value");
  if (Upper(s) == "NULL") return v;
  const bool bytes = s.size() >= 2 && (s[0] == 'x' || s[0] == 'X') && s[1] == '\'';
  if (s[0] == '\'' || bytes) {
    std::string text;
    size_t i = bytes ? 2 : 1;
    bool closed = false;
    for (; i < s.size(); ++i) {
      if (s[i] == '\'') {
        if (i + 1 < s.size() && s[i + 1] == '\'') {
          text += '\'';
          ++i;
          continue;
        }
        closed = true;
        break;
      }
      text += s[i];
    }
    if (!closed) throw ShellError("the quoted value has no closing quote");
    if (i + 1 != s.size()) throw ShellError("text follows the closing quote of the value");
    if (bytes) {
      v.form = ParamValue::Bytes;
      if (!HexDecode(text, &v.data)) throw ShellError("x'" + text + "' is not hexadecimal");
    } else {
      v.form = ParamValue::Text;
      v.data = std::move(text);
    }
    return v;
  }
  v.form = ParamValue::Plain;
  v.data = s;
  return v;
}

ParamSlot::ParamSlot() = default;
ParamSlot::~ParamSlot() = default;
ParamSlot::ParamSlot(ParamSlot&&) noexcept = default;
ParamSlot& ParamSlot::operator=(ParamSlot&&) noexcept = default;

void ApplyParam(TZyDatabaseParam& param, const ParamValue& value, ParamSlot& slot) {
  if (value.form == ParamValue::Null) {
    param.NullSet(true);
    return;
  }
  const TZyDatabaseColumnTypes type = param.ColumnTypeGet();
  switch (param.CategoryGet()) {
    case zydCategoryInteger:
      param.IntegerSet(zydSignedInt64, ParseInteger(param, type, TextOf(param, value)));
      return;
    case zydCategoryFloat: {
      const long double v = ParseFloat(param, type, TextOf(param, value));
      if (type == zydFloat4)
        param.Float4Set(static_cast<float>(v));
      else if (type == zydFloat8)
        param.Float8Set(static_cast<double>(v));
      else
        param.Float10Set(v);
      return;
    }
    case zydCategoryBoolean: {
      bool b = false;
      if (!ParseBoolean(TextOf(param, value), &b))
        Refuse(param, "'" + value.data + "' is not TRUE or FALSE");
      param.BooleanSet(b);
      return;
    }
    case zydCategoryCurrency: {
      zyfw::Currency c;
      if (!zyfw::TryStrToCurr(TextOf(param, value), &c))
        Refuse(param, "'" + value.data + "' is not a currency amount");
      param.CurrencySet(c);
      return;
    }
    case zydCategoryDateTime:
      param.DateTimeSet(ParseDateTime(param, TextOf(param, value)));
      return;
    case zydCategoryString:
      CheckText(param, value.data, true);
      param.StringSet(value.data);
      return;
    case zydCategoryByte: {
      if (value.form == ParamValue::Text) {
        CheckText(param, value.data, true);
        param.StringSet(value.data);
        return;
      }
      if (value.form == ParamValue::Bytes) {
        SetRawBytes(param, value.data);
        return;
      }
      const size_t colon = value.data.find(':');
      if (colon != std::string::npos) {
        SetTypedByte(param, zyfw::Trim(value.data.substr(0, colon)),
                     ParseParamValue(value.data.substr(colon + 1)));
        return;
      }
      std::string bytes;
      if (!HexDecode(value.data, &bytes)) Refuse(param, "'" + value.data + "' is not hexadecimal");
      SetRawBytes(param, bytes);
      return;
    }
    default:
      break;
  }
  if (type == zydText) {
    CheckText(param, value.data, false);
    slot.text = value.data;
    param.TextSet(slot.text);
    return;
  }
  std::string bytes = value.data;
  if (value.form == ParamValue::Plain && !HexDecode(value.data, &bytes))
    Refuse(param, "'" + value.data + "' is not hexadecimal");
  if (!slot.stream) slot.stream = std::make_unique<zyfw::TMemoryStream>();
  slot.stream->Clear();
  if (!bytes.empty()) slot.stream->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  slot.stream->PositionSet(0);
  param.BinarySet(*slot.stream);
}

std::string SqlQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string ExactFloatText(long double value, TZyDatabaseColumnTypes type) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buffer[64];
  if (type == zydFloat4) {
    const float f = static_cast<float>(value);
    for (int p = 6; p <= 9; ++p) {
      std::snprintf(buffer, sizeof buffer, "%.*g", p, static_cast<double>(f));
      if (std::strtof(buffer, nullptr) == f) break;
    }
  } else if (type == zydFloat8) {
    const double d = static_cast<double>(value);
    for (int p = 15; p <= 17; ++p) {
      std::snprintf(buffer, sizeof buffer, "%.*g", p, d);
      if (std::strtod(buffer, nullptr) == d) break;
    }
  } else {
    for (int p = 18; p <= 21; ++p) {
      std::snprintf(buffer, sizeof buffer, "%.*Lg", p, value);
      if (std::strtold(buffer, nullptr) == value) break;
    }
  }
  return buffer;
}

std::string ExactDateTimeText(double value) {
  const std::string text = zyfw::DateTimeToStr(value);
  zyfw::TDateTime back = 0;
  if (std::isfinite(value) && zyfw::TryStrToDateTime(text, &back) &&
      std::memcmp(&back, &value, sizeof back) == 0)
    return text;
  return ExactFloatText(value, zydFloat8);
}

DumpValue DumpOf(TZyDatabaseField& field) {
  DumpValue d;
  if (field.IsNullGet()) {
    d.null = true;
    return d;
  }
  const TZyDatabaseColumnTypes type = field.ColumnTypeGet();
  switch (zydColumnCategoryGetByType(type)) {
    case zydCategoryInteger:
      d.text = zyfw::IntToStr(field.AsSignedInt64());
      return d;
    case zydCategoryFloat: {
      const long double v = field.AsFloat10();
      d.text = ExactFloatText(v, type);
      // The literal goes through the engine's own reading of numbers; it is used only when
      // that reading gives back the very same bits.
      const std::string literal = std::isfinite(v) ? FloatLiteral(d.text) : "";
      long double back = 0;
      if (!literal.empty() && zyfw::TryStrToFloat(literal, &back) && SameFloat(back, v, type)) {
        d.text = literal;
      } else {
        d.viaParam = true;
      }
      return d;
    }
    case zydCategoryBoolean:
      d.text = field.AsBoolean() ? "TRUE" : "FALSE";
      return d;
    case zydCategoryCurrency:
      d.text = zyfw::CurrToStr(field.AsCurrency());
      return d;
    case zydCategoryDateTime: {
      const double v = field.AsDateTime();
      d.text = ExactDateTimeText(v);
      zyfw::TDateTime back = 0;
      if (zyfw::TryStrToDateTime(d.text, &back))
        d.text = SqlQuote(d.text);
      else
        d.viaParam = true;
      return d;
    }
    case zydCategoryString: {
      const std::string s = field.AsString();
      // Empty texts have no literal in the dialect; control characters would not survive the
      // line splitting of the statement text; very long literals would make long lines.
      if (!s.empty() && !HasControl(s) && s.size() <= 500) {
        d.text = SqlQuote(s);
      } else {
        d.viaParam = true;
        d.text = QuotedOrHex(s);
      }
      return d;
    }
    case zydCategoryByte: {
      d.viaParam = true;
      const std::vector<uint8_t> raw = RawBytes(field);
      const TZyDatabaseColumnTypes tag = field.ValueTypeGet();
      const std::string typed = tag == zydByte ? "" : TypedByteText(tag, raw);
      if (!typed.empty()) {
        d.text = zydColumnTypeGetName(tag) + ":" + typed;
      } else {
        size_t n = field.SizeGet();
        while (n > 1 && raw[n - 1] == 0) --n;
        d.text = HexEncode(raw.data(), n);
      }
      return d;
    }
    default:
      break;
  }
  d.viaParam = true;
  if (type == zydText) {
    d.text = QuotedOrHex(field.AsString());
  } else {
    const std::string bytes = BinaryBytes(field);
    d.text = bytes.empty() ? "x''" : HexEncode(bytes.data(), bytes.size());
  }
  return d;
}

}  // namespace zydb
