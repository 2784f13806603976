// The table store end to end on real files: stream bytes, row numbering, auto-numbers, value
// streams, NULL and comparison rules, and a database that survives closing and reopening.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyException.h"
#include "engine/storage/ZyVirtualDisk.h"
#include "engine/storage/ZyVirtualFile.h"
#include "engine/table/ZyDatabaseField.h"
#include "engine/table/ZyDatabaseMain.h"
#include "platform/framework/Convert.h"
#include "platform/framework/Stream.h"

namespace {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/zytable_" + std::to_string(getpid()) + "_" + name;
}

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempPath(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".zyd";
    db_.FileName = path_;
    db_.Open(zydDatabaseCreate);
  }
  void TearDown() override {
    db_.Close();
    std::remove(path_.c_str());
  }
  void Reopen() {
    db_.Close();
    db_.Open(0);
  }
  TZyDatabaseTable* Table(const std::string& name) {
    TZyDatabaseTableList* list = db_.SysTables(zydSysKey);
    return list->Get(list->FindIndex(name));
  }
  // Creates a table from (name, type, flags, size) column descriptions.
  struct Col {
    const char* name;
    TZyDatabaseColumnTypes type;
    uint64_t flags;
    uint64_t size;
  };
  TZyDatabaseTable* Create(const std::string& name, std::initializer_list<Col> cols) {
    TZyDatabaseTable* t = db_.SysTableAdd(zydSysKey, name);
    for (const Col& c : cols) t->ColumnAdd(c.name, c.type, c.flags, c.size);
    t->CreateDone();
    return t;
  }
  std::vector<uint8_t> StreamBytes(TZyDatabaseTable* t) {
    TZyVirtualFile* s = t->StreamGet();
    std::vector<uint8_t> bytes(static_cast<size_t>(s->FileSizeGet()));
    s->PositionSet(0);
    s->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    return bytes;
  }
  template <typename T>
  void Add(TZyDatabaseTable* t, const char* col, T v, TZyDatabaseColumnTypes type) {
    t->RowAddField(col, &v, type, sizeof v);
  }
  void AddStr(TZyDatabaseTable* t, const char* col, const std::string& s) {
    t->RowAddField(col, s.c_str(), zydString, static_cast<int32_t>(s.size()));
  }
  int64_t GetInt64(TZyDatabaseTable* t, uint64_t row, const char* col) {
    int64_t v = 0;
    uint8_t buf[16] = {};
    bool isNull;
    TZyDatabaseColumnTypes type;
    t->FieldGetData(row, col, buf, &isNull, &type);
    std::memcpy(&v, buf, 8);
    return v;
  }
  // Reads one value through a field, the way a query's cursor hands it over.
  std::string Display(TZyDatabaseTable* t, uint64_t row, const char* col) {
    TZyDatabaseColumn* c = t->ColumnsGet()->Find(col);
    std::vector<uint8_t> buf(c->SizeGet() + 1);
    bool isNull;
    TZyDatabaseColumnTypes type;
    t->FieldGetData(row, col, buf.data(), &isNull, &type);
    TZyDatabaseField field(t, c);
    field.SysDataSet(zydSysKey, buf.data(), isNull, type);
    return field.AsString();
  }

  std::string path_;
  TZyDatabase db_;
};

