// Query parameters: what each setter stores for each column type, what it refuses and with which
// error, the length checks of Byte columns, hexadecimal decoding, references kept by the Text and
// Binary setters, variants, and the null state.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "engine/foundation/ZyException.h"
#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParam.h"
#include "engine/sql/ZyDatabaseParser.h"
#include "engine/sql/ZyDatabaseParserObjects.h"
#include "engine/table/ZyDatabaseColumn.h"
#include "platform/framework/Convert.h"
#include "platform/framework/Stream.h"
#include "platform/framework/Variant.h"

namespace {

using zyfw::Currency;
using zyfw::Variant;

// A parameter bound the way validation binds it: a column, a parameter criterion with a value
// buffer of the column's size + 1 bytes, and the parameter over both.
struct Bound {
  std::unique_ptr<TZyDatabaseColumn> column;
  std::unique_ptr<TZyDatabaseParsedCriteria> criteria;
  std::unique_ptr<TZyDatabaseParam> param;

  uint8_t* Data() const { return criteria->DataGet(); }
};

Bound Bind(TZyDatabaseColumnTypes type, uint64_t size = 0, const std::string& value = ":P",
           bool allocate = true, uint64_t flags = 0) {
  Bound b;
  b.column = std::make_unique<TZyDatabaseColumn>("F", type, nullptr, flags, size);
  b.criteria = TZyDatabaseParsedCriteria::MakeValue(zydLogicNone, "F", "", zydFieldOpEqualTo,
                                                    value, false);
  if (allocate) b.criteria->DataAllocate(b.column->SizeGet() + 1);
  b.param = std::make_unique<TZyDatabaseParam>(*b.criteria, *b.column);
  return b;
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

// The first hex.size() / 2 bytes of the buffer.
std::string Stored(const Bound& b, const std::string& hex) { return Hex(b.Data(), hex.size() / 2); }

// Runs f, which must raise EZyException with exactly this code, method and text and the
// library's module text.
template <class F>
void ExpectZyError(F f, uint32_t code, const std::string& method, const std::string& text) {
  try {
    f();
    ADD_FAILURE() << "no error; expected: " << text;
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), code) << text;
    EXPECT_EQ(e.ModuleGet(0), "ZyDatabase");
    EXPECT_EQ(e.MethodGet(0), method);
    EXPECT_EQ(e.TextGet(0), text);
  }
}

std::string ConvertText(const std::string& from, const std::string& to) {
  return "The 'P' parameter cannot be converted from " + from + " to " + to;
}

// The column types of the matrix, with the sizes the tests declare.
struct ColumnCase {
  TZyDatabaseColumnTypes type;
  const char* name;
  uint64_t size;
};
const ColumnCase kColumns[] = {
    {zydSignedInt64, "SignedInt64", 0}, {zydSignedInt32, "SignedInt32", 0},
    {zydUnsignedInt32, "UnsignedInt32", 0}, {zydSignedInt16, "SignedInt16", 0},
    {zydUnsignedInt16, "UnsignedInt16", 0}, {zydSignedInt8, "SignedInt8", 0},
    {zydUnsignedInt8, "UnsignedInt8", 0}, {zydFloat4, "Float4", 0},
    {zydFloat8, "Float8", 0}, {zydFloat10, "Float10", 0},
    {zydBoolean, "Boolean", 0}, {zydCurrency, "Currency", 0},
    {zydDateTime, "DateTime", 0}, {zydString, "String", 6},
    {zydByte, "Byte", 10}, {zydText, "Text", 0},
    {zydBinary, "Binary", 0},
};

// What an accepted setter leaves in the criterion. hex: the leading bytes of the buffer; for the
// reference setters it is empty and the buffer is checked for the reference instead.
struct Stores {
  std::string hex;
  int64_t dataSize;
  TZyDatabaseColumnTypes dataType;  // zydSignedInt64 (the initial tag) where no tag is written
};

struct SetterCase {
  const char* label;
  const char* method;
  const char* valueType;
  std::function<void(TZyDatabaseParam&)> apply;
  std::map<TZyDatabaseColumnTypes, Stores> accepted;  // every other column type refuses
};

// An integer setter's row: what it stores in a SignedInt64 column (the narrower integer columns
// keep the leading bytes of it, the low-order bytes of a little-endian value) and in a Byte
// column of 10 bytes, tagged with its own type.
std::map<TZyDatabaseColumnTypes, Stores> IntegerRow(const std::string& int64Hex,
                                                    const std::string& byteHex,
                                                    TZyDatabaseColumnTypes tag) {
  return {
      {zydSignedInt64, {int64Hex, 8, zydSignedInt64}},
      {zydSignedInt32, {int64Hex.substr(0, 8), 4, zydSignedInt64}},
      {zydUnsignedInt32, {int64Hex.substr(0, 8), 4, zydSignedInt64}},
      {zydSignedInt16, {int64Hex.substr(0, 4), 2, zydSignedInt64}},
      {zydUnsignedInt16, {int64Hex.substr(0, 4), 2, zydSignedInt64}},
      {zydSignedInt8, {int64Hex.substr(0, 2), 1, zydSignedInt64}},
      {zydUnsignedInt8, {int64Hex.substr(0, 2), 1, zydSignedInt64}},
      {zydByte, {byteHex, 10, tag}},
  };
}

