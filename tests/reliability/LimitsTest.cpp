// Values at and past the engine's size limits, end to end on a real file: column sizes, 10 MiB
// Text and Binary values, 10,000 rows in one result, 250 tables of 50 columns, and the SQL
// text limits (a 2047-character line, a 1,000-character identifier). Each either works and reads
// back exactly, or fails with a clear engine error and leaves the database usable.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyException.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/storage/ZyVirtualFile.h"
#include "platform/framework/Stream.h"
#include "tests/reliability/ReliabilityUtil.h"

namespace {

using namespace zyrel;

class LimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempPath(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                     ".zyd");
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
  void Exec(const std::string& sql) {
    TZyDatabaseQuery q(&db_);
    q.SQLGet().TextSet(sql);
    q.ExecSQL();
  }
  // The code of the error sql raises when prepared and run, 0 when it runs.
  uint32_t ErrorOf(const std::string& sql, std::string* text = nullptr) {
    TZyDatabaseQuery q(&db_);
    try {
      q.SQLGet().TextSet(sql);
      q.Open();
      return 0;
    } catch (const EZyException& e) {
      if (text) *text = e.TextGet(0);
      return e.CodeGet(0);
    }
  }
  std::string path_;
  TZyDatabase db_;
};

TEST_F(LimitsTest, StringAndByteSizesAtAndPastTheRecordLimit) {
  // One-character columns and a 64 KiB String hold exactly what fits and cut the rest.
  TZyDatabaseTable* t = CreateTable(db_, "SIZES", {{"S1", zydString, 0, 1},
                                                   {"B1", zydByte, 0, 1},
                                                   {"BIG", zydString, 0, 65536}});
  const std::string big(70000, 'q');
  t->RowAddBegin();
  t->RowAddField("S1", "xyz", zydString, 3);
  const uint8_t b = 0xAB;
  t->RowAddField("B1", &b, zydUnsignedInt8, 1);
  t->RowAddField("BIG", big.c_str(), zydString, int32_t(big.size()));
  t->RowAddEnd();
  Reopen();
  t = FindTable(db_, "SIZES");
  std::vector<char> buffer(65538, 0);
  bool isNull;
  TZyDatabaseColumnTypes type;
  t->FieldGetData(1, "S1", buffer.data(), &isNull, &type);
  EXPECT_EQ(std::string(buffer.data()), "x");
  t->FieldGetData(1, "B1", buffer.data(), &isNull, &type);
  EXPECT_EQ(uint8_t(buffer[0]), 0xAB);
  EXPECT_EQ(type, zydUnsignedInt8);
  t->FieldGetData(1, "BIG", buffer.data(), &isNull, &type);
  EXPECT_EQ(std::string(buffer.data()), big.substr(0, 65536));

  // A row longer than the record limit is refused before anything is made.
  for (const char* sql : {"CREATE TABLE HUGE (A SignedInt32, B String(2147483647))",
                          "CREATE TABLE HUGE (A Byte(2147483647))",
                          "CREATE TABLE HUGE (A String(2000000000), B String(2000000000))"}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(ErrorOf(sql), 0x80000303u);
    EXPECT_EQ(FindTable(db_, "HUGE"), nullptr);
  }
  Reopen();
  EXPECT_EQ(FindTable(db_, "HUGE"), nullptr);
  EXPECT_NE(FindTable(db_, "SIZES"), nullptr);
}

TEST_F(LimitsTest, TenMebibyteTextAndBinaryValuesReadBackExactly) {
  TZyDatabaseTable* t = CreateTable(db_, "BLOBS", {{"M", zydText, zydColumnNullable, 0},
                                                   {"X", zydBinary, zydColumnNullable, 0}});
  std::string text(10 << 20, 'a');
  for (size_t i = 0; i < text.size(); i += 4093) text[i] = char('b' + i % 20);
  zyfw::TMemoryStream binary;
  binary.Bytes().resize(10 << 20);
  for (size_t i = 0; i < binary.Bytes().size(); ++i) binary.Bytes()[i] = uint8_t(i * 7 + (i >> 12));
  t->RowAddBegin();
  t->RowAddField("M", text.c_str(), zydText, -1);
  t->RowAddField("X", &binary, zydBinary, -1);
  t->RowAddEnd();
  Reopen();
  t = FindTable(db_, "BLOBS");
  uint64_t keys[2];
  bool isNull;
  TZyDatabaseColumnTypes type;
  t->FieldGetData(1, "M", &keys[0], &isNull, &type);
  t->FieldGetData(1, "X", &keys[1], &isNull, &type);
  EXPECT_TRUE(t->FieldGetString(nullptr, keys[0]) == text);
  std::unique_ptr<TZyVirtualFile> file = t->FieldGetFile(keys[1]);
  ASSERT_EQ(file->FileSizeGet(), int64_t(binary.Bytes().size()));
  std::vector<uint8_t> back(binary.Bytes().size());
  file->ReadBuffer(back.data(), int32_t(back.size()));
  EXPECT_TRUE(back == binary.Bytes());
}