TEST_F(TableTest, NewTableStreamIsByteExact) {
  TZyDatabaseTable* t = Create("T1", {{"A", zydSignedInt64, zydColumnAutoNumber, 0},
                                      {"B", zydString, 0, 40},
                                      {"C", zydByte, 0, 50},
                                      {"D", zydBoolean, 0, 0}});
  EXPECT_EQ(t->RecordSizeGet(), 108u);
  std::vector<uint8_t> bytes = StreamBytes(t);
  ASSERT_EQ(bytes.size(), 88u + 108u);
  const uint8_t head[24] = {0x04, 0x5A, 0x59, 0x44, 0x42, 0, 0, 0, 0x05, 0x54, 0x41, 0x42,
                            0x4C, 0x45, 0, 0, 0, 0, 0, 0, 0x57, 0x10, 0x00, 0x04};
  EXPECT_EQ(0, std::memcmp(bytes.data(), head, 24));
  for (size_t i = 24; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;

  // The counters record holds the last number at the auto-number column's data bytes (5-12).
  t->RowAddBegin();
  AddStr(t, "B", "x");
  Add<uint8_t>(t, "C", 7, zydUnsignedInt8);
  Add<uint8_t>(t, "D", 1, zydBoolean);
  EXPECT_EQ(t->RowAddEnd(), 1u);
  bytes = StreamBytes(t);
  ASSERT_EQ(bytes.size(), 88u + 2 * 108u);
  EXPECT_EQ(bytes[88 + 5], 1);
  // The row: status word 0, auto-number flag byte left 0x00 with the number in its data.
  const uint8_t* row = bytes.data() + 88 + 108;
  EXPECT_EQ(row[4], 0x00);
  EXPECT_EQ(row[5], 1);
  EXPECT_EQ(row[13], 0x80);
  EXPECT_EQ(row[14], 'x');
  EXPECT_EQ(row[54], 0x80);
  EXPECT_EQ(row[55], 7);
  EXPECT_EQ(row[105], zydUnsignedInt8);  // the Byte column's type tag
  EXPECT_EQ(row[106], 0x80);
  EXPECT_EQ(row[107], 1);
}

TEST_F(TableTest, AutoNumbersCountersAndExplicitValues) {
  TZyDatabaseTable* t = Create("AUTO", {{"ID", zydSignedInt64, zydColumnAutoNumber, 0},
                                        {"V", zydSignedInt32, 0, 0}});
  auto add = [&](int32_t v, const int64_t* id) {
    t->RowAddBegin();
    if (id) Add(t, "ID", *id, zydSignedInt64);
    Add(t, "V", v, zydSignedInt32);
    return t->RowAddEnd();
  };
  EXPECT_EQ(add(10, nullptr), 1u);
  EXPECT_EQ(add(20, nullptr), 2u);
  const int64_t explicitId = 2;
  EXPECT_EQ(add(30, &explicitId), 0u);  // an explicit value leaves the counter alone
  EXPECT_EQ(add(40, nullptr), 3u);
  EXPECT_EQ(GetInt64(t, 3, "ID"), 2);
  EXPECT_EQ(GetInt64(t, 4, "ID"), 3);

  // A refused add still uses up its number.
  t->RowAddBegin();
  EXPECT_THROW(t->RowAddEnd(), EZyException);  // V must be specified
  EXPECT_EQ(add(50, nullptr), 5u);
  std::vector<uint8_t> bytes = StreamBytes(t);
  int64_t counter;
  std::memcpy(&counter, bytes.data() + 88 + 5, 8);
  EXPECT_EQ(counter, 5);
  EXPECT_EQ(t->RowCountGet(), 5u);
}

TEST_F(TableTest, NarrowAutoNumbersStayInsideTheirColumn) {
  // A 16-bit auto-number before another column, and a 32-bit one as the last column.
  TZyDatabaseTable* t = Create("NARROW", {{"A", zydSignedInt16, zydColumnAutoNumber, 0},
                                          {"N", zydSignedInt8, 0, 0},
                                          {"B", zydUnsignedInt32, zydColumnAutoNumber, 0}});
  for (int8_t i = 1; i <= 3; ++i) {
    t->RowAddBegin();
    Add<int8_t>(t, "N", i * 10, zydSignedInt8);
    EXPECT_EQ(t->RowAddEnd(), uint64_t(i));
  }
  Reopen();
  t = Table("NARROW");
  t->RowAddBegin();
  Add<int8_t>(t, "N", 40, zydSignedInt8);
  EXPECT_EQ(t->RowAddEnd(), 4u);
  for (int row = 1; row <= 4; ++row) {
    EXPECT_EQ(Display(t, row, "A"), std::to_string(row));
    EXPECT_EQ(Display(t, row, "N"), std::to_string(row * 10));
    EXPECT_EQ(Display(t, row, "B"), std::to_string(row));
  }
  EXPECT_EQ(StreamBytes(t).size(), 88u + 5 * t->RecordSizeGet());
}

TEST_F(TableTest, DeleteKeepsNumbersAndPastEndRaises) {
  TZyDatabaseTable* t = Create("DEL", {{"ID", zydSignedInt64, zydColumnAutoNumber, 0}});
  for (int i = 0; i < 3; ++i) {
    t->RowAddBegin();
    t->RowAddEnd();
  }
  t->RowDelete(2);
  EXPECT_FALSE(t->RowGet(2));  // the current row, deleted
  t->RowAddBegin();
  EXPECT_EQ(t->RowAddEnd(), 4u);
  EXPECT_EQ(t->CurrentRowGet(), 4u);
  EXPECT_FALSE(t->RowGet(2));
  EXPECT_TRUE(t->RowGet(3));
  try {
    t->RowGet(5);
    FAIL() << "row 5 does not exist";
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000204u);
    EXPECT_EQ(e.TextGet(0), "There are no more rows to fetch");
    EXPECT_EQ(e.MethodGet(0), "TZyDatabaseTable.RowGet");
  }
  EXPECT_EQ(t->CurrentRowGet(), 3u);  // unchanged by the failed read
  // Changing the row after the last one writes nothing.
  const std::vector<uint8_t> before = StreamBytes(t);
  EXPECT_THROW(t->RowUpdateBegin(5), EZyException);
  EXPECT_EQ(StreamBytes(t), before);
}

