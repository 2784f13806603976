// The catalogue kept through the engine's own statements: the version record of a new file, the
// rows that describe a table, tables loaded back on open in catalogue order with their Notify
// events, and the files that are refused (no version row, a newer engine, a missing stream).
#include "engine/storage/ZyVirtualDisk.h"
#include "engine/storage/ZyVirtualFile.h"
#include "tests/query/QueryTestUtil.h"

namespace zyquerytest {
namespace {

using Texts = std::vector<std::string>;

class CatalogTest : public QueryTest {
 protected:
  void Reopen() {
    db_.Close();
    db_.Open(0);
  }
  // Runs sql with the system tables open for changes, as only the engine itself may.
  void SysExec(const std::string& sql, const std::function<void(TZyDatabaseQuery&)>& bind = {}) {
    db_.SysAllowUpdatesSet(zydSysKey, true);
    auto q = Query(sql);
    if (bind) bind(*q);
    q->ExecSQL();
    db_.SysAllowUpdatesSet(zydSysKey, false);
  }
};

TEST_F(CatalogTest, ANewFileHoldsTheVersionRecord) {
  auto q = Query("SELECT SECTION, KEY, DATA_BYTE, DATA_TEXT FROM SYS_SETTINGS");
  q->Open();
  struct Row {
    const char* key;
    TZyDatabaseColumnTypes tag;
    std::string value;
  };
  const Row rows[] = {{"String", zydString, "1.00.1.87"},
                      {"Binary", zydUnsignedInt32, std::to_string(0x04001057)},
                      {"Major", zydUnsignedInt16, "1"},
                      {"Minor", zydUnsignedInt16, "0"},
                      {"Interface", zydUnsignedInt16, "1"},
                      {"Build", zydUnsignedInt16, "87"},
                      {"Beta", zydBoolean, "N"}};
  uint32_t rowNo = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key);
    ASSERT_TRUE(q->Next());
    EXPECT_EQ(q->SysCurrentRowNo(), ++rowNo);
    EXPECT_EQ(q->FieldByName("SECTION")->AsString(), "Version");
    EXPECT_EQ(q->FieldByName("KEY")->AsString(), row.key);
    EXPECT_EQ(q->FieldByName("DATA_BYTE")->ValueTypeGet(), row.tag);
    EXPECT_EQ(q->FieldByName("DATA_BYTE")->AsString(), row.value);
    EXPECT_TRUE(q->FieldByName("DATA_TEXT")->IsNullGet());
  }
  EXPECT_FALSE(q->Next());
  q->Close();
  ASSERT_NE(Table("SYS_OBJECTS"), nullptr);
  EXPECT_EQ(Table("SYS_OBJECTS")->RowCountGet(), 0u);
  EXPECT_EQ(Table("SYS_PROPERTIES")->RowCountGet(), 0u);
  EXPECT_EQ(db_.SysTables(zydSysKey)->CountGet(), 3);
}

TEST_F(CatalogTest, ATableIsDescribedRowByRowAndComesBack) {
  Exec("CREATE TABLE T (NAME String(20) NULL, N SignedInt32 AutoNumber)");
  EXPECT_EQ(Column("SELECT NAME FROM SYS_OBJECTS", "NAME"), (Texts{"T", "NAME", "N"}));
  EXPECT_EQ(Column("SELECT PARENT_ID FROM SYS_OBJECTS", "PARENT_ID"), (Texts{"NULL", "1", "1"}));
  EXPECT_EQ(Column("SELECT TYPE FROM SYS_OBJECTS", "TYPE"),
            (Texts{"Table", "TableColumn", "TableColumn"}));
  EXPECT_EQ(Column("SELECT OBJECT_ID FROM SYS_PROPERTIES", "OBJECT_ID"),
            (Texts{"2", "2", "2", "3", "3"}));
  EXPECT_EQ(Column("SELECT TYPE FROM SYS_PROPERTIES", "TYPE"),
            (Texts{"TableColumnType", "TableColumnSize", "TableColumnNullable", "TableColumnType",
                   "TableColumnAutoNumber"}));
  EXPECT_EQ(Column("SELECT VALUE FROM SYS_PROPERTIES", "VALUE"),
            (Texts{"String", "20", "Y", "SignedInt32", "Y"}));
  EXPECT_EQ(Column("SELECT ID FROM SYS_PROPERTIES WHERE DATA IS NOT NULL OR BIN IS NOT NULL", "ID"),
            Texts{});

  Exec("CREATE TABLE EMPTY (X Float10, B Byte(7), M Text NULL)");
  Exec("INSERT INTO T (NAME) VALUES ('Ann')");
  std::vector<std::string> notes;
  db_.Notify = [&](TZyDatabase* sender, TZyDatabaseNotifyActions a, TZyDatabaseNotifyObjects,
                   const std::string& name) {
    // Tables are announced while the database is still opening.
    EXPECT_FALSE(sender->Active());
    notes.push_back((a == zydNotifyCreate ? "create " : "load ") + name);
  };
  Reopen();
  EXPECT_EQ(notes, (Texts{"load SYS_OBJECTS", "load SYS_PROPERTIES", "load SYS_SETTINGS",
                          "load T", "load EMPTY"}));
  EXPECT_TRUE(db_.Active());
  TZyDatabaseColumnList* t = Table("T")->ColumnsGet();
  ASSERT_EQ(t->CountGet(), 2);
  EXPECT_EQ(t->Get(0)->NameGet(), "NAME");
  EXPECT_EQ(t->Get(0)->TypeGet(), zydString);
  EXPECT_EQ(t->Get(0)->SizeGet(), 20u);
  EXPECT_TRUE(t->Get(0)->NullableGet());
  EXPECT_FALSE(t->Get(0)->AutoNumberGet());
  EXPECT_EQ(t->Get(1)->TypeGet(), zydSignedInt32);
  EXPECT_TRUE(t->Get(1)->AutoNumberGet());
  EXPECT_FALSE(t->Get(1)->NullableGet());
  TZyDatabaseColumnList* e = Table("EMPTY")->ColumnsGet();
  ASSERT_EQ(e->CountGet(), 3);
  EXPECT_EQ(e->Get(0)->TypeGet(), zydFloat10);
  EXPECT_EQ(e->Get(1)->SizeGet(), 7u);
  EXPECT_EQ(e->Get(2)->TypeGet(), zydText);
  EXPECT_TRUE(e->Get(2)->NullableGet());
  EXPECT_EQ(Column("SELECT NAME FROM T", "NAME"), Texts{"Ann"});
  // The auto-number goes on where it stopped.
  auto q = Query("INSERT INTO T (NAME) VALUES ('Bo')");
  q->ExecSQL();
  EXPECT_EQ(q->AutoNumberGet(), 2);

  // On a new file the system tables are announced as created.
  notes.clear();
  db_.Close();
  db_.Open(zydDatabaseCreate);
  EXPECT_EQ(notes, (Texts{"create SYS_OBJECTS", "create SYS_PROPERTIES", "create SYS_SETTINGS"}));
}