std::map<TZyDatabaseColumnTypes, Stores> FloatRow(const std::string& f4, const std::string& f8,
                                                  const std::string& f10,
                                                  const std::string& byteHex,
                                                  TZyDatabaseColumnTypes tag) {
  return {
      {zydFloat4, {f4, 4, zydSignedInt64}},
      {zydFloat8, {f8, 8, zydSignedInt64}},
      {zydFloat10, {f10, 10, zydSignedInt64}},
      {zydByte, {byteHex, 10, tag}},
  };
}

std::string gText = "memo text";
zyfw::TMemoryStream gStream;
const uint8_t kTenBytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

std::vector<SetterCase> Setters() {
  const char* intSet = "TZyDatabaseParam.IntegerSet";
  const char* floatSet = "TZyDatabaseParam.FloatSet";
  const char* dateSet = "TZyDatabaseParam.DateTimeSet";
  return {
      {"SignedInt64Set(-300)", intSet, "SignedInt64",
       [](TZyDatabaseParam& p) { p.SignedInt64Set(-300); },
       IntegerRow("D4FEFFFFFFFFFFFF", "D4FEFFFFFFFFFFFF0000", zydSignedInt64)},
      {"SignedInt32Set(-2)", intSet, "SignedInt32",
       [](TZyDatabaseParam& p) { p.SignedInt32Set(-2); },
       IntegerRow("FEFFFFFFFFFFFFFF", "FEFFFFFF000000000000", zydSignedInt32)},
      {"UnsignedInt32Set(0xFFFFFFFE)", intSet, "UnsignedInt32",
       [](TZyDatabaseParam& p) { p.UnsignedInt32Set(0xFFFFFFFEu); },
       IntegerRow("FEFFFFFF00000000", "FEFFFFFF000000000000", zydUnsignedInt32)},
      {"SignedInt16Set(-32768)", intSet, "SignedInt16",
       [](TZyDatabaseParam& p) { p.SignedInt16Set(-32768); },
       IntegerRow("0080FFFFFFFFFFFF", "00800000000000000000", zydSignedInt16)},
      {"UnsignedInt16Set(0x8001)", intSet, "UnsignedInt16",
       [](TZyDatabaseParam& p) { p.UnsignedInt16Set(0x8001); },
       IntegerRow("0180000000000000", "01800000000000000000", zydUnsignedInt16)},
      {"SignedInt8Set(-1)", intSet, "SignedInt8",
       [](TZyDatabaseParam& p) { p.SignedInt8Set(-1); },
       IntegerRow("FFFFFFFFFFFFFFFF", "FF000000000000000000", zydSignedInt8)},
      {"UnsignedInt8Set(200)", intSet, "UnsignedInt8",
       [](TZyDatabaseParam& p) { p.UnsignedInt8Set(200); },
       IntegerRow("C800000000000000", "C8000000000000000000", zydUnsignedInt8)},
      {"Float4Set(-1.5)", floatSet, "Float4", [](TZyDatabaseParam& p) { p.Float4Set(-1.5f); },
       FloatRow("0000C0BF", "000000000000F8BF", "00000000000000C0FFBF", "0000C0BF000000000000",
                zydFloat4)},
      {"Float8Set(0.1)", floatSet, "Float8", [](TZyDatabaseParam& p) { p.Float8Set(0.1); },
       FloatRow("CDCCCC3D", "9A9999999999B93F", "00D0CCCCCCCCCCCCFB3F", "9A9999999999B93F0000",
                zydFloat8)},
      {"Float10Set(0.1L)", floatSet, "Float10", [](TZyDatabaseParam& p) { p.Float10Set(0.1L); },
       FloatRow("CDCCCC3D", "9A9999999999B93F", "CDCCCCCCCCCCCCCCFB3F", "CDCCCCCCCCCCCCCCFB3F",
                zydFloat10)},
      {"BooleanSet(true)", "TZyDatabaseParam.BooleanSet", "Boolean",
       [](TZyDatabaseParam& p) { p.BooleanSet(true); },
       {{zydBoolean, {"01", 1, zydSignedInt64}},
        {zydByte, {"01000000000000000000", 10, zydBoolean}}}},
      {"CurrencySet(1.5)", "TZyDatabaseParam.CurrencySet", "Currency",
       [](TZyDatabaseParam& p) { p.CurrencySet(Currency::FromRaw(15000)); },
       {{zydCurrency, {"983A000000000000", 8, zydSignedInt64}},
        {zydByte, {"983A0000000000000000", 10, zydCurrency}}}},
      {"DateTimeSet(2.5)", dateSet, "DateTime", [](TZyDatabaseParam& p) { p.DateTimeSet(2.5); },
       {{zydDateTime, {"0000000000000440", 8, zydSignedInt64}},
        {zydByte, {"00000000000004400000", 10, zydDateTime}}}},
      // The text cut to the column, then its terminator.
      {"StringSet(abcdefgh)", dateSet, "String",
       [](TZyDatabaseParam& p) { p.StringSet("abcdefgh"); },
       {{zydString, {"61626364656600", 6, zydSignedInt64}},
        {zydByte, {"6162636465666768000000", 8, zydString}}}},
      {"ByteSet(01..0A)", "TZyDatabaseParam.ByteSet", "Byte",
       [](TZyDatabaseParam& p) { p.ByteSet(kTenBytes); },
       {{zydByte, {"0102030405060708090A", 10, zydByte}}}},
      {"ByteStringSet(0aFF10)", "TZyDatabaseParam.ByteStringSet", "Byte",
       [](TZyDatabaseParam& p) { p.ByteStringSet("0aFF10"); },
       {{zydByte, {"00FF1000000000000000", 10, zydByte}}}},
      {"TextSet", dateSet, "Text", [](TZyDatabaseParam& p) { p.TextSet(gText); },
       {{zydText, {"", 4, zydSignedInt64}}}},
      {"BinarySet", dateSet, "Binary", [](TZyDatabaseParam& p) { p.BinarySet(gStream); },
       {{zydBinary, {"", 4, zydSignedInt64}}}},
  };
}

}  // namespace

