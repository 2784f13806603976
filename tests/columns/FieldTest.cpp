// Field values: loading through SysDataSet, the conversion matrix of the readers, display texts,
// byte columns with stored type tags, and the field list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyException.h"
#include "engine/table/ZyDatabaseColumn.h"
#include "engine/table/ZyDatabaseField.h"
#include "platform/framework/Convert.h"
#include "platform/framework/DateTime.h"
#include "platform/framework/Exception.h"

namespace {

template <typename F>
std::string Raised(F f) {
  try {
    f();
  } catch (const EZyException& e) {
    return zyfw::IntToHex(e.CodeGet(0), 8) + "|" + e.ModuleGet(0) + "|" + e.MethodGet(0) + "|" +
           e.TextGet(0) + (e.DetailsGet(0).empty() ? "" : "|" + e.DetailsGet(0));
  }
  return "";
}

template <typename T>
std::vector<uint8_t> Raw(T value, size_t size = sizeof(T)) {
  std::vector<uint8_t> v(size, 0);
  std::memcpy(v.data(), &value, std::min(size, sizeof(T)));
  return v;
}

std::vector<uint8_t> Float10(long double value) {
  std::vector<uint8_t> v(10);
  zyfw::Float10ToBytes(value, v.data());
  return v;
}

// A string value as a row delivers it: the characters, then zeros up to the column size + 1.
std::vector<uint8_t> Text(const std::string& s, size_t columnSize) {
  std::vector<uint8_t> v(columnSize + 1, 0);
  std::memcpy(v.data(), s.data(), std::min(s.size(), columnSize));
  return v;
}

// One value as the cursor hands it over: the column it comes from and the bytes and type tag.
struct Held {
  const char* label;
  TZyDatabaseColumnTypes columnType;
  uint64_t columnSize;
  TZyDatabaseColumnTypes valueType;
  std::vector<uint8_t> bytes;
  bool isNull;
};

// Owns the columns a test's fields refer to.
class FieldFixture : public ::testing::Test {
 protected:
  // A field named F for a fresh column, loaded with held.
  TZyDatabaseField* Load(const Held& held) {
    auto column = std::make_unique<TZyDatabaseColumn>("F", held.columnType, nullptr,
                                                      zydColumnNullable, held.columnSize);
    fields_.push_back(std::make_unique<TZyDatabaseField>(nullptr, column.get()));
    columns_.push_back(std::move(column));
    TZyDatabaseField* field = fields_.back().get();
    field->SysDataSet(zydSysKey, held.bytes.data(), held.isNull, held.valueType);
    return field;
  }

