// Column types, their lookups, column layout in a row record, and zydConvertData.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyException.h"
#include "engine/table/ZyDatabaseColumn.h"
#include "engine/table/ZyDatabaseConvert.h"
#include "platform/framework/Convert.h"

namespace {

// Runs f and returns the EZyException it raised as "code|module|method|text", or "" if none.
template <typename F>
std::string Raised(F f) {
  try {
    f();
  } catch (const EZyException& e) {
    return zyfw::IntToHex(e.CodeGet(0), 8) + "|" + e.ModuleGet(0) + "|" + e.MethodGet(0) + "|" +
           e.TextGet(0);
  }
  return "";
}

TEST(ColumnTypes, TableOfNamesSizesAndCategories) {
  const struct {
    TZyDatabaseColumnTypes type;
    const char* name;
    int32_t size;
    TZyDatabaseColumnTypeCategories category;
  } cases[] = {
      {zydSignedInt64, "SignedInt64", 8, zydCategoryInteger},
      {zydSignedInt32, "SignedInt32", 4, zydCategoryInteger},
      {zydUnsignedInt32, "UnsignedInt32", 4, zydCategoryInteger},
      {zydSignedInt16, "SignedInt16", 2, zydCategoryInteger},
      {zydUnsignedInt16, "UnsignedInt16", 2, zydCategoryInteger},
      {zydSignedInt8, "SignedInt8", 1, zydCategoryInteger},
      {zydUnsignedInt8, "UnsignedInt8", 1, zydCategoryInteger},
      {zydFloat4, "Float4", 4, zydCategoryFloat},
      {zydFloat8, "Float8", 8, zydCategoryFloat},
      {zydFloat10, "Float10", 10, zydCategoryFloat},
      {zydBoolean, "Boolean", 1, zydCategoryBoolean},
      {zydCurrency, "Currency", 8, zydCategoryCurrency},
      {zydDateTime, "DateTime", 8, zydCategoryDateTime},
      {zydString, "String", 1, zydCategoryString},
      {zydByte, "Byte", 1, zydCategoryByte},
      {zydText, "Text", 8, zydCategoryRaw},
      {zydBinary, "Binary", 8, zydCategoryRaw},
  };
  ASSERT_EQ(sizeof cases / sizeof cases[0], static_cast<size_t>(zydColumnTypeCount));
  for (int i = 0; i < zydColumnTypeCount; ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(static_cast<int>(c.type), i) << c.name;  // the ordinals are stored in files
    EXPECT_EQ(zydColumnTypeGetName(c.type), c.name);
    EXPECT_EQ(zydColumnSizeGetByType(c.type), c.size) << c.name;
    EXPECT_EQ(ZyDbColumnSizes[i], c.size) << c.name;
    EXPECT_EQ(zydColumnCategoryGetByType(c.type), c.category) << c.name;
    EXPECT_EQ(zydColumnNameGetType(c.name), c.type) << c.name;
    EXPECT_EQ(zydColumnNameGetType(zyfw::UpperCase(c.name)), c.type) << c.name;
    EXPECT_EQ(zydColumnNameGetType(zyfw::LowerCase(c.name)), c.type) << c.name;
  }
  // Damaged type bytes do not index past the tables.
  EXPECT_EQ(zydColumnSizeGetByType(static_cast<TZyDatabaseColumnTypes>(17)), 0);
  EXPECT_EQ(zydColumnTypeGetName(static_cast<TZyDatabaseColumnTypes>(200)), "");
  EXPECT_EQ(zydColumnCategoryGetByType(static_cast<TZyDatabaseColumnTypes>(200)), zydCategoryRaw);
}

TEST(ColumnTypes, Categories) {
  const TZyDatabaseColumnTypes representative[] = {zydSignedInt64, zydFloat10, zydBoolean,
                                                   zydCurrency,    zydDateTime, zydString,
                                                   zydByte,        zydBinary};
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(zydColumnCategoryGetType(static_cast<TZyDatabaseColumnTypeCategories>(c)),
              representative[c])
        << c;
  }
  EXPECT_EQ(zydColumnCategoryGetType(static_cast<TZyDatabaseColumnTypeCategories>(99)), zydBinary);
}