TEST_F(TableTest, ErrorsOfRowStorage) {
  TZyDatabaseTable* t = Create("ERR", {{"N", zydSignedInt32, 0, 0}, {"S", zydString, zydColumnNullable, 4}});
  struct Case {
    const char* what;
    std::function<void()> act;
    uint32_t code;
    const char* method;
    const char* text;
  };
  const Case cases[] = {
      {"NULL for a non-nullable column",
       [&] { t->RowAddBegin(); t->RowAddField("N", nullptr, zydSignedInt32, 4); },
       0x80000201, "TZyDatabaseTable.RowAddField", "'N' is not nullable"},
      {"a column without value",
       [&] { t->RowAddBegin(); t->RowAddEnd(); },
       0x80000202, "TZyDatabaseTable.RowAddEnd", "'N' must be specified"},
      {"another category",
       [&] { t->RowAddBegin(); double d = 1; t->RowAddField("N", &d, zydFloat8, 8); },
       0x80000301, "zydConvertData", "The types are not compatible"},
      {"system table",
       [&] { Table("SYS_OBJECTS")->RowAddBegin(); Table("SYS_OBJECTS")->RowAddField("NAME", "x", zydString, 1); },
       0x80000203, "TZyDatabaseTable.RowAddField", "System tables are read-only"},
      {"system table delete", [&] { Table("SYS_SETTINGS")->RowDelete(1); },
       0x80000203, "TZyDatabaseTable.RowDelete", "System tables are read-only"},
      {"column after CreateDone", [&] { t->ColumnAdd("X", zydSignedInt8, 0, 0); },
       0x80000200, "TZyDatabaseTable.CreateDone",
       "The table may not be modified unless it has just been created"},
      {"unknown column in RowsGet", [&] { t->RowsGet("NOPE", zydFieldOpAll, nullptr); },
       0x80000300, "TZyDatabaseTable.RowsGet", "The column 'NOPE' was not found"},
  };
  for (const Case& c : cases) {
    try {
      c.act();
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EZyException& e) {
      EXPECT_EQ(e.CodeGet(0), c.code) << c.what;
      EXPECT_EQ(e.MethodGet(0), c.method) << c.what;
      EXPECT_EQ(e.TextGet(0), c.text) << c.what;
    }
  }
  EXPECT_THROW(Table("SYS_OBJECTS")->RowAddEnd(), EZyException);  // nothing is written
  EXPECT_EQ(Table("SYS_OBJECTS")->RowCountGet(), 3u);  // ERR and its two columns only
}

TEST_F(TableTest, InvalidAndDuplicateNames) {
  try {
    db_.SysTableAdd(zydSysKey, "MY TABLE");
    FAIL();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000101u);
    EXPECT_EQ(e.TextGet(0), "The name is invalid");
    EXPECT_EQ(e.CodeGet(1), 0x80000100u);
    EXPECT_EQ(e.TextGet(1), "The character ' ' is invalid");
  }
  Create("ONE", {{"A", zydSignedInt8, 0, 0}});
  try {
    db_.SysTableAdd(zydSysKey, "one");
    FAIL();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000102u);
  }
  // A name too long for the file's element names fails in the storage service and leaves no
  // half-made table behind.
  TZyDatabaseTable* t = db_.SysTableAdd(zydSysKey, std::string(28, 'L'));
  t->ColumnAdd("A", zydSignedInt8, 0, 0);
  try {
    t->CreateDone();
    FAIL();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.MethodGet(0), "IStorage.CreateStream");
    EXPECT_EQ(e.ModuleGet(0), "System");
  }
  EXPECT_EQ(db_.SysTables(zydSysKey)->FindIndex(std::string(28, 'L')), -1);
  EXPECT_THROW(db_.SysTables(1), EZyException);
}

