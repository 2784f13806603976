// The query object: prepare and its guards, the five statement kinds, the WHERE clause read
// strictly left to right, parameters and fields looked up by name, and what survives a failure.
#include <cstring>

#include "engine/foundation/ZyErrors.h"
#include "engine/sql/ZyDatabaseLexSQL.h"
#include "engine/sql/ZyDatabaseParseSQL.h"
#include "platform/framework/Exception.h"
#include "platform/framework/Stream.h"
#include "tests/query/QueryTestUtil.h"

namespace zyquerytest {
namespace {

using Ids = std::vector<uint32_t>;
using Texts = std::vector<std::string>;

// W: six rows of three small integers, C nullable.
//   row  A  B  C
//   1    1  0  3
//   2    0  2  3
//   3    0  2  0
//   4    1  0  0
//   5    0  0  3
//   6    1  2  NULL
class StatementTest : public QueryTest {
 protected:
  void SetUp() override {
    QueryTest::SetUp();
    Exec("CREATE TABLE W (A SignedInt32, B SignedInt16, C SignedInt64 NULL)");
    for (const char* values : {"1, 0, 3", "0, 2, 3", "0, 2, 0", "1, 0, 0", "0, 0, 3"})
      Exec(std::string("INSERT INTO W VALUES (") + values + ")");
    Exec("INSERT INTO W (A, B) VALUES (1, 2)");  // NULL is no literal: C is left out
  }
  Ids Where(const std::string& condition) { return RowIds("SELECT * FROM W WHERE " + condition); }
};

TEST_F(StatementTest, PrepareNeedsAnOpenDatabaseAndAcceptedText) {
  TZyDatabaseQuery q;
  q.SQLGet().TextSet("SELECT A FROM W");
  ExpectError(Raised([&] { q.Prepare(); }), 0x80000400, zydModQuery, "TZyDatabaseQuery.Prepare",
              "A database must be assigned to this query");
  TZyDatabase closed;
  q.DatabaseSet(&closed);
  ExpectError(Raised([&] { q.Open(); }), 0x80000706, zydModQuery, "TZyDatabaseQuery.Prepare",
              "The database must be open before calling TZyDatabaseQuery.Prepare");

  // The syntax check's own message, and the whole text (lines joined with CR LF) as details.
  q.DatabaseSet(&db_);
  q.SQLGet().Clear();
  q.SQLGet().Add("SELECT A");
  q.SQLGet().Add("FROM W WHERE A = = 1");
  const std::string text = "SELECT A\r\nFROM W WHERE A = = 1";
  TZyLexSQL lexer;
  TZyParseSQL checker;
  checker.Lexer = &lexer;
  lexer.Input.TextSet(text);
  ASSERT_NE(checker.yyparse(), 0);
  EXPECT_NE(checker.ErrorText.find("line 2"), std::string::npos);
  ExpectError(Raised([&] { q.Prepare(); }), 0x80000502, zydModQuery, "TZyDatabaseQuery.Prepare",
              checker.ErrorText, text);
  EXPECT_FALSE(q.PreparedGet());
  EXPECT_EQ(q.ParsedSQLGet(), nullptr);

  // Prepared once, a statement is not prepared again; unprepared, it goes.
  q.SQLGet().TextSet("SELECT A FROM W");
  q.Prepare();
  TZyDatabaseParsedSQL* statement = q.ParsedSQLGet();
  q.Prepare();
  EXPECT_EQ(q.ParsedSQLGet(), statement);
  EXPECT_EQ(q.TableGet(), Table("W"));
  q.Unprepare();
  EXPECT_FALSE(q.PreparedGet());
  EXPECT_EQ(q.ParsedSQLGet(), nullptr);
}

TEST_F(StatementTest, ChangingTheTextClosesUnpreparesAndForgetsParameterValues) {
  auto q = Query("SELECT A FROM W WHERE A = :a");
  q->ParamByName("a")->SignedInt32Set(1);
  q->Open();
  ASSERT_TRUE(q->First());
  q->SQLGet().TextSet("SELECT A FROM W WHERE A = :a");
  EXPECT_FALSE(q->ActiveGet());
  EXPECT_FALSE(q->PreparedGet());
  EXPECT_EQ(q->FieldsGet().CountGet(), 0);
  EXPECT_TRUE(q->ParamByName("A")->NullGet());
  // A null parameter compares like NULL: no row has A = NULL.
  q->Open();
  EXPECT_FALSE(q->First());
  // Unprepare closes an open result first: it reads the statement at every move.
  q->ParamByName("a")->SignedInt32Set(0);
  q->Open();
  q->Unprepare();
  EXPECT_FALSE(q->ActiveGet());
  ExpectError(Raised([&] { q->Next(); }), 0x80000403, zydModQuery, "TZyDatabaseQuery.Next",
              "The query must be active before calling TZyDatabaseQuery.Next");
}

TEST(QueryText, LinesAreKeptJoinedAndEveryChangeIsAnnounced) {
  TZyStrings sql;
  int changes = 0;
  sql.OnChange = [&] { ++changes; };
  sql.TextSet("SELECT A\rFROM T\nWHERE A = 1\r\n");
  EXPECT_EQ(sql.CountGet(), 3);
  EXPECT_EQ(sql.TextGet(), "SELECT A\r\nFROM T\r\nWHERE A = 1");
  EXPECT_EQ(sql.StringsGet(1), "FROM T");
  EXPECT_EQ(sql.StringsGet(2), "WHERE A = 1");
  sql.Add("");
  sql.Add("AND B = 2\nOR C = 3");
  EXPECT_EQ(sql.CountGet(), 6);
  EXPECT_EQ(sql.StringsGet(3), "");
  EXPECT_EQ(sql.StringsGet(5), "OR C = 3");
  EXPECT_THROW(sql.StringsGet(6), zyfw::EListError);
  EXPECT_THROW(sql.StringsGet(-1), zyfw::EListError);
  sql.Clear();
  EXPECT_EQ(sql.CountGet(), 0);
  EXPECT_EQ(sql.TextGet(), "");
  sql.TextSet("\r\n\r\nx");  // empty lines count as lines
  EXPECT_EQ(sql.CountGet(), 3);
  EXPECT_EQ(changes, 5);
}

TEST_F(StatementTest, ParametersAndFieldsByName) {
  auto none = Query("SELECT A FROM W");
  ExpectError(Raised([&] { none->ParamByName("x"); }), 0x80000401, zydModQuery,
              "TZyDatabaseQuery.ParamByName", "The 'x' parameter was not found",
              "There are not parameters in this query.\r\n\r\nRemember that parameters are are "
              "preceded by a : in the SQL statement.  They act as placeholders for data that "
              "will be inserted using the ParamByName method.");
  EXPECT_TRUE(none->PreparedGet());  // looking a parameter up prepares
  auto two = Query("SELECT A FROM W WHERE A = :a OR B = :Bee");
  ExpectError(Raised([&] { two->ParamByName("c"); }), 0x80000401, zydModQuery,
              "TZyDatabaseQuery.ParamByName", "The 'c' parameter was not found",
              "Valid parameters in this query include:  a, Bee");
  EXPECT_EQ(two->ParamByName("bee"), two->ParamsGet().Get(1));

  ExpectError(Raised([&] { two->FieldByName("A"); }), 0x80000403, zydModQuery,
              "TZyDatabaseQuery.ParamByName",
              "The query must be active before calling TZyDatabaseQuery.ParamByName");
  two->Open();
  EXPECT_EQ(two->FieldByName("a"), two->FieldsGet().Get(0));
  ExpectError(Raised([&] { two->FieldByName("B"); }), 0x80000402, zydModQuery,
              "TZyDatabaseQuery.ParamByName", "The 'B' field was not found");
}

TEST_F(StatementTest, ResultFieldsFollowTheFieldList) {
  struct Case {
    const char* fields;
    const char* names;
  };
  const Case cases[] = {
      {"*", "A B C"},
      {"C, A", "C A"},
      // Beside other names "*" adds the columns not listed yet; each column shows once.
      {"B, *", "B A C"},
      {"*, C", "A B C"},
      {"A, *, B", "A B C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields);
    auto q = Query(std::string("SELECT ") + c.fields + " FROM W");
    q->Open();
    std::string names;
    for (int32_t i = 0; i < q->FieldsGet().CountGet(); ++i)
      names += (i ? " " : "") + q->FieldsGet().Get(i)->NameGet();
    EXPECT_EQ(names, c.names);
  }
  ExpectError(Raised([&] { Query("SELECT A, B, a FROM W")->Prepare(); }), 0x80000102,
              zydModGenericList, "TZyDatabaseGenericList.Add", "That name has already been used");
}

TEST_F(StatementTest, WhereIsReadStrictlyFromLeftToRight) {
  struct Case {
    const char* condition;
    Ids rows;
  };
  const Case cases[] = {
      // (A = 1 OR B = 2) AND C = 3: AND does not bind tighter than OR.
      {"A = 1 OR B = 2 AND C = 3", {1, 2}},
      // (C = 3 AND A = 1) OR B = 2
      {"C = 3 AND A = 1 OR B = 2", {1, 2, 3, 6}},
      {"A = 1 OR (B = 2 AND C = 3)", {1, 2, 4, 6}},
      {"(A = 1 OR B = 2) AND (C = 0 OR C IS NULL)", {3, 4, 6}},
      {"((A = 1))", {1, 4, 6}},
      {"C IS NULL", {6}},
      {"C IS NOT NULL", {1, 2, 3, 4, 5}},
      {"C <> 3", {3, 4}},  // a null is not unequal either
      {"C >= 1 AND B < 2", {1, 5}},
      {"A = 0 AND B = 0 OR A = 1 AND C = 0", {4}},
      // A SYS_ROWID criterion names no column: no comparison holds, and a row number is never
      // null.
      {"SYS_ROWID = 2", {}},
      {"SYS_ROWID IS NOT NULL", {1, 2, 3, 4, 5, 6}},
      {"SYS_ROWID IS NULL", {}},
      {"A = 1 AND SYS_ROWID IS NOT NULL", {1, 4, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.condition);
    EXPECT_EQ(Where(c.condition), c.rows);
  }
  EXPECT_EQ(RowIds("SELECT A FROM W"), (Ids{1, 2, 3, 4, 5, 6}));
}

TEST_F(StatementTest, NullParametersMatchNothing) {
  // An unset parameter is null: it must not match the zeros of its fresh buffer, nor, once set
  // to null, the value it held before.
  auto q = Query("SELECT * FROM W WHERE C = :c");
  q->Open();
  EXPECT_FALSE(q->First());
  q->ParamByName("c")->SignedInt64Set(3);
  q->Open();
  EXPECT_TRUE(q->Last());
  EXPECT_EQ(q->RecordCountGet(), 3u);
  q->ParamByName("c")->NullSet(true);
  q->Open();
  EXPECT_FALSE(q->First());
  q->ParamByName("c")->NullSet(false);
  q->Open();
  EXPECT_TRUE(q->First());
}

TEST_F(StatementTest, DeleteSearchesFirstOrTakesTheNamedRow) {
  auto del = Query("DELETE FROM W WHERE SYS_ROWID = 3 OR A = 1");
  del->ExecSQL();  // the row id decides alone, whatever else the clause says
  EXPECT_EQ(del->RowsAffectedGet(), 1u);
  EXPECT_EQ(RowIds("SELECT * FROM W"), (Ids{1, 2, 4, 5, 6}));
  EXPECT_EQ(Exec("DELETE FROM W WHERE A = 9 AND SYS_ROWID = 5"), 1u);
  // A deleted row named again is processed again; no row is searched for.
  EXPECT_EQ(Exec("DELETE FROM W WHERE SYS_ROWID = 5"), 1u);
  // SYS_ROWID = 0 names no row: the search runs, and the criterion holds for none.
  EXPECT_EQ(Exec("DELETE FROM W WHERE SYS_ROWID = 0"), 0u);
  auto past = Query("DELETE FROM W WHERE SYS_ROWID = 70");
  ExpectError(Raised([&] { past->ExecSQL(); }), 0x80000204, zydModTable, "TZyDatabaseTable.RowGet",
              "There are no more rows to fetch");
  EXPECT_EQ(RowIds("SELECT * FROM W"), (Ids{1, 2, 4, 6}));

  // Without WHERE every live row goes; RecordCount tells how many the search found.
  auto all = Query("DELETE FROM W");
  all->ExecSQL();
  EXPECT_EQ(all->RowsAffectedGet(), 4u);
  EXPECT_EQ(all->RecordCountGet(), 4u);
  EXPECT_FALSE(all->ActiveGet());
  EXPECT_TRUE(all->PreparedGet());
  EXPECT_EQ(RowIds("SELECT * FROM W"), Ids{});
  EXPECT_EQ(Table("W")->RowCountGet(), 6u);  // numbers are never reused
  Exec("INSERT INTO W VALUES (7, 7, 7)");
  EXPECT_EQ(RowIds("SELECT * FROM W"), Ids{7});
}

TEST_F(StatementTest, UpdateChangesEveryRowFoundOnce) {
  auto q = Query("UPDATE W SET A = 1, C = :c WHERE A = 1 OR B = 2");
  q->ParamByName("c")->SignedInt64Set(9);
  q->ExecSQL();
  EXPECT_EQ(q->RowsAffectedGet(), 5u);
  EXPECT_EQ(q->RecordCountGet(), 5u);
  EXPECT_EQ(Column("SELECT A FROM W", "A"), (Texts{"1", "1", "1", "1", "0", "1"}));
  EXPECT_EQ(Column("SELECT C FROM W", "C"), (Texts{"9", "9", "9", "9", "3", "9"}));
  // By row id: that row only, and RecordCount keeps its value.
  auto one = Query("UPDATE W SET C = NULL, B = 5 WHERE SYS_ROWID = 5");
  one->ExecSQL();
  EXPECT_EQ(one->RowsAffectedGet(), 1u);
  EXPECT_EQ(one->RecordCountGet(), 0u);
  EXPECT_EQ(Column("SELECT C FROM W WHERE SYS_ROWID IS NOT NULL", "C"),
            (Texts{"9", "9", "9", "9", "NULL", "9"}));
  ExpectError(Raised([&] { Exec("UPDATE W SET B = NULL"); }), 0x80000201, zydModTable,
              "TZyDatabaseTable.RowAddField", "'B' is not nullable");
}

TEST_F(StatementTest, InsertLeavesNullToTheTable) {
  Exec("CREATE TABLE P (ID SignedInt32 AutoNumber, NAME String(20), NOTE String(5) NULL, "
       "TAG Byte(4) NULL)");
  // Parameters never set are null.
  auto q = Query("INSERT INTO P (ID, NAME, NOTE, TAG) VALUES (:id, :n, :note, 'ab')");
  q->ParamByName("n")->StringSet("first");
  q->ExecSQL();
  EXPECT_EQ(q->AutoNumberGet(), 1);
  EXPECT_EQ(q->RowsAffectedGet(), 1u);
  q->ParamByName("n")->StringSet("second");
  q->ExecSQL();
  EXPECT_EQ(q->AutoNumberGet(), 2);
  // NULL for a column that takes neither NULL nor an auto-number.
  q->ParamByName("n")->NullSet(true);
  ExpectError(Raised([&] { q->ExecSQL(); }), 0x80000202, zydModTable, "TZyDatabaseTable.RowAddEnd",
              "'NAME' must be specified");
  EXPECT_EQ(q->AutoNumberGet(), 0);
  EXPECT_EQ(q->RowsAffectedGet(), 0u);
  EXPECT_EQ(Column("SELECT NAME FROM P", "NAME"), (Texts{"first", "second"}));
  EXPECT_EQ(Column("SELECT NOTE FROM P", "NOTE"), (Texts{"NULL", "NULL"}));
  // A literal in a Byte column is kept as the characters it was written with.
  EXPECT_EQ(Column("SELECT TAG FROM P", "TAG"), (Texts{"ab", "ab"}));
  EXPECT_EQ(Exec("INSERT INTO P (NAME, TAG) VALUES ('It''s', :t)"), 1u);
  EXPECT_EQ(Column("SELECT NAME FROM P WHERE NAME = 'It''s'", "NAME"), Texts{"It's"});
}

TEST_F(StatementTest, TextAndBinaryValuesTravelThroughParameters) {
  Exec("CREATE TABLE D (ID SignedInt32, MEMO Text NULL, PIC Binary NULL)");
  const std::string memo = "a memo\r\nof two lines";
  zyfw::TMemoryStream picture;
  picture.WriteBuffer("\x01\x02\x00\x03", 4);
  auto ins = Query("INSERT INTO D VALUES (1, :m, :p)");
  ins->ParamByName("m")->TextSet(memo);
  ins->ParamByName("p")->BinarySet(picture);
  ins->ExecSQL();
  auto sel = Query("SELECT * FROM D");
  sel->Open();
  ASSERT_TRUE(sel->First());
  EXPECT_EQ(sel->FieldByName("MEMO")->AsString(), memo);
  zyfw::TStream* stream = sel->FieldByName("PIC")->AsBinary();
  ASSERT_NE(stream, nullptr);
  char bytes[8] = {};
  EXPECT_EQ(stream->Read(bytes, 8), 4);
  EXPECT_EQ(std::string(bytes, 4), std::string("\x01\x02\x00\x03", 4));
  sel->Close();

  const std::string changed = "changed";
  auto upd = Query("UPDATE D SET MEMO = :m, PIC = NULL WHERE ID = 1");
  upd->ParamByName("m")->TextSet(changed);
  upd->ExecSQL();
  EXPECT_EQ(Column("SELECT MEMO FROM D", "MEMO"), Texts{"changed"});
  EXPECT_EQ(Column("SELECT ID FROM D WHERE PIC IS NULL", "ID"), Texts{"1"});
}

TEST_F(StatementTest, ExecSQLAndCreateTableLeaveNoResult) {
  auto sel = Query("SELECT * FROM W");
  sel->ExecSQL();
  EXPECT_FALSE(sel->ActiveGet());
  EXPECT_EQ(sel->FieldsGet().CountGet(), 0);

  auto create = Query("CREATE TABLE NEWT (K SignedInt64 AutoNumber, S String(25) NULL)");
  create->Open();
  EXPECT_FALSE(create->ActiveGet());
  EXPECT_TRUE(create->PreparedGet());
  ASSERT_NE(Table("NEWT"), nullptr);
  EXPECT_EQ(create->TableGet(), Table("NEWT"));
  EXPECT_EQ(Table("NEWT")->ColumnsGet()->Get(1)->SizeGet(), 25u);
  EXPECT_TRUE(Table("NEWT")->ColumnsGet()->Get(1)->NullableGet());
  EXPECT_TRUE(Table("NEWT")->ColumnsGet()->Get(0)->AutoNumberGet());
  ExpectError(Raised([&] { create->FieldByName("K"); }), 0x80000403, zydModQuery,
              "TZyDatabaseQuery.ParamByName",
              "The query must be active before calling TZyDatabaseQuery.ParamByName");
  // The same statement again asks for a table that exists.
  ExpectError(Raised([&] { create->ExecSQL(); }), 0x80000102, zydModGenericList,
              "TZyDatabaseGenericList.Add", "That name has already been used");
}

TEST_F(StatementTest, ACreateTableThatFailsLeavesNoTableBehind) {
  // The column makes a row longer than a record can be: the table is refused after it was added.
  auto q = Query("CREATE TABLE HUGE (A SignedInt32, B String(2147483647))");
  EXPECT_EQ(Raised([&] { q->ExecSQL(); }).CodeGet(0), 0x80000303u);
  EXPECT_EQ(Table("HUGE"), nullptr);
  EXPECT_EQ(q->TableGet(), nullptr);
  EXPECT_EQ(Raised([&] { Exec("SELECT * FROM HUGE"); }).CodeGet(0), 0x80000505u);
  // The name is free for a sound definition.
  Exec("CREATE TABLE HUGE (A SignedInt32)");
  EXPECT_NE(Table("HUGE"), nullptr);
}

TEST_F(StatementTest, AFailedUpdateLeavesNoStaleRowsAndNoUnwrittenChanges) {
  // The first row found fails: its NAME is refused after NUM was already changed in the table's
  // row buffer.
  Exec("CREATE TABLE U (NUM SignedInt32, NAME String(10), K SignedInt32)");
  for (const char* values : {"1, 'a', 1", "2, 'b', 1", "3, 'c', 2", "4, 'd', 2"})
    Exec(std::string("INSERT INTO U VALUES (") + values + ")");
  auto upd = Query("UPDATE U SET NUM = 0, NAME = :n WHERE K = :k");
  upd->ParamByName("k")->SignedInt32Set(1);
  ExpectError(Raised([&] { upd->ExecSQL(); }), 0x80000201, zydModTable,
              "TZyDatabaseTable.RowAddField", "'NAME' is not nullable");
  EXPECT_EQ(upd->RowsAffectedGet(), 0u);
  // Nothing of the refused row shows, not even through the table's copy of it.
  EXPECT_EQ(Column("SELECT NUM FROM U", "NUM"), (Texts{"1", "2", "3", "4"}));
  EXPECT_EQ(Column("SELECT NUM FROM U WHERE SYS_ROWID IS NOT NULL AND NUM = 0", "NUM"), Texts{});
  // The next execution searches afresh: it changes the rows of K = 2, not the rows of K = 1
  // that the failed one had found.
  upd->ParamByName("k")->SignedInt32Set(2);
  upd->ParamByName("n")->StringSet("z");
  upd->ExecSQL();
  EXPECT_EQ(upd->RowsAffectedGet(), 2u);
  EXPECT_EQ(Column("SELECT NAME FROM U", "NAME"), (Texts{"a", "b", "z", "z"}));
}

TEST_F(StatementTest, AClosedDatabaseIsNotReadThroughAPreparedQuery) {
  auto q = Query("SELECT * FROM W");
  q->Prepare();
  auto sel = Query("SELECT * FROM W");
  sel->Open();
  db_.Close();
  ExpectError(Raised([&] { q->Open(); }), 0x80000706, zydModQuery, "TZyDatabaseQuery.Open",
              "The database must be open before calling TZyDatabaseQuery.Open");
  ExpectError(Raised([&] { sel->Next(); }), 0x80000706, zydModQuery, "TZyDatabaseQuery.Position",
              "The database must be open before calling TZyDatabaseQuery.Position");
  sel.reset();
  q.reset();
  db_.Open(0);
}

TEST_F(StatementTest, SystemTablesRefuseChanges) {
  for (const char* sql : {"DELETE FROM SYS_OBJECTS", "UPDATE SYS_SETTINGS SET KEY = 'x'",
                          "INSERT INTO SYS_SETTINGS (SECTION, KEY) VALUES ('a', 'b')"}) {
    SCOPED_TRACE(sql);
    const EZyException e = Raised([&] { Exec(sql); });
    EXPECT_EQ(e.CodeGet(0), 0x80000203u);
    EXPECT_EQ(e.TextGet(0), "System tables are read-only");
  }
  EXPECT_EQ(Column("SELECT KEY FROM SYS_SETTINGS", "KEY").size(), 7u);
  EXPECT_EQ(Column("SELECT NAME FROM SYS_OBJECTS WHERE TYPE = 'Table'", "NAME"), Texts{"W"});
}

}  // namespace
}  // namespace zyquerytest