// Every setter against every column type: the bytes it stores, or the exact refusal. Before each
// call the buffer is filled with 0xA5, so a refusal must leave that pattern and the null state.
TEST(ParamMatrix, EverySetterOnEveryColumnType) {
  int accepted = 0;
  for (const SetterCase& setter : Setters()) {
    for (const ColumnCase& col : kColumns) {
      SCOPED_TRACE(std::string(setter.label) + " on " + col.name);
      Bound b = Bind(col.type, col.size);
      const size_t capacity = b.criteria->DataCapacityGet();
      std::memset(b.Data(), 0xA5, capacity);
      const auto it = setter.accepted.find(col.type);
      if (it == setter.accepted.end()) {
        ExpectZyError([&] { setter.apply(*b.param); }, 0x80000800, setter.method,
                      ConvertText(setter.valueType, col.name));
        EXPECT_TRUE(b.param->NullGet());
        EXPECT_EQ(b.criteria->DataSizeGet(), 0);
        EXPECT_EQ(b.criteria->DataTypeGet(), zydSignedInt64);
        for (size_t i = 0; i < capacity; ++i) ASSERT_EQ(b.Data()[i], 0xA5) << "byte " << i;
        continue;
      }
      ++accepted;
      setter.apply(*b.param);
      const Stores& want = it->second;
      EXPECT_FALSE(b.param->NullGet());
      EXPECT_EQ(b.criteria->DataSizeGet(), want.dataSize);
      EXPECT_EQ(b.criteria->DataTypeGet(), want.dataType);
      if (col.type == zydText) {
        EXPECT_EQ(TZyDatabaseParam::TextReferenceGet(*b.criteria), gText.c_str());
      } else if (col.type == zydBinary) {
        EXPECT_EQ(TZyDatabaseParam::BinaryReferenceGet(*b.criteria), &gStream);
      } else {
        EXPECT_EQ(Stored(b, want.hex), want.hex);
      }
    }
  }
  // 7 integer setters on 8 column types, 3 float setters on 4, 5 more with two, 4 with one.
  EXPECT_EQ(accepted, 7 * 8 + 3 * 4 + 4 * 2 + 4);
}

TEST(ParamMatrix, ValuesFromTheSetterTable) {
  // A value too wide for the column is cut to its low-order bytes: 300 - 256.
  Bound b = Bind(zydSignedInt8);
  b.param->SignedInt64Set(300);
  EXPECT_EQ(b.Data()[0], 44);
  EXPECT_EQ(b.criteria->DataSizeGet(), 1);

  Bound s = Bind(zydString, 4);
  s.param->StringSet("abcdef");
  EXPECT_STREQ(reinterpret_cast<const char*>(s.Data()), "abcd");
  EXPECT_EQ(s.criteria->DataSizeGet(), 4);

  Bound f = Bind(zydString, 4);
  ExpectZyError([&] { f.param->Float10Set(1); }, 0x80000800, "TZyDatabaseParam.FloatSet",
                "The 'P' parameter cannot be converted from Float10 to String");

  Bound i = Bind(zydSignedInt32);
  ExpectZyError([&] { i.param->BooleanSet(true); }, 0x80000800, "TZyDatabaseParam.BooleanSet",
                "The 'P' parameter cannot be converted from Boolean to SignedInt32");
}

TEST(ParamMatrix, StringShorterThanTheColumnAndEmpty) {
  Bound b = Bind(zydString, 6);
  b.param->StringSet("abcdef");
  b.param->StringSet("xy");
  EXPECT_EQ(Hex(b.Data(), 7), "78790000000000");  // nothing of the longer value stays behind
  EXPECT_EQ(b.criteria->DataSizeGet(), 2);
  b.param->StringSet("");
  EXPECT_FALSE(b.param->NullGet());  // the empty text is a value, not null
  EXPECT_EQ(b.criteria->DataSizeGet(), 0);
  EXPECT_EQ(b.Data()[0], 0);
}