TEST_F(TableTest, StringsAndBytesAreStoredAsTheRulesSay) {
  TZyDatabaseTable* t = Create("SB", {{"S", zydString, 0, 4}, {"B", zydByte, 0, 6}});
  t->RowAddBegin();
  AddStr(t, "S", "abcdef");  // cut to the column size
  Add<uint32_t>(t, "B", 4000, zydUnsignedInt32);
  t->RowAddEnd();
  t->RowAddBegin();
  AddStr(t, "S", "ab");
  AddStr(t, "B", "hi");
  t->RowAddEnd();
  EXPECT_EQ(Display(t, 1, "S"), "abcd");
  EXPECT_EQ(Display(t, 2, "S"), "ab");
  // The Byte column keeps A0 0F 00 00 with tag UnsignedInt32; it reads as the number.
  uint8_t buf[8] = {};
  bool isNull;
  TZyDatabaseColumnTypes type;
  t->FieldGetData(1, "B", buf, &isNull, &type);
  EXPECT_EQ(type, zydUnsignedInt32);
  const uint8_t expected[6] = {0xA0, 0x0F, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(buf, expected, 6));
  EXPECT_EQ(Display(t, 1, "B"), "4000");
  EXPECT_EQ(Display(t, 2, "B"), "hi");
  // Updating a String with a shorter one clears the rest of the column.
  t->RowUpdateBegin(1);
  t->RowUpdateField("S", "z", zydString, 1);
  t->RowUpdateEnd(false);
  EXPECT_EQ(Display(t, 1, "S"), "z");
}

TEST_F(TableTest, EveryTypeRoundTripsThroughAFile) {
  TZyDatabaseTable* t = Create(
      "ALLTYPES",
      {{"I64", zydSignedInt64, 0, 0},   {"I32", zydSignedInt32, 0, 0},  {"U32", zydUnsignedInt32, 0, 0},
       {"I16", zydSignedInt16, 0, 0},   {"U16", zydUnsignedInt16, 0, 0}, {"I8", zydSignedInt8, 0, 0},
       {"U8", zydUnsignedInt8, 0, 0},   {"F4", zydFloat4, 0, 0},        {"F8", zydFloat8, 0, 0},
       {"F10", zydFloat10, 0, 0},       {"BOOL", zydBoolean, 0, 0},     {"CUR", zydCurrency, 0, 0},
       {"DT", zydDateTime, 0, 0},       {"STR", zydString, 0, 10},      {"BYT", zydByte, 0, 4},
       {"TXT", zydText, zydColumnNullable, 0}, {"BIN", zydBinary, zydColumnNullable, 0}});
  uint8_t f10[10];
  zyfw::Float10ToBytes(1.0L / 3.0L, f10);
  zyfw::TMemoryStream bin;
  bin.WriteBuffer("\x00\x01\x02\xFF", 4);
  t->RowAddBegin();
  Add<int64_t>(t, "I64", INT64_MIN, zydSignedInt64);
  Add<int32_t>(t, "I32", -123456, zydSignedInt32);
  Add<uint32_t>(t, "U32", 4000000000u, zydUnsignedInt32);
  Add<int16_t>(t, "I16", -32768, zydSignedInt16);
  Add<uint16_t>(t, "U16", 65535, zydUnsignedInt16);
  Add<int8_t>(t, "I8", -5, zydSignedInt8);
  Add<uint8_t>(t, "U8", 200, zydUnsignedInt8);
  Add<float>(t, "F4", 1.5f, zydFloat4);
  Add<double>(t, "F8", 0.1, zydFloat8);
  t->RowAddField("F10", f10, zydFloat10, 10);
  Add<uint8_t>(t, "BOOL", 1, zydBoolean);
  Add<int64_t>(t, "CUR", 123456789, zydCurrency);  // 12345.6789
  Add<double>(t, "DT", 45000.5, zydDateTime);
  AddStr(t, "STR", "hello");
  const uint8_t raw[4] = {1, 2, 0, 0};
  t->RowAddField("BYT", raw, zydByte, 4);
  t->RowAddField("TXT", "a long text", zydText, -1);
  t->RowAddField("BIN", &bin, zydBinary, -1);
  t->RowAddEnd();
  Reopen();
  t = Table("ALLTYPES");
  const std::string when = zyfw::DateTimeToStr(45000.5);
  const std::pair<const char*, const char*> expected[] = {
      {"I64", "-9223372036854775808"}, {"I32", "-123456"}, {"U32", "4000000000"},
      {"I16", "-32768"}, {"U16", "65535"}, {"I8", "-5"}, {"U8", "200"}, {"F4", "1.5"},
      {"F8", "0.1"}, {"F10", "0.333333333333333"}, {"BOOL", "Y"}, {"CUR", "12345.6789"},
      {"DT", when.c_str()}, {"STR", "hello"}, {"BYT", "0102"},
      {"TXT", "a long text"}, {"BIN", ""}};
  for (const auto& e : expected) EXPECT_EQ(Display(t, 1, e.first), e.second) << e.first;
  // Float10 keeps every one of its 10 bytes.
  uint8_t back[16] = {};
  bool isNull;
  TZyDatabaseColumnTypes type;
  t->FieldGetData(1, "F10", back, &isNull, &type);
  EXPECT_EQ(0, std::memcmp(back, f10, 10));
  // The Binary value comes back byte for byte through its stream.
  TZyDatabaseColumn* c = t->ColumnsGet()->Find("BIN");
  uint8_t key[9] = {};
  t->FieldGetData(1, "BIN", key, &isNull, &type);
  TZyDatabaseField field(t, c);
  field.SysDataSet(zydSysKey, key, isNull, type);
  zyfw::TStream* s = field.AsBinary();
  ASSERT_NE(s, nullptr);
  char got[4];
  s->ReadBuffer(got, 4);
  EXPECT_EQ(0, std::memcmp(got, "\x00\x01\x02\xFF", 4));
  field.CloseBinary();
}

