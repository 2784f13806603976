// Statement validation through the query's prepare step: names bound to the catalogue, literals
// converted into value buffers of the column types, parameters created in their order, SYS_ROWID
// recognised, and every refusal with its code, module, method and text.
#include <cstring>

#include "engine/foundation/ZyErrors.h"
#include "engine/sql/ZyDatabaseValidate.h"
#include "platform/framework/Convert.h"
#include "tests/query/QueryTestUtil.h"

namespace zyquerytest {
namespace {

std::string Hex(const uint8_t* p, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

class ValidateTest : public QueryTest {
 protected:
  void SetUp() override {
    QueryTest::SetUp();
    Exec("CREATE TABLE T (A SignedInt32, B String(3) NULL, C Float4 NULL)");
    Exec("CREATE TABLE OTHER (X SignedInt8, N SignedInt32)");
    Exec("CREATE TABLE V (I8 SignedInt8 NULL, U16 UnsignedInt16 NULL, I64 SignedInt64 NULL, "
         "F4 Float4 NULL, F8 Float8 NULL, F10 Float10 NULL, BO Boolean NULL, CU Currency NULL, "
         "DT DateTime NULL, S String(10) NULL, S3 String(3) NULL, BY Byte(4) NULL, TX Text NULL, "
         "BI Binary NULL, L String(100) NULL)");
  }
  // The statement of sql, prepared; the query keeps it.
  TZyDatabaseParsedSQL& Prepared(const std::string& sql) {
    query_ = Query(sql);
    query_->Prepare();
    return *query_->ParsedSQLGet();
  }
  std::unique_ptr<TZyDatabaseQuery> query_;
};

TEST_F(ValidateTest, RefusalsCarryTheirCodeModuleMethodAndText) {
  struct Case {
    const char* sql;
    uint32_t code;
    const char* module;
    const char* method;
    const char* text;
  };
  const Case cases[] = {
      {"SELECT A FROM NOPE", 0x80000505, zydModValidate, "zydValidate",
       "The table or alias 'NOPE' does not exist"},
      // X is a column of another table only.
      {"SELECT X FROM T", 0x80000506, zydModValidate, "FieldFind", "The field 'X' does not exist"},
      {"SELECT A FROM T WHERE (A = 1 OR Q = 2)", 0x80000506, zydModValidate, "FieldFind",
       "The field 'Q' does not exist"},
      {"UPDATE T SET Q = 1", 0x80000506, zydModValidate, "FieldFind",
       "The field 'Q' does not exist"},
      {"INSERT INTO T VALUES (1, 'a')", 0x80000511, zydModValidate, "zydValidate",
       "The number of fields does not equal the number of values"},
      {"INSERT INTO T (A, B) VALUES (1)", 0x80000511, zydModValidate, "zydValidate",
       "The number of fields does not equal the number of values"},
      // SYS_ROWID is a name only in a WHERE clause.
      {"UPDATE T SET SYS_ROWID = 1", 0x80000506, zydModValidate, "FieldFind",
       "The field 'SYS_ROWID' does not exist"},
      {"SELECT SYS_ROWID FROM T", 0x80000506, zydModValidate, "FieldFind",
       "The field 'SYS_ROWID' does not exist"},
      {"INSERT INTO T (SYS_ROWID) VALUES (1)", 0x80000506, zydModValidate, "FieldFind",
       "The field 'SYS_ROWID' does not exist"},
      // "*" passes the syntax check as a name, but no comparison can use it.
      {"SELECT A FROM T WHERE * = 1", 0x80000506, zydModValidate, "FieldFind",
       "The field '*' does not exist"},
      {"UPDATE T SET A = :v WHERE A = :w OR B = :v", 0x80000102, zydModGenericList,
       "TZyDatabaseGenericList.Add", "That name has already been used"},
      {"INSERT INTO T (A, B, C, A) VALUES (1, 2, 3, 4)", 0x80000102, zydModGenericList,
       "TZyDatabaseGenericList.Add", "That name has already been used"},
      {"SELECT A FROM T WHERE A = 1.5", 0x80000509, zydModParserObjects,
       "TZyDatabaseParsedCriteria.ColumnSet", "The field 'A' cannot be compared to '1.5'"},
      {"UPDATE T SET A = 'one'", 0x80000509, zydModParserObjects,
       "TZyDatabaseParsedCriteria.ColumnSet", "The field 'A' cannot be compared to 'one'"},
      {"INSERT INTO V (TX) VALUES ('x')", 0x80000508, zydModParserObjects,
       "TZyDatabaseParsedCriteria.ColumnSet", "Text and Binary fields cannot be used in where clauses"},
      {"UPDATE V SET BI = 'x'", 0x80000508, zydModParserObjects,
       "TZyDatabaseParsedCriteria.ColumnSet", "Text and Binary fields cannot be used in where clauses"},
      {"SELECT TX FROM V WHERE TX = 'x'", 0x80000508, zydModParserObjects,
       "TZyDatabaseParsedCriteria.ColumnSet", "Text and Binary fields cannot be used in where clauses"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    auto q = Query(c.sql);
    ExpectError(Raised([&] { q->Prepare(); }), c.code, c.module, c.method, c.text);
    EXPECT_FALSE(q->PreparedGet());
  }
}

TEST_F(ValidateTest, LiteralsBecomeValuesOfTheColumnType) {
  struct Case {
    const char* condition;
    const char* bytes;  // the column's bytes of Data, in hex
    int64_t dataSize;
  };
  const Case cases[] = {
      {"I8 = 300", "2C", 8},  // low-order byte, no range check
      {"I8 = -1", "FF", 8},
      {"U16 = 65537", "0100", 8},
      {"I64 = -2", "FEFFFFFFFFFFFFFF", 8},
      {"I64 = '+7'", "0700000000000000", 8},  // one sign is accepted
      {"F4 = 1.5", "0000C03F", 10},
      {"F8 = 0.5", "000000000000E03F", 10},
      {"F10 = 1", "0000000000000080FF3F", 10},
      {"BO = TRUE", "01", 1},
      {"BO = 'tRuE'", "01", 1},
      {"BO = FALSE", "00", 1},
      {"BO = 5", "00", 1},
      {"CU = 1.5", "983A000000000000", 8},
      {"CU = '-0.0001'", "FFFFFFFFFFFFFFFF", 8},
      {"DT = '12/31/1899'", "000000000000F03F", 8},  // day 1
      {"DT = '1899-12-30 12:00'", "000000000000E03F", 8},
      {"S3 = 'abcdef'", "616263", 3},
      {"S = 'It''s'", "49742773000000000000", 4},
      {"S = ''''", "27000000000000000000", 1},  // one quote, written doubled
      {"BY = 'ab'", "61620000", 2},  // the characters, not a decoded form
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.condition);
    TZyDatabaseParsedSQL& s = Prepared(std::string("SELECT I8 FROM V WHERE ") + c.condition);
    const TZyDatabaseParsedCriteria* w = s.WhereCriteriaGet().Get(0);
    ASSERT_NE(w->ColumnGet(), nullptr);
    ASSERT_NE(w->DataGet(), nullptr);
    const size_t size = w->ColumnGet()->SizeGet();
    EXPECT_EQ(Hex(w->DataGet(), size), std::string(c.bytes).substr(0, 2 * size));
    EXPECT_EQ(w->DataSizeGet(), c.dataSize);
    EXPECT_EQ(w->CategoryGet(), w->ColumnGet()->CategoryGet());
    EXPECT_EQ(w->TableName2Get(), "V");
    EXPECT_GE(w->DataCapacityGet(), size + 1);
    if (w->CategoryGet() == zydCategoryString || w->CategoryGet() == zydCategoryByte) {
      EXPECT_EQ(w->DataGet()[size], 0);  // the characters end with a zero byte
    }
  }

  // The token keeps its doubled quote; the value is the text meant.
  TZyDatabaseParsedSQL& s = Prepared("SELECT I8 FROM V WHERE S = 'It''s'");
  EXPECT_EQ(s.WhereCriteriaGet().Get(0)->ValueGet(), "It''s");
  EXPECT_STREQ(reinterpret_cast<const char*>(s.WhereCriteriaGet().Get(0)->DataGet()), "It's");
  // A value too long for the criterion's own room goes to a buffer of its own, just as whole.
  const std::string longText(90, 'q');
  TZyDatabaseParsedSQL& l = Prepared("SELECT I8 FROM V WHERE L = '" + longText + "'");
  EXPECT_GE(l.WhereCriteriaGet().Get(0)->DataCapacityGet(), 101u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(l.WhereCriteriaGet().Get(0)->DataGet())),
            longText);
  // A literal in a Byte column is stored tagged as a String.
  EXPECT_EQ(Prepared("SELECT I8 FROM V WHERE BY = 'ab'").WhereCriteriaGet().Get(0)->DataTypeGet(),
            zydString);
  // A Float4 of 1.5 is 4 bytes of float in a buffer reported as 10 bytes long.
  float f;
  std::memcpy(&f, Prepared("SELECT I8 FROM V WHERE F4 = 1.5").WhereCriteriaGet().Get(0)->DataGet(),
              sizeof f);
  EXPECT_EQ(f, 1.5f);
}

TEST_F(ValidateTest, LiteralsThatDoNotConvert) {
  const char* const cases[][2] = {
      {"I8 = 'x'", "x"},
      {"I64 = '--5'", "--5"},  // two signs
      {"I64 = 9223372036854775808", "9223372036854775808"},
      {"U16 = TRUE", "TRUE"},
      {"F4 = '1e39'", "1e39"},  // beyond a Float4: it would compare as an infinity
      {"F8 = '1e309'", "1e309"},
      {"F10 = 'abc'", "abc"},
      {"CU = '1,5'", "1,5"},
      {"DT = '02/30/2021'", "02/30/2021"},
      {"DT = 5", "5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    auto q = Query(std::string("SELECT I8 FROM V WHERE ") + c[0]);
    const std::string field = std::string(c[0]).substr(0, std::string(c[0]).find(' '));
    ExpectError(Raised([&] { q->Prepare(); }), 0x80000509, zydModParserObjects,
                "TZyDatabaseParsedCriteria.ColumnSet",
                "The field '" + field + "' cannot be compared to '" + c[1] + "'");
  }
  // A Float10 holds what a Float8 cannot.
  EXPECT_NO_THROW(Prepared("SELECT I8 FROM V WHERE F10 = '1e309'"));
}

TEST_F(ValidateTest, NullAndParametersGetNoConvertedValue) {
  // IS NULL binds any column, Text and Binary included, without a value buffer.
  TZyDatabaseParsedSQL& s =
      Prepared("SELECT I8 FROM V WHERE TX IS NULL AND BI IS NOT NULL OR I8 IS NULL");
  for (int32_t i = 0; i < 3; ++i) {
    const TZyDatabaseParsedCriteria* w = s.WhereCriteriaGet().Get(i);
    EXPECT_NE(w->ColumnGet(), nullptr);
    EXPECT_TRUE(w->IsNullGet());
    EXPECT_EQ(w->DataGet(), nullptr);
  }
  EXPECT_EQ(s.WhereCriteriaGet().Get(0)->CategoryGet(), zydCategoryRaw);
  // A parameter gets an empty buffer and a parameter object; it is null until set.
  TZyDatabaseParsedSQL& p = Prepared("INSERT INTO V (TX, S) VALUES (:Memo, :s)");
  ASSERT_EQ(p.ParamsGet().CountGet(), 2);
  EXPECT_EQ(p.ParamsGet().Get(0)->NameGet(), "Memo");
  EXPECT_TRUE(p.ParamsGet().Get(0)->NullGet());
  EXPECT_EQ(p.ParamsGet().Get(0)->CriteriaGet(), p.ValueCriteriaGet().Get(0));
  EXPECT_NE(p.ValueCriteriaGet().Get(1)->DataGet(), nullptr);
  EXPECT_EQ(p.ValueCriteriaGet().Get(1)->DataGet()[0], 0);
}

TEST_F(ValidateTest, ParametersAreNumberedSetThenWhereThenValues) {
  TZyDatabaseParsedSQL& s =
      Prepared("UPDATE T SET B = :b, A = :a WHERE (C = :c OR (A < :w)) AND B IS NULL OR A = :Z");
  std::string names;
  for (int32_t i = 0; i < s.ParamsGet().CountGet(); ++i) names += s.ParamsGet().Get(i)->NameGet();
  EXPECT_EQ(names, "bacwZ");
  EXPECT_EQ(s.ParamsGet().Find("z"), s.ParamsGet().Get(4));
  TZyDatabaseParsedSQL& v = Prepared("INSERT INTO T (C, A) VALUES (:first, :second)");
  EXPECT_EQ(v.ParamsGet().Get(0)->NameGet(), "first");
  EXPECT_EQ(v.ParamsGet().Get(0)->ColumnTypeGet(), zydFloat4);
  EXPECT_EQ(v.ParamsGet().Get(1)->ColumnTypeGet(), zydSignedInt32);
}

TEST_F(ValidateTest, InsertWithoutFieldListNamesEveryColumn) {
  TZyDatabaseParsedSQL& s = Prepared("INSERT INTO other VALUES (1, :n)");
  ASSERT_EQ(s.FieldsGet().CountGet(), 2);
  EXPECT_EQ(s.FieldsGet().Get(0)->NameGet(), "X");
  EXPECT_EQ(s.FieldsGet().Get(1)->NameGet(), "N");
  for (int32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(s.FieldsGet().Get(i)->TableNameGet(), "OTHER");
    EXPECT_EQ(s.FieldsGet().Get(i)->ColumnGet(), Table("OTHER")->ColumnsGet()->Get(i));
    EXPECT_EQ(s.ValueCriteriaGet().Get(i)->FieldNameGet(), s.FieldsGet().Get(i)->NameGet());
    EXPECT_EQ(s.ValueCriteriaGet().Get(i)->ColumnGet(), Table("OTHER")->ColumnsGet()->Get(i));
  }
  EXPECT_EQ(s.ParamsGet().Get(0)->NameGet(), "n");
}

TEST_F(ValidateTest, StarBindsNothingOfItsOwn) {
  TZyDatabaseParsedSQL& all = Prepared("SELECT * FROM T");
  EXPECT_EQ(all.FieldsGet().Get(0)->ColumnGet(), nullptr);
  TZyDatabaseParsedSQL& s = Prepared("SELECT B, * FROM T");
  EXPECT_EQ(s.FieldsGet().Get(1)->ColumnGet(), Table("T")->ColumnsGet()->Get(1));
  EXPECT_EQ(s.FieldsGet().Get(1)->TableNameGet(), "T");
}

TEST_F(ValidateTest, SysRowIdNamesARowInTheWhereClauseOnly) {
  struct Case {
    const char* where;
    int32_t rowId;
  };
  const Case cases[] = {
      {"SYS_ROWID > 12", 12},  // the operator is not looked at
      {"SYS_ROWID = '7'", 7},
      {"A = 1 OR (B IS NULL AND SYS_ROWID = 5)", 5},
      {"SYS_ROWID = 3 AND SYS_ROWID = 4", 4},  // the later one wins
      {"SYS_ROWID = 3 AND SYS_ROWID = 'x'", 0},
      {"SYS_ROWID = 99999999999", 0},  // not a 32-bit number
      {"SYS_ROWID IS NULL", 0},
      {"A = 1", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    TZyDatabaseParsedSQL& s = Prepared(std::string("DELETE FROM T WHERE ") + c.where);
    EXPECT_EQ(s.RowIdGet(), c.rowId);
    EXPECT_EQ(s.ParamsGet().CountGet(), 0);
  }
  TZyDatabaseParsedSQL& s = Prepared("DELETE FROM T WHERE SYS_ROWID = :r");
  EXPECT_EQ(s.ParamsGet().CountGet(), 0);  // no parameter, no binding
  EXPECT_EQ(s.WhereCriteriaGet().Get(0)->ColumnGet(), nullptr);
  EXPECT_EQ(s.WhereCriteriaGet().Get(0)->DataGet(), nullptr);
}

TEST_F(ValidateTest, QualifiersTablesAndFieldCriteriaByHand) {
  TZyTokenList none;
  {
    TZyDatabaseParsedSQL s(none);
    ExpectError(Raised([&] { zydValidate(db_, s); }), 0x80000510, zydModValidate, "zydValidate",
                "There must be at least one table specified in the statement");
    s.TableAdd("T", "T");
    s.TableAdd("OTHER", "O");
    ExpectError(Raised([&] { zydValidate(db_, s); }), 0x80000507, zydModValidate, "zydValidate",
                "Joins are not supported in this version of ZyDatabase");
  }
  TZyDatabaseParsedSQL s(none);
  s.TableAdd("T", "TT");
  const TZyValidateTable tables = zydValidateTableFind(db_, s);
  ASSERT_NE(tables.Name, nullptr);
  TZyDatabaseColumn* column = nullptr;
  std::string table;
  // The qualifier may be the table's name or its alias, letter case aside.
  for (const char* alias : {"T", "tt", ""}) {
    column = nullptr;
    FieldFind(tables, s, "b", alias, column, table);
    EXPECT_EQ(column, Table("T")->ColumnsGet()->Get(1));
    EXPECT_EQ(table, "T");
  }
  ExpectError(Raised([&] { FieldFind(tables, s, "B", "OTHER", column, table); }), 0x80000505,
              zydModValidate, "FieldFind", "The table or alias 'OTHER' does not exist");
  // "*" sets nothing.
  column = nullptr;
  table = "kept";
  FieldFind(tables, s, "*", "", column, table);
  EXPECT_EQ(column, nullptr);
  EXPECT_EQ(table, "kept");

  // A field criterion resolves both names and binds no column.
  s.CriteriaAdd(zydLogicNone, "A", "", zydFieldOpLessThan, "C", "");
  zydValidate(db_, s);
  EXPECT_EQ(s.WhereCriteriaGet().Get(0)->TableName2Get(), "T");
  EXPECT_EQ(s.WhereCriteriaGet().Get(0)->ColumnGet(), nullptr);
  s.CriteriaAdd(zydLogicAnd, "A", "", zydFieldOpLessThan, "X", "");
  ExpectError(Raised([&] { zydValidate(db_, s); }), 0x80000506, zydModValidate, "FieldFind",
              "The field 'X' does not exist");
}

TEST_F(ValidateTest, WhatWasBoundBeforeAnErrorStaysBound) {
  auto q = Query("SELECT A FROM T WHERE A = 1 AND B = :p AND Q = 2");
  EXPECT_THROW(q->Prepare(), EZyException);
  EXPECT_FALSE(q->PreparedGet());
  TZyDatabaseParsedSQL* s = q->ParsedSQLGet();
  ASSERT_NE(s, nullptr);
  EXPECT_NE(s->WhereCriteriaGet().Get(0)->ColumnGet(), nullptr);
  EXPECT_NE(s->WhereCriteriaGet().Get(0)->DataGet(), nullptr);
  EXPECT_EQ(s->ParamsGet().CountGet(), 1);
  EXPECT_EQ(s->WhereCriteriaGet().Get(2)->ColumnGet(), nullptr);
  // A later prepare of a corrected text starts afresh.
  q->SQLGet().TextSet("SELECT A FROM T WHERE B = :p");
  q->Prepare();
  EXPECT_TRUE(q->PreparedGet());
  EXPECT_EQ(q->ParamsGet().CountGet(), 1);
}

}  // namespace
}  // namespace zyquerytest