// IntegerSet and FloatSet take their source type from the caller; a type of the wrong family
// names itself in the refusal, also for a Byte column, which takes raw bytes of any value.
TEST(ParamMatrix, SourceTypeOutsideTheSettersFamilyIsRefused) {
  struct Case {
    TZyDatabaseColumnTypes column;
    std::function<void(TZyDatabaseParam&)> apply;
    const char* method;
    const char* text;
  } cases[] = {
      {zydSignedInt64, [](TZyDatabaseParam& p) { p.IntegerSet(zydFloat8, 1); },
       "TZyDatabaseParam.IntegerSet", "The 'P' parameter cannot be converted from Float8 to SignedInt64"},
      {zydByte, [](TZyDatabaseParam& p) { p.IntegerSet(zydString, 1); },
       "TZyDatabaseParam.IntegerSet", "The 'P' parameter cannot be converted from String to Byte"},
      {zydFloat8, [](TZyDatabaseParam& p) { p.FloatSet(zydSignedInt32, 1); },
       "TZyDatabaseParam.FloatSet", "The 'P' parameter cannot be converted from SignedInt32 to Float8"},
      {zydByte, [](TZyDatabaseParam& p) { p.FloatSet(zydCurrency, 1); },
       "TZyDatabaseParam.FloatSet", "The 'P' parameter cannot be converted from Currency to Byte"},
  };
  for (const Case& c : cases) {
    Bound b = Bind(c.column, 10);
    ExpectZyError([&] { c.apply(*b.param); }, 0x80000800, c.method, c.text);
    EXPECT_TRUE(b.param->NullGet());
  }
}

// ---- Byte columns ---------------------------------------------------------------------------

// A raw value wider than the Byte column is refused; one that fits is stored at the start of the
// buffer, the rest cleared, and tagged with the value's type.
TEST(ParamByte, RawValueLengthAgainstTheColumn) {
  struct Case {
    const char* label;
    uint64_t size;
    std::function<void(TZyDatabaseParam&)> apply;
    const char* method;
    const char* error;  // nullptr: accepted
    const char* hex;    // accepted: the column's bytes
    TZyDatabaseColumnTypes tag;
  } cases[] = {
      {"SignedInt32Set(7), 2 bytes", 2, [](TZyDatabaseParam& p) { p.SignedInt32Set(7); },
       "TZyDatabaseParam.IntegerSet",
       "The 'P' parameter has a length of 2 bytes, but the assigned SignedInt32 value has a "
       "length of 4 bytes.",
       nullptr, zydSignedInt64},
      {"SignedInt32Set(7), 4 bytes", 4, [](TZyDatabaseParam& p) { p.SignedInt32Set(7); },
       "TZyDatabaseParam.IntegerSet", nullptr, "07000000", zydSignedInt32},
      {"SignedInt64Set, 7 bytes", 7, [](TZyDatabaseParam& p) { p.SignedInt64Set(1); },
       "TZyDatabaseParam.IntegerSet",
       "The 'P' parameter has a length of 7 bytes, but the assigned SignedInt64 value has a "
       "length of 8 bytes.",
       nullptr, zydSignedInt64},
      {"UnsignedInt16Set, 1 byte", 1, [](TZyDatabaseParam& p) { p.UnsignedInt16Set(1); },
       "TZyDatabaseParam.IntegerSet",
       "The 'P' parameter has a length of 1 bytes, but the assigned UnsignedInt16 value has a "
       "length of 2 bytes.",
       nullptr, zydSignedInt64},
      {"UnsignedInt8Set, 1 byte", 1, [](TZyDatabaseParam& p) { p.UnsignedInt8Set(0x7F); },
       "TZyDatabaseParam.IntegerSet", nullptr, "7F", zydUnsignedInt8},
      {"Float4Set, 3 bytes", 3, [](TZyDatabaseParam& p) { p.Float4Set(1); },
       "TZyDatabaseParam.FloatSet",
       "The 'P' parameter has a length of 3 bytes, but the assigned Float4 value has a length "
       "of 4 bytes.",
       nullptr, zydSignedInt64},
      {"Float8Set, 7 bytes", 7, [](TZyDatabaseParam& p) { p.Float8Set(1); },
       "TZyDatabaseParam.FloatSet",
       "The 'P' parameter has a length of 7 bytes, but the assigned Float8 value has a length "
       "of 8 bytes.",
       nullptr, zydSignedInt64},
      {"Float10Set, 9 bytes", 9, [](TZyDatabaseParam& p) { p.Float10Set(1); },
       "TZyDatabaseParam.FloatSet",
       "The 'P' parameter has a length of 9 bytes, but the assigned Float10 value has a length "
       "of 10 bytes.",
       nullptr, zydSignedInt64},
      {"BooleanSet, 0 bytes", 0, [](TZyDatabaseParam& p) { p.BooleanSet(false); },
       "TZyDatabaseParam.BooleanSet",
       "The 'P' parameter has a length of 0 bytes, but the assigned Boolean value has a length "
       "of 1 bytes.",
       nullptr, zydSignedInt64},
      {"BooleanSet(false), 1 byte", 1, [](TZyDatabaseParam& p) { p.BooleanSet(false); },
       "TZyDatabaseParam.BooleanSet", nullptr, "00", zydBoolean},
      {"CurrencySet, 7 bytes", 7, [](TZyDatabaseParam& p) { p.CurrencySet(Currency()); },
       "TZyDatabaseParam.CurrencySet",
       "The 'P' parameter has a length of 7 bytes, but the assigned Currency value has a "
       "length of 8 bytes.",
       nullptr, zydSignedInt64},
      {"DateTimeSet, 7 bytes", 7, [](TZyDatabaseParam& p) { p.DateTimeSet(1); },
       "TZyDatabaseParam.DateTimeSet",
       "The 'P' parameter has a length of 7 bytes, but the assigned DateTime value has a "
       "length of 8 bytes.",
       nullptr, zydSignedInt64},
      {"DateTimeSet(2.5), 8 bytes", 8, [](TZyDatabaseParam& p) { p.DateTimeSet(2.5); },
       "TZyDatabaseParam.DateTimeSet", nullptr, "0000000000000440", zydDateTime},
      // A null pointer is a value of no bytes.
      {"ByteSet(nullptr)", 3, [](TZyDatabaseParam& p) { p.ByteSet(nullptr); },
       "TZyDatabaseParam.ByteSet",
       "The 'P' parameter has a length of 3 bytes, but the assigned Byte value has a length of "
       "0 bytes.",
       nullptr, zydSignedInt64},
      {"ByteSet copies the column's size", 3, [](TZyDatabaseParam& p) { p.ByteSet(kTenBytes); },
       "TZyDatabaseParam.ByteSet", nullptr, "010203", zydByte},
      // Hexadecimal text decoding to more bytes than the column holds.
      {"ByteStringSet(000102), 2 bytes", 2,
       [](TZyDatabaseParam& p) { p.ByteStringSet("000102"); }, "TZyDatabaseParam.ByteStringSet",
       "The 'P' parameter has a length of 2 bytes, but the assigned Byte value has a length of "
       "3 bytes.",
       nullptr, zydSignedInt64},
      {"ByteStringSet(ABCDE), 2 bytes", 2, [](TZyDatabaseParam& p) { p.ByteStringSet("ABCDE"); },
       "TZyDatabaseParam.ByteStringSet", nullptr, "ABCD", zydByte},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Bound b = Bind(zydByte, c.size);
    std::memset(b.Data(), 0xA5, b.criteria->DataCapacityGet());
    if (c.error) {
      ExpectZyError([&] { c.apply(*b.param); }, 0x80000801, c.method, c.error);
      EXPECT_TRUE(b.param->NullGet());
      EXPECT_EQ(b.criteria->DataTypeGet(), zydSignedInt64);
      for (size_t i = 0; i < b.criteria->DataCapacityGet(); ++i)
        ASSERT_EQ(b.Data()[i], 0xA5) << "byte " << i;
    } else {
      c.apply(*b.param);
      EXPECT_FALSE(b.param->NullGet());
      EXPECT_EQ(Hex(b.Data(), c.size), c.hex);
      EXPECT_EQ(b.criteria->DataTypeGet(), c.tag);
      EXPECT_EQ(b.criteria->DataSizeGet(), static_cast<int64_t>(c.size));
    }
  }
}