TEST_F(TableTest, ValueStreamsKeepTheirKeyWhenChanged) {
  TZyDatabaseTable* t = Create("TX", {{"T", zydText, zydColumnNullable, 0}, {"N", zydSignedInt8, 0, 0}});
  t->RowAddBegin();
  Add<int8_t>(t, "N", 1, zydSignedInt8);
  t->RowAddEnd();  // T is NULL: no value stream yet
  EXPECT_EQ(GetInt64(t, 1, "T"), 0);
  t->RowUpdateBegin(1);
  t->RowUpdateField("T", "first", zydText, -1);
  t->RowUpdateEnd(false);
  const int64_t key = GetInt64(t, 1, "T");
  EXPECT_NE(key, 0);
  EXPECT_LE(uint64_t(key) >> 32, 254u);
  EXPECT_LE(uint64_t(key) & 0xFFFFFFFFu, 2147483646u);
  t->RowUpdateBegin(1);
  t->RowUpdateField("T", "second, longer than the first", zydText, -1);
  t->RowUpdateEnd(false);
  EXPECT_EQ(GetInt64(t, 1, "T"), key);
  EXPECT_EQ(Display(t, 1, "T"), "second, longer than the first");
  EXPECT_EQ(TZyDatabaseTable::ValueStreamName(0x000000A10000BEEFull), "000000A10000BEEF.dat");
}