TEST_F(LimitsTest, TenThousandRowsInOneResult) {
  TZyDatabaseTable* t = CreateTable(db_, "MANY", {{"N", zydSignedInt32, 0, 0},
                                                  {"S", zydString, 0, 8}});
  for (int32_t n = 1; n <= 10000; ++n) {
    t->RowAddBegin();
    t->RowAddField("N", &n, zydSignedInt32, 4);
    t->RowAddField("S", "row", zydString, 3);
    t->RowAddEnd();
  }
  Reopen();
  TZyDatabaseQuery q(&db_);
  q.SQLGet().TextSet("SELECT N, S FROM MANY");
  q.Open();
  int64_t count = 0, sum = 0;
  for (bool on = q.First(); on; on = q.Next()) {
    ++count;
    sum += q.FieldByName("N")->AsSignedInt64();
  }
  EXPECT_EQ(count, 10000);
  EXPECT_EQ(sum, 10000LL * 10001 / 2);
  EXPECT_EQ(q.RecordCountGet(), 10000u);
  EXPECT_TRUE(q.Last());
  EXPECT_EQ(q.FieldByName("N")->AsSignedInt64(), 10000);
}

TEST_F(LimitsTest, TwoHundredFiftyTablesOfFiftyColumns) {
  for (int t = 0; t < 250; ++t) {
    std::string sql = "CREATE TABLE T" + std::to_string(t) + " (";
    for (int c = 0; c < 50; ++c)
      sql += (c ? ", C" : "C") + std::to_string(c) + (c % 5 == 4 ? " String(10) NULL" : " SignedInt32 NULL");
    Exec(sql + ")");
    Exec("INSERT INTO T" + std::to_string(t) + " (C0, C49) VALUES (" + std::to_string(t) + ", 'x')");
  }
  Reopen();
  EXPECT_EQ(db_.SysTables(zydSysKey)->CountGet(), 253);
  for (int t = 0; t < 250; t += 7) {
    SCOPED_TRACE(t);
    TZyDatabaseTable* table = FindTable(db_, "T" + std::to_string(t));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->ColumnsGet()->CountGet(), 50);
    TZyDatabaseQuery q(&db_);
    q.SQLGet().TextSet("SELECT C0, C49 FROM T" + std::to_string(t));
    q.Open();
    ASSERT_TRUE(q.First());
    EXPECT_EQ(q.FieldByName("C0")->AsSignedInt64(), t);
    EXPECT_EQ(q.FieldByName("C49")->AsString(), "x");
    EXPECT_FALSE(q.Next());
  }
}

TEST_F(LimitsTest, SqlLinesAndIdentifiersAtTheScannerLimits) {
  Exec("CREATE TABLE L (A SignedInt32)");
  // A line of 2047 characters prepares; one more character overflows the scanner's buffer.
  std::string line = "SELECT A FROM L";
  line.resize(2047, ' ');
  std::string text;
  EXPECT_EQ(ErrorOf(line), 0u);
  EXPECT_EQ(ErrorOf(line + " ", &text), 0x80000502u);
  EXPECT_EQ(text, "input buffer overflow");
  // The same length over several lines is fine.
  EXPECT_EQ(ErrorOf("SELECT A\r\n" + std::string(2000, ' ') + "\r\nFROM L" + std::string(2000, ' ')), 0u);
  // A 1,000-character identifier is scanned and then refused as an unknown table; one past the
  // scanner's match stack is refused by the scanner itself.
  EXPECT_EQ(ErrorOf("SELECT A FROM " + std::string(1000, 'T')), 0x80000505u);
  EXPECT_EQ(ErrorOf("SELECT A FROM " + std::string(1024, 'T'), &text), 0x80000502u);
  EXPECT_EQ(text, "match stack overflow");
  // Nothing of this touched the database.
  EXPECT_EQ(ErrorOf("SELECT A FROM L"), 0u);
}

}  // namespace