TEST(ParamByte, ByteStringDecoding) {
  struct Case {
    const char* text;
    const char* hex;  // the column's 8 bytes
  } cases[] = {
      {"0aFF", "00FF000000000000"},  // lower-case digits are not digits: the pair gives 0
      {"A", "0000000000000000"},     // a last single character is ignored
      {"", "0000000000000000"},
      {"0123456789ABCDEF", "0123456789ABCDEF"},
      {"7F8", "7F00000000000000"},
      {"FFG0 1-1", "FF00000000000000"},  // G, a blank and a sign are no digits
      {"0x10", "0010000000000000"},       // no prefix either: "0x" gives 0, then "10"
      {"\xC3\xA9" "01", "0001000000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Bound b = Bind(zydByte, 8);
    b.param->ByteStringSet("FFFFFFFFFFFFFFFF");  // cleared by the next value
    b.param->ByteStringSet(c.text);
    EXPECT_EQ(Hex(b.Data(), 8), c.hex);
    EXPECT_EQ(b.criteria->DataSizeGet(), 8);
    EXPECT_EQ(b.criteria->DataTypeGet(), zydByte);
    EXPECT_FALSE(b.param->NullGet());
  }
}

// One Byte parameter set in turn by different setters: the tag always names the last value's
// type, and no byte of a wider earlier value survives a narrower later one.
TEST(ParamByte, TagFollowsTheLastValue) {
  Bound b = Bind(zydByte, 10);
  b.param->Float10Set(-2);
  EXPECT_EQ(b.criteria->DataTypeGet(), zydFloat10);
  EXPECT_EQ(Hex(b.Data(), 10), "000000000000008000C0");
  b.param->UnsignedInt16Set(0xBEEF);
  EXPECT_EQ(b.criteria->DataTypeGet(), zydUnsignedInt16);
  EXPECT_EQ(Hex(b.Data(), 10), "EFBE0000000000000000");
  b.param->StringSet("hi");
  EXPECT_EQ(b.criteria->DataTypeGet(), zydString);
  EXPECT_EQ(b.criteria->DataSizeGet(), 2);
  EXPECT_EQ(Hex(b.Data(), 11), "6869000000000000000000");
  b.param->ByteSet(kTenBytes);
  EXPECT_EQ(b.criteria->DataTypeGet(), zydByte);
  b.param->CurrencySet(Currency::FromRaw(-1));
  EXPECT_EQ(b.criteria->DataTypeGet(), zydCurrency);
  EXPECT_EQ(Hex(b.Data(), 10), "FFFFFFFFFFFFFFFF0000");
  EXPECT_EQ(b.criteria->DataSizeGet(), 10);
}

// ---- References -----------------------------------------------------------------------------

namespace {
template <class T, class = void>
struct CanTextSet : std::false_type {};
template <class T>
struct CanTextSet<T, std::void_t<decltype(std::declval<TZyDatabaseParam&>().TextSet(
                         std::declval<T>()))>> : std::true_type {};
}  // namespace

// A temporary text would be gone before the statement runs, so TextSet does not take one.
static_assert(CanTextSet<std::string&>::value, "a named text is taken");
static_assert(CanTextSet<const std::string&>::value, "a named text is taken");
static_assert(CanTextSet<const char*>::value, "characters are taken");
static_assert(!CanTextSet<std::string>::value, "a temporary text is refused");

TEST(ParamReference, TextIsReferencedNotCopied) {
  Bound b = Bind(zydText);
  std::string text = "first text";
  b.param->TextSet(text);
  EXPECT_FALSE(b.param->NullGet());
  EXPECT_EQ(b.criteria->DataSizeGet(), 4);
  const char* ref = TZyDatabaseParam::TextReferenceGet(*b.criteria);
  EXPECT_EQ(ref, text.c_str());
  text[0] = 'F';  // changed in place: the parameter sees the change
  EXPECT_STREQ(TZyDatabaseParam::TextReferenceGet(*b.criteria), "First text");

  b.param->TextSet("a literal");
  EXPECT_STREQ(TZyDatabaseParam::TextReferenceGet(*b.criteria), "a literal");
  b.param->TextSet(static_cast<const char*>(nullptr));  // no characters: the empty text
  ASSERT_NE(TZyDatabaseParam::TextReferenceGet(*b.criteria), nullptr);
  EXPECT_STREQ(TZyDatabaseParam::TextReferenceGet(*b.criteria), "");
  EXPECT_FALSE(b.param->NullGet());
}

TEST(ParamReference, BinaryIsReferencedNotCopied) {
  Bound b = Bind(zydBinary);
  EXPECT_EQ(TZyDatabaseParam::BinaryReferenceGet(*b.criteria), nullptr);  // nothing set yet
  zyfw::TMemoryStream stream;
  b.param->BinarySet(stream);
  EXPECT_FALSE(b.param->NullGet());
  EXPECT_EQ(b.criteria->DataSizeGet(), 4);
  // Written after the call: the statement reads the stream as it is when it runs.
  stream.WriteBuffer("\x01\x02\x03", 3);
  zyfw::TStream* ref = TZyDatabaseParam::BinaryReferenceGet(*b.criteria);
  ASSERT_EQ(ref, &stream);
  ref->PositionSet(0);
  uint8_t bytes[3];
  ref->ReadBuffer(bytes, 3);
  EXPECT_EQ(Hex(bytes, 3), "010203");
}

TEST(ParamReference, ReferenceSettersRefuseOtherColumns) {
  Bound text = Bind(zydText);
  zyfw::TMemoryStream stream;
  ExpectZyError([&] { text.param->BinarySet(stream); }, 0x80000800,
                "TZyDatabaseParam.DateTimeSet", ConvertText("Binary", "Text"));
  ExpectZyError([&] { text.param->StringSet("x"); }, 0x80000800, "TZyDatabaseParam.DateTimeSet",
                ConvertText("String", "Text"));
  Bound bin = Bind(zydBinary);
  ExpectZyError([&] { bin.param->TextSet("x"); }, 0x80000800, "TZyDatabaseParam.DateTimeSet",
                ConvertText("Text", "Binary"));
  ExpectZyError([&] { bin.param->ByteStringSet("00"); }, 0x80000800,
                "TZyDatabaseParam.ByteStringSet", ConvertText("Byte", "Binary"));
  EXPECT_TRUE(text.param->NullGet());
  EXPECT_TRUE(bin.param->NullGet());
}

// ---- Null state -----------------------------------------------------------------------------

TEST(ParamNull, NullUntilSetAndNullSetKeepsTheValue) {
  Bound b = Bind(zydSignedInt32);
  EXPECT_TRUE(b.param->NullGet());
  EXPECT_TRUE(b.criteria->IsNullGet());
  b.param->SignedInt32Set(1234);
  EXPECT_FALSE(b.param->NullGet());
  b.param->NullSet(true);
  EXPECT_TRUE(b.param->NullGet());
  EXPECT_TRUE(b.criteria->IsNullGet());
  EXPECT_EQ(Hex(b.Data(), 4), "D2040000");  // the buffer keeps its contents
  b.param->NullSet(false);
  EXPECT_FALSE(b.param->NullGet());
  EXPECT_EQ(Hex(b.Data(), 4), "D2040000");
  EXPECT_EQ(b.criteria->DataSizeGet(), 4);
  // A setter after NullSet(true) makes the value present again.
  b.param->NullSet(true);
  b.param->SignedInt32Set(-1);
  EXPECT_FALSE(b.param->NullGet());
  EXPECT_EQ(Hex(b.Data(), 4), "FFFFFFFF");
}

// A refused value changes neither the value nor the null state, whichever of the two errors
// refuses it.
TEST(ParamNull, RefusalLeavesTheValueAndTheNullState) {
  Bound b = Bind(zydSignedInt32);
  b.param->SignedInt32Set(5);
  EXPECT_THROW(b.param->BooleanSet(true), EZyException);
  EXPECT_THROW(b.param->StringSet("6"), EZyException);
  EXPECT_FALSE(b.param->NullGet());
  EXPECT_EQ(Hex(b.Data(), 4), "05000000");
  EXPECT_EQ(b.criteria->DataSizeGet(), 4);
  b.param->NullSet(true);
  EXPECT_THROW(b.param->Float8Set(6), EZyException);
  EXPECT_TRUE(b.param->NullGet());

  Bound raw = Bind(zydByte, 2);
  raw.param->SignedInt16Set(0x0102);
  EXPECT_THROW(raw.param->SignedInt32Set(7), EZyException);
  EXPECT_THROW(raw.param->ByteStringSet("AABBCC"), EZyException);
  EXPECT_FALSE(raw.param->NullGet());
  EXPECT_EQ(Hex(raw.Data(), 2), "0201");
  EXPECT_EQ(raw.criteria->DataTypeGet(), zydSignedInt16);
}

// ---- Variants -------------------------------------------------------------------------------

TEST(ParamVariant, ConvertedByTheColumnsCategory) {
  struct Case {
    const char* label;
    TZyDatabaseColumnTypes type;
    uint64_t size;
    Variant value;
    const char* hex;        // stored bytes; nullptr: the framework's error below
    int64_t dataSize;
    const char* errorClass;
  } cases[] = {
      {"text to SignedInt16", zydSignedInt16, 0, Variant("123"), "7B00", 2, nullptr},
      {"negative integer", zydSignedInt64, 0, Variant(-5), "FBFFFFFFFFFFFFFF", 8, nullptr},
      {"float rounded half to even", zydSignedInt32, 0, Variant(2.5), "02000000", 4, nullptr},
      {"beyond 32 bits", zydSignedInt64, 0, Variant(5000000000LL), nullptr, 0, "EVariantError"},
      {"text to Float8", zydFloat8, 0, Variant("1.5"), "000000000000F83F", 8, nullptr},
      {"text to Boolean", zydBoolean, 0, Variant("TRUE"), "01", 1, nullptr},
      {"zero to Boolean", zydBoolean, 0, Variant(0), "00", 1, nullptr},
      {"float to Currency", zydCurrency, 0, Variant(1.5), "983A000000000000", 8, nullptr},
      {"date text", zydDateTime, 0, Variant("01/02/2000"), "00000000E0D5E140", 8, nullptr},
      {"date and time", zydDateTime, 0, Variant::FromDateTime(36527.25), "00000000E8D5E140", 8,
       nullptr},
      // A date travels as text, and a plain number is no date text.
      {"number to DateTime", zydDateTime, 0, Variant(2.5), nullptr, 0, "EConvertError"},
      {"number to String, cut", zydString, 4, Variant(12345), "3132333400", 4, nullptr},
      {"Boolean to String", zydString, 5, Variant(true), "5472756500", 4, nullptr},
      {"null variant", zydSignedInt32, 0, Variant::Null(), nullptr, 0, "EVariantError"},
      {"null variant to String", zydString, 5, Variant::Null(), nullptr, 0, "EVariantError"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Bound b = Bind(c.type, c.size);
    if (c.hex) {
      b.param->VariantSet(c.value);
      EXPECT_FALSE(b.param->NullGet());
      EXPECT_EQ(Hex(b.Data(), std::strlen(c.hex) / 2), c.hex);
      EXPECT_EQ(b.criteria->DataSizeGet(), c.dataSize);
    } else {
      try {
        b.param->VariantSet(c.value);
        ADD_FAILURE() << "no error";
      } catch (const zyfw::Exception& e) {
        EXPECT_STREQ(e.ClassName(), c.errorClass);
      }
      EXPECT_TRUE(b.param->NullGet());
    }
  }
}

// Byte, Text and Binary columns have no variant form: the call changes nothing, even for a null
// variant.
TEST(ParamVariant, ByteTextAndBinaryColumnsAreLeftAlone) {
  for (TZyDatabaseColumnTypes type : {zydByte, zydText, zydBinary}) {
    Bound b = Bind(type, 4);
    std::memset(b.Data(), 0xA5, b.criteria->DataCapacityGet());
    b.param->VariantSet(Variant("00"));
    b.param->VariantSet(Variant::Null());
    EXPECT_TRUE(b.param->NullGet()) << zydColumnTypeGetName(type);
    EXPECT_EQ(b.Data()[0], 0xA5);
  }
}

// ---- Creation and the statement's list ------------------------------------------------------

TEST(ParamCreate, TakesTheColumnsFactsAndKeepsTheBindingBuffer) {
  Bound b = Bind(zydString, 12, ":CustName", true, zydColumnNullable);
  EXPECT_EQ(b.param->NameGet(), "CustName");  // without the colon, in the case written
  EXPECT_EQ(b.param->ColumnTypeGet(), zydString);
  EXPECT_EQ(b.param->CategoryGet(), zydCategoryString);
  EXPECT_EQ(b.param->SizeGet(), 12u);
  EXPECT_TRUE(b.param->AllowNullGet());
  EXPECT_EQ(b.param->CriteriaGet(), b.criteria.get());
  EXPECT_TRUE(b.param->NullGet());

  // The buffer validation allocated stays; the parameter writes into it.
  auto column = std::make_unique<TZyDatabaseColumn>("C", zydCurrency, nullptr, 0, 0);
  auto criteria = TZyDatabaseParsedCriteria::MakeValue(zydLogicAnd, "C", "", zydFieldOpLessThan,
                                                       ":amount", false);
  uint8_t* buffer = criteria->DataAllocate(9);
  TZyDatabaseParam param(*criteria, *column);
  EXPECT_EQ(criteria->DataGet(), buffer);
  EXPECT_FALSE(param.AllowNullGet());
  EXPECT_EQ(param.CategoryGet(), zydCategoryCurrency);
  EXPECT_EQ(param.SizeGet(), 8u);
  param.CurrencySet(Currency::FromRaw(7));
  EXPECT_EQ(Hex(buffer, 8), "0700000000000000");
}

// A criterion handed over without a buffer (or with one too small) gets one of the column's
// size + 1 bytes, so every setter stays inside it.
TEST(ParamCreate, AllocatesAMissingBuffer) {
  Bound s = Bind(zydString, 20, ":s", false);
  ASSERT_NE(s.Data(), nullptr);
  EXPECT_GE(s.criteria->DataCapacityGet(), 21u);
  s.param->StringSet(std::string(30, 'x'));
  EXPECT_EQ(s.criteria->DataSizeGet(), 20);
  EXPECT_EQ(s.Data()[20], 0);

  auto column = std::make_unique<TZyDatabaseColumn>("B", zydByte, nullptr, 0, 16);
  auto criteria = TZyDatabaseParsedCriteria::MakeValue(zydLogicNone, "B", "", zydFieldOpEqualTo,
                                                       ":b", false);
  criteria->DataAllocate(2);
  TZyDatabaseParam param(*criteria, *column);
  EXPECT_GE(criteria->DataCapacityGet(), 17u);
  param.ByteStringSet("00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(Hex(criteria->DataGet(), 16), "00112233445566778899AABBCCDDEEFF");
}

namespace {
std::unique_ptr<TZyDatabaseParsedSQL> ParseText(const std::string& text) {
  TZyLexSQL lex;
  lex.Input.TextSet(text);
  while (lex.yylex() != 0) {
  }
  return zydParser(lex.Tokens);
}

// Binds a parameter criterion as validation does and adds its parameter to the statement.
TZyDatabaseParam* AddParam(TZyDatabaseParsedSQL& statement, TZyDatabaseParsedCriteria& criteria,
                           const TZyDatabaseColumn& column) {
  criteria.DataAllocate(column.SizeGet() + 1);
  return statement.ParamsGet().Add(std::make_unique<TZyDatabaseParam>(criteria, column));
}
}  // namespace

TEST(ParamCreate, FromAParsedStatement) {
  TZyDatabaseColumn a("A", zydSignedInt32, nullptr, 0, 0);
  std::unique_ptr<TZyDatabaseParsedSQL> s = ParseText("SELECT * FROM t WHERE a = :Id");
  TZyDatabaseParsedCriteria* c = s->WhereCriteriaGet().Get(0);
  ASSERT_TRUE(c->IsParamGet());
  TZyDatabaseParam* p = AddParam(*s, *c, a);
  EXPECT_EQ(p->NameGet(), "Id");
  EXPECT_TRUE(p->NullGet());
  // Found by name without regard to case, as ParamByName looks it up.
  EXPECT_EQ(s->ParamsGet().Find("ID"), p);
  EXPECT_EQ(s->ParamsGet().Find("id"), p);
  EXPECT_EQ(s->ParamsGet().Find("Idx"), nullptr);
  EXPECT_EQ(s->ParamsGet().Get(0), p);
  p->SignedInt32Set(42);
  EXPECT_EQ(c->DataGet()[0], 42);
  EXPECT_FALSE(c->IsNullGet());
}  // the statement frees its parameters with it

TEST(ParamCreate, ANameOnlyOncePerStatement) {
  TZyDatabaseColumn col("A", zydSignedInt32, nullptr, 0, 0);
  std::unique_ptr<TZyDatabaseParsedSQL> s =
      ParseText("UPDATE t SET a = :v WHERE b = :w OR c = :V");
  AddParam(*s, *s->SetCriteriaGet().Get(0), col);
  AddParam(*s, *s->WhereCriteriaGet().Get(0), col);
  ExpectZyError([&] { AddParam(*s, *s->WhereCriteriaGet().Get(1), col); }, 0x80000102,
                "TZyDatabaseGenericList.Add", "That name has already been used");
  ASSERT_EQ(s->ParamsGet().CountGet(), 2);
  EXPECT_EQ(s->ParamsGet().Get(0)->NameGet(), "v");
  EXPECT_EQ(s->ParamsGet().Get(1)->NameGet(), "w");
}