TEST_F(TableTest, NullAndComparisonRules) {
  TZyDatabaseTable* t = Create("CMP", {{"S", zydString, zydColumnNullable, 5},
                                       {"U8", zydUnsignedInt8, zydColumnNullable, 0},
                                       {"I8", zydSignedInt8, zydColumnNullable, 0},
                                       {"B", zydByte, zydColumnNullable, 4},
                                       {"F", zydFloat8, zydColumnNullable, 0}});
  t->RowAddBegin();
  AddStr(t, "S", "abc");
  Add<uint8_t>(t, "U8", 200, zydUnsignedInt8);
  Add<int8_t>(t, "I8", -56, zydSignedInt8);
  const uint8_t b[4] = {1, 2, 3, 4};
  t->RowAddField("B", b, zydByte, 4);
  Add<double>(t, "F", 2.5, zydFloat8);
  t->RowAddEnd();
  t->RowAddBegin();
  t->RowAddEnd();  // every column NULL
  auto col = [&](const char* n) { return t->ColumnsGet()->Find(n); };
  const uint8_t u100 = 100;
  const int8_t i100 = 100;
  const uint8_t b2[4] = {1, 2, 4, 0};
  const double f = 2.5;
  struct Case {
    uint64_t row;
    const char* column;
    TZyDatabaseFieldOperations op;
    const void* value;
    bool expected;
  };
  const Case cases[] = {
      {1, "S", zydFieldOpEqualTo, "ABC", true},
      {1, "S", zydFieldOpLessThan, "abd", true},
      {1, "S", zydFieldOpGreaterThan, "ab", true},
      {1, "S", zydFieldOpLessThan, "_", true},  // '_' is above every letter
      {1, "S", zydFieldOpLessThan, "abcde", true},
      {1, "U8", zydFieldOpGreaterThan, &u100, true},
      {1, "I8", zydFieldOpLessThan, &i100, true},
      {1, "B", zydFieldOpLessThan, b2, true},
      {1, "F", zydFieldOpGreaterThanOrEqualTo, &f, true},
      {1, "F", zydFieldOpIsNull, nullptr, false},
      {1, "F", zydFieldOpNotNull, nullptr, true},
      {1, "F", zydFieldOpAll, &f, true},
      {2, "S", zydFieldOpNotEqualTo, "x", false},
      {2, "S", zydFieldOpAll, "x", false},
      {2, "S", zydFieldOpIsNull, nullptr, true},
      {2, "S", zydFieldOpNotNull, nullptr, false},
      {2, "S", zydFieldOpEqualTo, nullptr, false},
  };
  for (const Case& c : cases) {
    t->RowGet(c.row);
    EXPECT_EQ(t->FieldCompare(col(c.column), c.op, c.value), c.expected)
        << "row " << c.row << " " << c.column << " op " << int(c.op);
  }
  // Strings: Zebra > apple since letters are folded before comparing.
  EXPECT_TRUE(zydCompareValues(zydString, 10, "Zebra", "apple", zydFieldOpGreaterThan));
}

TEST_F(TableTest, RowsGetFindsLiveMatchesInOrder) {
  TZyDatabaseTable* t = Create("SCAN", {{"V", zydSignedInt32, 0, 0}});
  for (int32_t i = 1; i <= 1000; ++i) {
    t->RowAddBegin();
    Add<int32_t>(t, "V", i % 10, zydSignedInt32);
    t->RowAddEnd();
  }
  t->RowDelete(10);
  t->RowDelete(20);
  const int32_t zero = 0;
  auto rows = t->RowsGet("V", zydFieldOpEqualTo, &zero);
  ASSERT_EQ(rows->CountGet(), 98u);
  EXPECT_EQ(rows->ItemsGet(0), 30u);
  EXPECT_EQ(rows->ItemsGet(97), 1000u);
  EXPECT_EQ(rows->CapacityGet(), 100u);
  EXPECT_EQ(rows->ItemsGet(98), 0u);
  EXPECT_EQ(t->CurrentRowGet(), 0u);

  TZyDatabaseRows set;
  for (uint32_t i = 0; i < 250; ++i) set.Add(i + 1);
  EXPECT_EQ(set.CapacityGet(), 300u);
  set.ItemsSet(400, 9);  // beyond the count: nothing happens
  EXPECT_EQ(set.CountGet(), 250u);
}