TEST(ColumnTypes, UnknownNameRaisesQuotingIt) {
  EXPECT_EQ(Raised([] { zydColumnNameGetType("Int"); }),
            "80000302|ZyDatabase|zydColumnNameGetByType|The column type name 'Int' was not found");
  EXPECT_NE(Raised([] { zydColumnNameGetType(" String"); }), "");
  EXPECT_NE(Raised([] { zydColumnNameGetType(""); }), "");
}

TEST(Columns, LayoutOfARowRecord) {
  TZyDatabaseColumnList list;
  EXPECT_EQ(list.RecordSizeGet(), 0u);
  const struct {
    const char* name;
    TZyDatabaseColumnTypes type;
    uint64_t size;
    uint32_t offset;
    uint32_t recordSize;
  } cases[] = {
      {"ID", zydSignedInt64, 0, 4, 13},
      {"NAME", zydString, 40, 13, 54},
      {"RAW", zydByte, 50, 54, 106},  // data plus a tag byte
      {"FLAG", zydBoolean, 0, 106, 108},
  };
  for (const auto& c : cases) {
    TZyDatabaseColumn* column = list.Add(c.name, c.type, 0, c.size);
    EXPECT_EQ(column->OffsetGet(), c.offset) << c.name;
    EXPECT_EQ(list.RecordSizeGet(), c.recordSize) << c.name;
    EXPECT_EQ(column->NameGet(), c.name);
  }
  EXPECT_EQ(list.CountGet(), 4);
  EXPECT_EQ(list.Get(2)->NameGet(), "RAW");
}

TEST(Columns, SizesFlagsAndSnapshot) {
  TZyDatabaseColumnList list;
  const struct {
    const char* name;
    TZyDatabaseColumnTypes type;
    uint64_t flags;
    uint64_t declared;
    uint64_t size;
    uint64_t categorySize;
    bool nullable;
    bool autoNumber;
  } cases[] = {
      {"A", zydSignedInt8, 0, 99, 1, 8, false, false},   // the declared size means nothing here
      {"B", zydFloat4, 1, 0, 4, 10, true, false},
      {"C", zydBoolean, 2, 0, 1, 1, false, true},
      {"D", zydCurrency, 3, 0, 8, 8, true, true},
      {"E", zydDateTime, ~uint64_t{3}, 0, 8, 8, false, false},  // other flag bits are ignored
      {"F", zydString, 0, 7, 7, 7, false, false},
      {"G", zydByte, 1, 3, 3, 3, true, false},
      {"H", zydText, 0, 0, 8, 0, false, false},
      {"I", zydBinary, 1, 0, 8, 0, true, false},
  };
  for (const auto& c : cases) {
    const TZyDatabaseColumn* col = list.Add(c.name, c.type, c.flags, c.declared);
    EXPECT_EQ(col->TypeGet(), c.type) << c.name;
    EXPECT_EQ(col->FlagsGet(), c.flags) << c.name;
    EXPECT_EQ(col->SizeGet(), c.size) << c.name;
    EXPECT_EQ(col->CategorySizeGet(), c.categorySize) << c.name;
    EXPECT_EQ(col->CategoryGet(), zydColumnCategoryGetByType(c.type)) << c.name;
    EXPECT_EQ(col->NullableGet(), c.nullable) << c.name;
    EXPECT_EQ(col->AutoNumberGet(), c.autoNumber) << c.name;
    const TZyDatabaseColumnData* data = col->ColumnDataGet();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->NameGet(), c.name);
    EXPECT_EQ(data->TypeGet(), c.type);
    EXPECT_EQ(data->NullableGet(), c.nullable);
    EXPECT_EQ(data->AutoNumberGet(), c.autoNumber);
    EXPECT_EQ(data->SizeGet(), c.size);
    EXPECT_EQ(data->CategoryGet(), col->CategoryGet());
  }
}