 private:
  std::vector<std::unique_ptr<TZyDatabaseColumn>> columns_;
  std::vector<std::unique_ptr<TZyDatabaseField>> fields_;
};

using FieldValues = FieldFixture;

// Each reader against each kind of held value. A cell is the reader's result as text, or "!"
// when the reader must raise the conversion error, whose text is then checked in full.
TEST_F(FieldValues, ConversionMatrix) {
  const zyfw::TDateTime when = zyfw::EncodeDate(2001, 4, 19) + 0.25;
  const struct {
    Held held;
    const char* asInt;
    const char* asFloat;
    const char* asCurrency;
    const char* asDateTime;
    const char* asBoolean;
    const char* asString;
  } cases[] = {
      {{"SignedInt64", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(-7), false},
       "-7", "-7", "-7", "!", "true", "-7"},
      {{"SignedInt64 zero", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(0), false},
       "0", "0", "0", "!", "false", "0"},
      {{"SignedInt8 -1", zydSignedInt8, 0, zydSignedInt8, Raw<int8_t>(-1), false},
       "-1", "-1", "-1", "!", "true", "-1"},
      {{"UnsignedInt8 255", zydUnsignedInt8, 0, zydUnsignedInt8, Raw<uint8_t>(255), false},
       "255", "255", "255", "!", "true", "255"},
      {{"UnsignedInt32 max", zydUnsignedInt32, 0, zydUnsignedInt32, Raw<uint32_t>(4294967295u), false},
       "4294967295", "4294967295", "4294967295", "!", "true", "4294967295"},
      {{"SignedInt16 min", zydSignedInt16, 0, zydSignedInt16, Raw<int16_t>(-32768), false},
       "-32768", "-32768", "-32768", "!", "true", "-32768"},
      {{"SignedInt64 too big for currency", zydSignedInt64, 0, zydSignedInt64,
        Raw<int64_t>(1000000000000000), false},
       "1000000000000000", "1E15", "!", "!", "true", "1000000000000000"},
      {{"Float8 2.5", zydFloat8, 0, zydFloat8, Raw<double>(2.5), false},
       "2", "2.5", "2.5", "!", "!", "2.5"},
      {{"Float8 3.5", zydFloat8, 0, zydFloat8, Raw<double>(3.5), false},
       "4", "3.5", "3.5", "!", "!", "3.5"},
      {{"Float8 -0.00016", zydFloat8, 0, zydFloat8, Raw<double>(-0.00016), false},
       "0", "-0.00016", "-0.0002", "!", "!", "-0.00016"},
      {{"Float4 0.1", zydFloat4, 0, zydFloat4, Raw<float>(0.1f), false},
       "0", "0.100000001490116", "0.1", "!", "!", "0.100000001490116"},
      {{"Float10 1/3", zydFloat10, 0, zydFloat10, Float10(1.0L / 3), false},
       "0", "0.333333333333333", "0.3333", "!", "!", "0.333333333333333"},
      {{"Float8 1e20", zydFloat8, 0, zydFloat8, Raw<double>(1e20), false},
       "!", "1E20", "!", "!", "!", "1E20"},
      {{"Float8 NaN", zydFloat8, 0, zydFloat8, Raw<double>(std::nan("")), false},
       "!", "NAN", "!", "!", "!", "NAN"},
      {{"Boolean true", zydBoolean, 0, zydBoolean, Raw<uint8_t>(1), false},
       "1", "!", "!", "!", "true", "Y"},
      {{"Boolean false", zydBoolean, 0, zydBoolean, Raw<uint8_t>(0), false},
       "0", "!", "!", "!", "false", "N"},
      {{"Boolean byte 2", zydBoolean, 0, zydBoolean, Raw<uint8_t>(2), false},
       "1", "!", "!", "!", "true", "N"},
      {{"Currency 1.2345", zydCurrency, 0, zydCurrency, Raw<int64_t>(12345), false},
       "!", "1.2345", "1.2345", "!", "!", "1.2345"},
      {{"Currency -2", zydCurrency, 0, zydCurrency, Raw<int64_t>(-20000), false},
       "!", "-2", "-2", "!", "!", "-2"},
      {{"DateTime", zydDateTime, 0, zydDateTime, Raw<double>(when), false},
       "!", "!", "!", "37000.25", "!", "04/19/2001 06:00:00"},
      {{"String 12abc", zydString, 10, zydString, Text("12abc", 10), false},
       "0", "0", "0", "!", "false", "12abc"},
      {{"String 42", zydString, 10, zydString, Text("42", 10), false},
       "42", "42", "42", "!", "false", "42"},
      {{"String -2.5", zydString, 10, zydString, Text("-2.5", 10), false},
       "0", "-2.5", "-2.5", "!", "false", "-2.5"},
      {{"String yes", zydString, 10, zydString, Text("yEs", 10), false},
       "0", "0", "0", "!", "true", "yEs"},
      {{"String blank yes", zydString, 10, zydString, Text(" yes", 10), false},
       "0", "0", "0", "!", "false", " yes"},
      {{"String T", zydString, 10, zydString, Text("t", 10), false},
       "0", "0", "0", "!", "true", "t"},
      {{"String date", zydString, 10, zydString, Text("04/19/2001", 10), false},
       "0", "0", "0", "!", "false", "04/19/2001"},
      {{"Byte", zydByte, 4, zydByte, {0x01, 0x02, 0x00, 0x00}, false},
       "!", "!", "!", "!", "!", "0102"},
      {{"Byte tagged SignedInt32", zydByte, 4, zydSignedInt32, Raw<int32_t>(-2), false},
       "-2", "-2", "-2", "!", "true", "-2"},
      {{"Byte tagged String", zydByte, 6, zydString, {'a', 'b', 'c', 0, 'x', 'y'}, false},
       "0", "0", "0", "!", "false", "abc"},
      {{"Byte tagged Boolean", zydByte, 2, zydBoolean, {1, 0}, false},
       "1", "!", "!", "!", "true", "Y"},
      {{"Byte tagged DateTime", zydByte, 8, zydDateTime, Raw<double>(when), false},
       "!", "!", "!", "37000.25", "!", "04/19/2001 06:00:00"},
      {{"Text", zydText, 0, zydText, Raw<uint64_t>(0xA10000BEEF), false},
       "!", "!", "!", "!", "!", ""},
      {{"Binary", zydBinary, 0, zydBinary, Raw<uint64_t>(0xA10000BEEF), false},
       "!", "!", "!", "!", "!", ""},
      {{"null SignedInt64", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(5), true},
       "0", "0", "0", "0", "false", ""},
      {{"null DateTime", zydDateTime, 0, zydDateTime, Raw<double>(when), true},
       "0", "0", "0", "0", "false", ""},
      {{"null Text", zydText, 0, zydText, Raw<uint64_t>(1), true},
       "0", "0", "0", "0", "false", ""},
  };
  struct Reader {
    const char* method;
    const char* target;
  };
  const Reader readers[] = {{"TZyDatabaseField.AsInteger", "Integer"},
                            {"TZyDatabaseField.AsFloat10", "Float"},
                            {"TZyDatabaseField.AsCurrency", "Currency"},
                            {"TZyDatabaseField.AsDateTime", "DateTime"},
                            {"TZyDatabaseField.AsBoolean", "Boolean"},
                            {"", ""}};
  for (const auto& c : cases) {
    TZyDatabaseField* f = Load(c.held);
    const std::string expected[] = {c.asInt,     c.asFloat,   c.asCurrency,
                                    c.asDateTime, c.asBoolean, c.asString};
    for (int r = 0; r < 6; ++r) {
      std::string got;
      const std::string error = Raised([&] {
        switch (r) {
          case 0: got = zyfw::IntToStr(f->AsSignedInt64()); break;
          case 1: got = zyfw::FloatToStr(f->AsFloat10()); break;
          case 2: got = zyfw::CurrToStr(f->AsCurrency()); break;
          case 3: got = zyfw::FloatToStr(f->AsDateTime()); break;
          case 4: got = f->AsBoolean() ? "true" : "false"; break;
          default: got = f->AsString(); break;
        }
      });
      if (expected[r] == "!") {
        // Only the first line of the error is compared: out-of-range values add details.
        const std::string head = "80000601|ZyDatabase|" + std::string(readers[r].method) +
                                 "|The field 'F' is of type " +
                                 zydColumnTypeGetName(c.held.columnType) +
                                 " and may not be converted to type " + readers[r].target;
        EXPECT_EQ(error.substr(0, head.size()), head) << c.held.label << ", reader " << r;
      } else {
        EXPECT_EQ(error, "") << c.held.label << ", reader " << r;
        EXPECT_EQ(got, expected[r]) << c.held.label << ", reader " << r;
      }
    }
  }
}

TEST_F(FieldValues, OutOfRangeValuesSayWhyInTheDetails) {
  TZyDatabaseField* f = Load({"", zydFloat8, 0, zydFloat8, Raw<double>(1e20), false});
  EXPECT_EQ(Raised([&] { f->AsSignedInt64(); }),
            "80000601|ZyDatabase|TZyDatabaseField.AsInteger|"
            "The field 'F' is of type Float8 and may not be converted to type Integer|"
            "The value 1E20 is outside the range of Integer");
  TZyDatabaseField* d = Load({"", zydDateTime, 0, zydDateTime, Raw<double>(1), false});
  EXPECT_EQ(Raised([&] { d->AsCurrency(); }),
            "80000601|ZyDatabase|TZyDatabaseField.AsCurrency|"
            "The field 'F' is of type DateTime and may not be converted to type Currency");
}

TEST_F(FieldValues, NarrowReadersKeepTheLowBits) {
  TZyDatabaseField* f = Load({"", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(300), false});
  EXPECT_EQ(f->AsUnsignedInt8(), 44);
  EXPECT_EQ(f->AsSignedInt8(), 44);
  EXPECT_EQ(f->AsSignedInt16(), 300);
  TZyDatabaseField* g = Load({"", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(-1), false});
  EXPECT_EQ(g->AsUnsignedInt16(), 65535);
  EXPECT_EQ(g->AsUnsignedInt32(), 4294967295u);
  TZyDatabaseField* h =
      Load({"", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(0x100000001), false});
  EXPECT_EQ(h->AsSignedInt32(), 1);
  TZyDatabaseField* x = Load({"", zydFloat10, 0, zydFloat10, Float10(1.0L + 3 * 0x1p-54L), false});
  EXPECT_EQ(x->AsFloat8(), 1.0 + 0x1p-52);  // rounded to nearest, not cut
  EXPECT_EQ(x->AsFloat4(), 1.0f);
  EXPECT_EQ(x->AsFloat10(), 1.0L + 3 * 0x1p-54L);
  TZyDatabaseField* b = Load({"", zydBoolean, 0, zydBoolean, Raw<uint8_t>(1), false});
  EXPECT_EQ(b->AsSignedInt16(), 1);
}

TEST_F(FieldValues, DisplayTexts) {
  const zyfw::TDateTime day = zyfw::EncodeDate(2024, 2, 29);
  const struct {
    Held held;
    const char* text;
  } cases[] = {
      {{"midnight", zydDateTime, 0, zydDateTime, Raw<double>(day), false}, "02/29/2024"},
      {{"day 0 at midnight", zydDateTime, 0, zydDateTime, Raw<double>(0.0), false}, "12/30/1899"},
      {{"time only", zydDateTime, 0, zydDateTime, Raw<double>(zyfw::EncodeTime(13, 5, 9, 0)), false},
       "13:05:09"},
      {{"date and time", zydDateTime, 0, zydDateTime,
        Raw<double>(day + zyfw::EncodeTime(23, 59, 59, 0)), false},
       "02/29/2024 23:59:59"},
      {{"before 1899", zydDateTime, 0, zydDateTime, Raw<double>(-1.75), false},
       "12/29/1899 18:00:00"},
      {{"15 digits", zydFloat8, 0, zydFloat8, Raw<double>(3.14159265358979), false},
       "3.14159265358979"},
      {{"float rounding", zydFloat8, 0, zydFloat8, Raw<double>(0.1 + 0.2), false}, "0.3"},
      {{"small float", zydFloat10, 0, zydFloat10, Float10(0.000015L), false}, "1.5E-5"},
      {{"whole float", zydFloat4, 0, zydFloat4, Raw<float>(100.0f), false}, "100"},
      {{"currency", zydCurrency, 0, zydCurrency, Raw<int64_t>(12340000), false}, "1234"},
      {{"currency decimals", zydCurrency, 0, zydCurrency, Raw<int64_t>(12341200), false}, "1234.12"},
      {{"negative currency", zydCurrency, 0, zydCurrency, Raw<int64_t>(-1), false}, "-0.0001"},
      {{"bytes", zydByte, 4, zydByte, {0x01, 0x02, 0x00, 0x00}, false}, "0102"},
      {{"zero bytes", zydByte, 4, zydByte, {0, 0, 0, 0}, false}, ""},
      {{"inner zero kept", zydByte, 4, zydByte, {0x00, 0xAB, 0x00, 0x0F}, false}, "00AB000F"},
      {{"integer", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(INT64_MIN), false},
       "-9223372036854775808"},
      {{"full string", zydString, 3, zydString, {'a', 'b', 'c', 'd'}, false}, "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.held)->AsString(), c.text) << c.held.label;
}

TEST_F(FieldValues, ByteColumnsGiveRawBytesWhateverTheirTag) {
  TZyDatabaseField* f = Load({"", zydByte, 4, zydUnsignedInt32, {0xA0, 0x0F, 0x00, 0x00}, false});
  EXPECT_EQ(f->AsSignedInt64(), 4000);
  EXPECT_EQ(f->ValueTypeGet(), zydUnsignedInt32);
  EXPECT_EQ(f->ColumnTypeGet(), zydByte);
  uint8_t out[6] = {9, 9, 9, 9, 9, 9};
  f->AsByte(out, 0);  // 0: the whole column
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{0xA0, 0x0F, 0, 0, 9, 9}));
  uint8_t two[3] = {9, 9, 9};
  f->AsByte(two, 2);
  EXPECT_EQ(std::vector<uint8_t>(two, two + 3), (std::vector<uint8_t>{0xA0, 0x0F, 9}));
  uint8_t all[6] = {9, 9, 9, 9, 9, 9};
  f->AsByte(all, 100);  // more than the column: the column
  EXPECT_EQ(all[4], 9);

  // The error of a refused reader names the column's type, not the tag.
  EXPECT_EQ(Raised([&] { f->AsDateTime(); }),
            "80000601|ZyDatabase|TZyDatabaseField.AsDateTime|"
            "The field 'F' is of type Byte and may not be converted to type DateTime");

  // A tag claiming a type wider than the column reads zeros beyond it, never past it.
  TZyDatabaseField* narrow = Load({"", zydByte, 2, zydSignedInt64, {0x34, 0x12}, false});
  EXPECT_EQ(narrow->AsSignedInt64(), 0x1234);
  TZyDatabaseField* wide = Load({"", zydByte, 3, zydFloat10, {0, 0, 0}, false});
  EXPECT_EQ(wide->AsFloat10(), 0);
  // A damaged tag beyond the 17 types: nothing converts, nothing breaks.
  TZyDatabaseField* odd =
      Load({"", zydByte, 2, static_cast<TZyDatabaseColumnTypes>(99), {1, 2}, false});
  EXPECT_NE(Raised([&] { odd->AsSignedInt64(); }), "");
  EXPECT_EQ(odd->AsString(), "");
  odd->AsByte(out, 2);
  EXPECT_EQ(out[1], 2);
}

TEST_F(FieldValues, AsByteBelongsToByteColumns) {
  TZyDatabaseField* f = Load({"", zydString, 4, zydString, Text("ab", 4), false});
  uint8_t out[4];
  EXPECT_EQ(Raised([&] { f->AsByte(out, 4); }),
            "80000601|ZyDatabase|TZyDatabaseField.AsByte|"
            "The field 'F' is of type String and may not be converted to type Byte");
}

TEST_F(FieldValues, NullKeepsTheLastValueOutOfSight) {
  TZyDatabaseField* f = Load({"", zydByte, 2, zydByte, {0xCA, 0xFE}, false});
  f->SysDataSet(zydSysKey, nullptr, true, zydByte);
  EXPECT_TRUE(f->IsNullGet());
  EXPECT_EQ(f->AsString(), "");
  uint8_t out[2] = {};
  f->AsByte(out, 2);  // the bytes of the last value
  EXPECT_EQ(out[0], 0xCA);
  const uint8_t next[2] = {0x01, 0x00};
  f->SysDataSet(zydSysKey, next, false, zydByte);
  EXPECT_FALSE(f->IsNullGet());
  EXPECT_EQ(f->AsString(), "01");
  // A value type kept from before the null: a null on an integer field leaves it an integer.
  TZyDatabaseField* g = Load({"", zydSignedInt32, 0, zydSignedInt32, Raw<int32_t>(7), false});
  g->SysDataSet(zydSysKey, Raw<int32_t>(8).data(), true, zydSignedInt32);
  EXPECT_EQ(g->AsSignedInt64(), 0);
  EXPECT_EQ(g->ValueTypeGet(), zydSignedInt32);
  // No bytes at all can only be a null.
  g->SysDataSet(zydSysKey, nullptr, false, zydSignedInt32);
  EXPECT_TRUE(g->IsNullGet());
}

TEST_F(FieldValues, BinaryReaderOpensOnlyBinaryValues) {
  EXPECT_EQ(Load({"", zydText, 0, zydText, Raw<uint64_t>(5), false})->AsBinary(), nullptr);
  EXPECT_EQ(Load({"", zydBinary, 0, zydBinary, Raw<uint64_t>(5), true})->AsBinary(), nullptr);
  EXPECT_EQ(Load({"", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(5), false})->AsBinary(),
            nullptr);
  TZyDatabaseField* key = Load({"", zydBinary, 0, zydBinary, Raw<uint64_t>(0xA10000BEEF), false});
  EXPECT_EQ(key->ValueKeyGet(), 0xA10000BEEFu);
}

TEST_F(FieldValues, SysDataSetWantsTheSystemKey) {
  TZyDatabaseField* f = Load({"", zydSignedInt64, 0, zydSignedInt64, Raw<int64_t>(5), false});
  const int64_t six = 6;
  EXPECT_EQ(Raised([&] { f->SysDataSet(zydSysKey + 1, &six, false, zydSignedInt64); }),
            "80000702|ZyDatabase|TZyDatabaseField.SysDataSet|"
            "This method is reserved for system use and should never be called by a client");
  EXPECT_EQ(f->AsSignedInt64(), 5);
}

TEST(Field, TakesItsDescriptionFromTheColumn) {
  TZyDatabaseColumnList columns;
  columns.Add("Id", zydSignedInt32, zydColumnAutoNumber, 0);
  TZyDatabaseColumn* name = columns.Add("Name", zydString, zydColumnNullable, 25);
  TZyDatabaseField field(nullptr, name);
  EXPECT_EQ(field.NameGet(), "Name");
  EXPECT_EQ(field.ColumnNameGet(), "Name");
  EXPECT_EQ(field.ColumnTypeGet(), zydString);
  EXPECT_EQ(field.CategoryGet(), zydCategoryString);
  EXPECT_EQ(field.SizeGet(), 25u);
  EXPECT_TRUE(field.NullableGet());
  EXPECT_FALSE(field.IsAutoNumberGet());
  EXPECT_EQ(field.ColumnDataGet(), name->ColumnDataGet());
  EXPECT_EQ(field.ColumnGet(), name);
  EXPECT_EQ(field.TableGet(), nullptr);
  // Before any value: an integer 0, not null.
  EXPECT_EQ(field.ValueTypeGet(), zydSignedInt64);
  EXPECT_FALSE(field.IsNullGet());
  EXPECT_EQ(field.AsSignedInt64(), 0);
  TZyDatabaseField id(nullptr, columns.Get(0));
  EXPECT_TRUE(id.IsAutoNumberGet());
  EXPECT_FALSE(id.NullableGet());
  EXPECT_EQ(id.SizeGet(), 4u);
}

TEST(Fields, AddGetFind) {
  TZyDatabaseColumnList columns;
  TZyDatabaseColumn* a = columns.Add("Alpha", zydSignedInt32, 0, 0);
  TZyDatabaseColumn* b = columns.Add("Beta", zydString, 0, 5);
  TZyDatabaseFields fields;
  TZyDatabaseField* fa = fields.Add(nullptr, a);
  TZyDatabaseField* fb = fields.Add(nullptr, b);
  EXPECT_EQ(fields.CountGet(), 2);
  EXPECT_EQ(fields.Get(0), fa);
  EXPECT_EQ(fields.Get(1), fb);
  EXPECT_EQ(fields.Find("BETA"), fb);
  EXPECT_EQ(fields.Find("alpha"), fa);
  EXPECT_THROW(fields.Find("Gamma"), zyfw::EListError);
  EXPECT_THROW(fields.Get(2), zyfw::EListError);
  EXPECT_EQ(Raised([&] { fields.Add(nullptr, a); }),
            "80000102|ZyDatabase|TZyDatabaseGenericList.Add|That name has already been used");
  EXPECT_EQ(fields.CountGet(), 2);
}

}  // namespace