TEST_F(TableTest, DatabaseSurvivesReopenWithCatalogue) {
  std::vector<std::string> notes;
  db_.Notify = [&](TZyDatabase*, TZyDatabaseNotifyActions a, TZyDatabaseNotifyObjects,
                   const std::string& name) {
    notes.push_back((a == zydNotifyCreate ? "create " : "load ") + name);
  };
  TZyDatabaseTable* t = Create("People", {{"ID", zydSignedInt32, zydColumnAutoNumber, 0},
                                          {"NAME", zydString, zydColumnNullable, 20},
                                          {"PHOTO", zydByte, 0, 16}});
  t->RowAddBegin();
  AddStr(t, "NAME", "Ann");
  Add<uint8_t>(t, "PHOTO", 9, zydUnsignedInt8);
  t->RowAddEnd();
  Create("Empty", {{"X", zydFloat10, 0, 0}});
  EXPECT_EQ(Table("SYS_OBJECTS")->RowCountGet(), 6u);     // 2 tables + 4 columns
  // ID: type, auto-number; NAME: type, size, nullable; PHOTO: type, size; X: type.
  EXPECT_EQ(Table("SYS_PROPERTIES")->RowCountGet(), 8u);
  EXPECT_EQ(Table("SYS_SETTINGS")->RowCountGet(), 7u);
  notes.clear();
  Reopen();
  EXPECT_EQ(notes, (std::vector<std::string>{"load SYS_OBJECTS", "load SYS_PROPERTIES",
                                             "load SYS_SETTINGS", "load People", "load Empty"}));
  TZyDatabaseTableList* list = db_.SysTables(zydSysKey);
  ASSERT_EQ(list->CountGet(), 5);
  t = Table("PEOPLE");
  ASSERT_EQ(t->ColumnsGet()->CountGet(), 3);
  TZyDatabaseColumn* id = t->ColumnsGet()->Get(0);
  TZyDatabaseColumn* name = t->ColumnsGet()->Get(1);
  TZyDatabaseColumn* photo = t->ColumnsGet()->Get(2);
  EXPECT_EQ(id->TypeGet(), zydSignedInt32);
  EXPECT_TRUE(id->AutoNumberGet());
  EXPECT_FALSE(id->NullableGet());
  EXPECT_EQ(name->TypeGet(), zydString);
  EXPECT_EQ(name->SizeGet(), 20u);
  EXPECT_TRUE(name->NullableGet());
  EXPECT_EQ(photo->SizeGet(), 16u);
  EXPECT_EQ(Display(t, 1, "NAME"), "Ann");
  EXPECT_EQ(Table("Empty")->ColumnsGet()->Get(0)->TypeGet(), zydFloat10);
  // The counter continues after a reopen.
  t->RowAddBegin();
  Add<uint8_t>(t, "PHOTO", 1, zydUnsignedInt8);
  EXPECT_EQ(t->RowAddEnd(), 2u);
}

TEST_F(TableTest, OpenRefusesWhatIsNotADatabase) {
  db_.Close();
  // Opening twice raises 0x80000705; Active=true on an open database does nothing.
  db_.Open(0);
  db_.OpenSet(true);
  try {
    db_.Open(0);
    FAIL();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000705u);
    EXPECT_EQ(e.TextGet(0), "The database is already open using " + path_);
  }
  db_.Close();
  try {
    db_.CheckOpen("TZyDatabase.TableAdd");
    FAIL();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.TextGet(0), "The database must be open before calling TZyDatabase.TableAdd");
  }
  // A compound file without the folders is refused with a clear error.
  {
    TZyVirtualDisk disk;
    disk.Open(path_, zydVirtualCreate | zydVirtualFolderUnlisted | zydVirtualDiskReadWrite);
    disk.FolderCreate(u"Tables");
  }
  try {
    db_.Open(0);
    FAIL();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000708u);
    EXPECT_NE(e.TextGet(0).find("Data"), std::string::npos);
  }
  EXPECT_FALSE(db_.Active());
  db_.Close();
  // A missing file fails in the storage service.
  db_.FileName = path_ + ".missing";
  try {
    db_.Open(0);
    FAIL();
  } catch (const EZyException& e) {
    EXPECT_EQ(e.MethodGet(0), "StgOpenStorage");
    EXPECT_EQ(e.CodeGet(0), 0x80030002u);
  }
  db_.Close();
  db_.FileName = path_;
  db_.Open(zydDatabaseCreate);
}

TEST_F(TableTest, FileReadsInAnIndependentTool) {
  Create("T", {{"A", zydSignedInt8, 0, 0}});
  db_.Close();
  const std::string script =
      "/usr/bin/python3 -c \"import olefile,sys; o=olefile.OleFileIO(sys.argv[1], "
      "raise_defects=olefile.DEFECT_INCORRECT); print(sorted('/'.join(e) for e in "
      "o.listdir(streams=True, storages=True)))\" " + path_;
  FILE* p = popen(script.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char out[1024] = {};
  const size_t n = fread(out, 1, sizeof out - 1, p);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(std::string(out, n),
            "['Root', 'Root/Data', 'Root/Tables', 'Root/Tables/SYS_OBJECTS.tbl', "
            "'Root/Tables/SYS_PROPERTIES.tbl', 'Root/Tables/SYS_SETTINGS.tbl', "
            "'Root/Tables/T.tbl']\n");
  db_.Open(0);
}

}  // namespace