TEST(Columns, DuplicateNamesAndOversizedRowsLeaveTheListAlone) {
  TZyDatabaseColumnList list;
  list.Add("Name", zydString, 0, 10);
  EXPECT_EQ(Raised([&] { list.Add("NAME", zydSignedInt32, 0, 0); }),
            "80000102|ZyDatabase|TZyDatabaseGenericList.Add|That name has already been used");
  EXPECT_EQ(list.CountGet(), 1);
  EXPECT_EQ(list.RecordSizeGet(), 15u);
  EXPECT_EQ(Raised([&] { list.Add("HUGE", zydByte, 0, uint64_t{1} << 40); }),
            "80000303|ZyDatabase|TZyDatabaseColumnList.Add|"
            "The column 'HUGE' makes a row longer than 2147483647 bytes");
  EXPECT_NE(Raised([&] { list.Add("WRAP", zydString, 0, ~uint64_t{0}); }), "");
  EXPECT_NE(Raised([&] { list.Add("EDGE", zydString, 0, zydMaxRecordSize - 15); }), "");
  EXPECT_EQ(list.CountGet(), 1);
  EXPECT_EQ(list.RecordSizeGet(), 15u);
  // The largest column that still fits: 15 + 1 flag byte + data = 2^31 - 1.
  list.Add("EDGE", zydString, 0, zydMaxRecordSize - 16);
  EXPECT_EQ(list.RecordSizeGet(), zydMaxRecordSize);
}

TEST(Columns, ColumnDataIsReservedForTheEngine) {
  TZyDatabaseColumn column("X", zydSignedInt32, nullptr, 0, 0);
  EXPECT_EQ(Raised([&] { TZyDatabaseColumnData data(12345, column); }),
            "80000702|ZyDatabase|TZyDatabaseColumnData.Create|"
            "This method is reserved for system use and should never be called by a client");
  TZyDatabaseColumnData data(zydSysKey, column);
  EXPECT_EQ(data.NameGet(), "X");
}

// ---- zydConvertData -------------------------------------------------------------------------

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(static_cast<uint8_t>(b));
  return v;
}

TEST(ConvertData, IntegersWidenBySignAndNarrowByTruncation) {
  const struct {
    TZyDatabaseColumnTypes from;
    std::vector<uint8_t> source;
    TZyDatabaseColumnTypes to;
    std::vector<uint8_t> result;
  } cases[] = {
      {zydSignedInt8, Bytes({0xFF}), zydSignedInt64, Bytes({255, 255, 255, 255, 255, 255, 255, 255})},
      {zydUnsignedInt8, Bytes({0xFF}), zydSignedInt64, Bytes({255, 0, 0, 0, 0, 0, 0, 0})},
      {zydSignedInt16, Bytes({0x00, 0x80}), zydSignedInt32, Bytes({0x00, 0x80, 0xFF, 0xFF})},
      {zydUnsignedInt16, Bytes({0x00, 0x80}), zydSignedInt32, Bytes({0x00, 0x80, 0, 0})},
      {zydSignedInt32, Bytes({0xFE, 0xFF, 0xFF, 0xFF}), zydSignedInt64,
       Bytes({0xFE, 255, 255, 255, 255, 255, 255, 255})},
      {zydUnsignedInt32, Bytes({0xFE, 0xFF, 0xFF, 0xFF}), zydSignedInt64,
       Bytes({0xFE, 255, 255, 255, 0, 0, 0, 0})},
      {zydSignedInt64, Bytes({0x2C, 0x01, 0, 0, 0, 0, 0, 0}), zydUnsignedInt8, Bytes({44})},  // 300
      {zydSignedInt64, Bytes({255, 255, 255, 255, 255, 255, 255, 255}), zydUnsignedInt16,
       Bytes({255, 255})},                                                                   // -1
      {zydSignedInt32, Bytes({1, 2, 3, 4}), zydSignedInt16, Bytes({1, 2})},
      {zydSignedInt8, Bytes({0x80}), zydUnsignedInt8, Bytes({0x80})},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> out(c.result.size() + 1, 0xAA);  // one guard byte after the value
    zydConvertData(out.data(), c.to, c.source.data(), 0, c.from);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end() - 1), c.result)
        << zydColumnTypeGetName(c.from) << " -> " << zydColumnTypeGetName(c.to);
    EXPECT_EQ(out.back(), 0xAA) << "wrote past the value";
  }
}