TEST_F(CatalogTest, NamesTheCatalogueCannotKeepAreRefused) {
  // A column name longer than the catalogue's NAME column would come back cut short after a
  // reopen. (A table name that long is refused sooner, by the storage's limit on stream names.)
  const std::string fifty(50, 'A');
  const std::string longer = fifty + "B";
  ExpectError(Raised([&] { Exec("CREATE TABLE T (K SignedInt8, " + longer + " SignedInt8)"); }),
              0x80000101, zydModTable, "TZyDatabaseTable.CreateDone", "The name is invalid",
              "'" + longer + "' is longer than the 50 characters the catalogue keeps");
  EXPECT_EQ(Table("T"), nullptr);
  // A table defined through the engine's own calls is refused by its registration.
  TZyDatabaseTable* direct = db_.SysTableAdd(zydSysKey, "D");
  direct->ColumnAdd(longer, zydSignedInt8, 0, 0);
  EXPECT_EQ(Raised([&] { direct->CreateDone(); }).CodeGet(0), 0x80000101u);
  EXPECT_EQ(Table("D"), nullptr);
  EXPECT_EQ(Column("SELECT NAME FROM SYS_OBJECTS", "NAME"), Texts{});
  Exec("CREATE TABLE T (K SignedInt8, " + fifty + " SignedInt8)");
  Reopen();
  ASSERT_NE(Table("T"), nullptr);
  EXPECT_EQ(Table("T")->ColumnsGet()->Get(1)->NameGet(), fifty);
}

TEST_F(CatalogTest, TheVersionDecidesWhetherAFileOpens) {
  auto setVersion = [&](uint32_t packed) {
    SysExec("UPDATE SYS_SETTINGS SET DATA_BYTE = :v WHERE KEY = 'Binary'",
            [&](TZyDatabaseQuery& q) { q.ParamByName("v")->UnsignedInt32Set(packed); });
  };
  setVersion(0x04001000);  // older: accepted as it is
  Reopen();
  EXPECT_TRUE(db_.Active());
  setVersion(0x04001058);
  db_.Close();
  ExpectError(Raised([&] { db_.Open(0); }), 0x80000707, zydModTable, "TZyDatabase.Open",
              "This database was created with ZyDatabase version 1.00.1.88 which is newer than "
              "the version of ZyDatabase (1.00.1.87) currently in use");
  EXPECT_FALSE(db_.Active());
  EXPECT_EQ(db_.SysTables(zydSysKey)->CountGet(), 0);  // closed before the error
  // The refusal changes nothing in the file: the next attempt is refused the same way.
  EXPECT_EQ(Raised([&] { db_.Open(0); }).CodeGet(0), 0x80000707u);
}

TEST_F(CatalogTest, AFileWithoutItsVersionRowIsNoDatabase) {
  SysExec("DELETE FROM SYS_SETTINGS WHERE KEY = 'Binary'");
  db_.Close();
  const EZyException e = Raised([&] { db_.Open(0); });
  ExpectError(e, 0x80000708, zydModTable, "TZyDatabase.Open",
              "The file is not a valid ZyDatabase database: the version record is missing");
  EXPECT_FALSE(db_.Active());
  db_.Close();
}

TEST_F(CatalogTest, AFileWithoutASystemTableIsNoDatabase) {
  db_.Close();
  {
    TZyVirtualDisk disk;
    disk.Open(path_, zydVirtualCreate | zydVirtualFolderUnlisted | zydVirtualDiskReadWrite);
    disk.FolderCreate(u"Tables")->Open(0);
    disk.FolderCreate(u"Data")->Open(zydVirtualFolderUnlisted);
  }
  const EZyException e = Raised([&] { db_.Open(0); });
  EXPECT_EQ(e.CodeGet(0), 0x80000708u);
  EXPECT_NE(e.TextGet(0).find("SYS_OBJECTS"), std::string::npos);
  EXPECT_FALSE(db_.Active());
  db_.Close();
  db_.Open(zydDatabaseCreate);
}

}  // namespace
}  // namespace zyquerytest