TEST(ConvertData, FloatsRoundToNearestOnNarrowing) {
  const double tenth = 0.1;
  float f = 0;
  zydConvertData(&f, zydFloat4, &tenth, 0, zydFloat8);
  EXPECT_EQ(f, 0.1f);
  double back = 0;
  zydConvertData(&back, zydFloat8, &f, 0, zydFloat4);
  EXPECT_NE(back, 0.1);
  EXPECT_EQ(back, static_cast<double>(0.1f));

  uint8_t ten[10];
  zydConvertData(ten, zydFloat10, &tenth, 0, zydFloat8);
  EXPECT_EQ(zyfw::BytesToFloat10(ten), static_cast<long double>(0.1));

  // 1 + 2^-60 needs the 10-byte format; narrowing to double rounds it to 1.
  uint8_t precise[10];
  zyfw::Float10ToBytes(1.0L + 0x1p-60L, precise);
  double d = 0;
  zydConvertData(&d, zydFloat8, precise, 0, zydFloat10);
  EXPECT_EQ(d, 1.0);
  // 1 + 3*2^-54 is between two doubles, nearer the upper one: round to nearest, not truncate.
  zyfw::Float10ToBytes(1.0L + 3 * 0x1p-54L, precise);
  zydConvertData(&d, zydFloat8, precise, 0, zydFloat10);
  EXPECT_EQ(d, 1.0 + 0x1p-52);
  // Too large for a single: infinity.
  const double big = 1e300;
  zydConvertData(&f, zydFloat4, &big, 0, zydFloat8);
  EXPECT_TRUE(std::isinf(f));
}

TEST(ConvertData, SameBufferAndSingleTypeCategories) {
  uint8_t buf[10] = {0xFF, 0, 0, 0, 0, 0, 0, 0, 0x11, 0x22};
  zydConvertData(buf, zydSignedInt64, buf, 0, zydSignedInt8);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 10),
            Bytes({255, 255, 255, 255, 255, 255, 255, 255, 0x11, 0x22}));
  float f = 2.5f;
  uint8_t wide[10] = {};
  std::memcpy(wide, &f, sizeof f);
  zydConvertData(wide, zydFloat10, wide, 0, zydFloat4);
  EXPECT_EQ(zyfw::BytesToFloat10(wide), 2.5L);

  const char text[] = "hello";
  char copy[8] = "xxxxxxx";
  zydConvertData(copy, zydString, text, 3, zydString);
  EXPECT_EQ(std::string(copy), "helxxxx");
  uint8_t raw[4] = {1, 2, 3, 4};
  zydConvertData(raw + 1, zydByte, raw, 3, zydByte);  // overlapping copy
  EXPECT_EQ(std::vector<uint8_t>(raw, raw + 4), Bytes({1, 1, 2, 3}));

  const int64_t amount = -123456;
  int64_t amountOut = 0;
  zydConvertData(&amountOut, zydCurrency, &amount, 0, zydCurrency);
  EXPECT_EQ(amountOut, amount);
  const double when = 45000.5;
  double whenOut = 0;
  zydConvertData(&whenOut, zydDateTime, &when, 0, zydDateTime);
  EXPECT_EQ(whenOut, when);
  const uint8_t yes = 1;
  uint8_t yesOut = 7;
  zydConvertData(&yesOut, zydBoolean, &yes, 0, zydBoolean);
  EXPECT_EQ(yesOut, 1);
  uint64_t key = 0x1234;
  const uint64_t other = 0x9999;
  zydConvertData(&key, zydBinary, &other, 8, zydText);
  EXPECT_EQ(key, 0x1234u);  // keys are never converted
}

TEST(ConvertData, CategoriesMustMatch) {
  const std::string expected =
      "80000301|ZyDatabase|zydConvertData|The types are not compatible";
  uint8_t buf[16] = {};
  const struct {
    TZyDatabaseColumnTypes from, to;
  } cases[] = {
      {zydString, zydByte},   {zydSignedInt32, zydFloat8}, {zydFloat4, zydSignedInt64},
      {zydBoolean, zydSignedInt8}, {zydCurrency, zydFloat10}, {zydDateTime, zydFloat8},
      {zydText, zydString},   {zydByte, zydBinary},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Raised([&] { zydConvertData(buf, c.to, buf, 4, c.from); }), expected)
        << zydColumnTypeGetName(c.from) << " -> " << zydColumnTypeGetName(c.to);
  }
  EXPECT_EQ(Raised([&] { zydConvertData(buf, zydBinary, buf, 8, zydText); }), "");
}

}  // namespace
