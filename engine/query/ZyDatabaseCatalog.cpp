#include "engine/query/ZyDatabaseCatalog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/package/ZyDatabaseVersion.h"
#include "engine/query/ZyDatabaseQuery.h"
#include "engine/storage/ZyVirtualFile.h"
#include "engine/table/ZyDatabaseCatalog.h"
#include "engine/table/ZyDatabaseMain.h"

namespace {

struct ColumnDef {
  const char* name;
  TZyDatabaseColumnTypes type;
  uint64_t size;
  bool nullable;
  bool autoNumber;
};

// The system tables' definitions are fixed here and made again in memory at every open; the
// catalogue does not describe them.
const ColumnDef kObjects[] = {{"ID", zydSignedInt64, 0, false, true},
                              {"PARENT_ID", zydSignedInt64, 0, true, false},
                              {"TYPE", zydString, 40, false, false},
                              {"NAME", zydString, zydCatalogMaxName, false, false}};
const ColumnDef kProperties[] = {{"ID", zydSignedInt64, 0, false, true},
                                 {"OBJECT_ID", zydSignedInt64, 0, false, false},
                                 {"TYPE", zydString, 40, false, false},
                                 {"VALUE", zydByte, 50, true, false},
                                 {"DATA", zydText, 0, true, false},
                                 {"BIN", zydBinary, 0, true, false}};
const ColumnDef kSettings[] = {{"SECTION", zydString, 30, false, false},
                               {"KEY", zydString, 30, false, false},
                               {"DATA_BYTE", zydByte, 50, true, false},
                               {"DATA_TEXT", zydText, 0, true, false},
                               {"DATA_BINARY", zydBinary, 0, true, false}};

constexpr const char* kVersionInsert =
    "INSERT INTO SYS_SETTINGS (SECTION, KEY, DATA_BYTE)\r\nVALUES ('Version', :Key, :Data)";
constexpr const char* kVersionSelect =
    "SELECT DATA_BYTE FROM SYS_SETTINGS\r\nWHERE SECTION = 'Version'\r\nAND KEY = 'Binary'";
constexpr const char* kTablesSelect = "SELECT ID, NAME FROM SYS_OBJECTS\r\nWHERE TYPE = '%s'";
constexpr const char* kColumnsSelect =
    "SELECT ID, PARENT_ID, NAME\r\nFROM SYS_OBJECTS\r\nWHERE TYPE = :Type";
constexpr const char* kPropertiesSelect = "SELECT OBJECT_ID, TYPE, VALUE\r\nFROM SYS_PROPERTIES";
constexpr const char* kTableInsert = "INSERT INTO SYS_OBJECTS\r\n(TYPE, NAME) VALUES (:Type, :Name)";
constexpr const char* kColumnInsert =
    "INSERT INTO SYS_OBJECTS\r\n(PARENT_ID, TYPE, NAME) VALUES (:ParentID, :Type, :Name)";
constexpr const char* kPropertyInsert =
    "INSERT INTO SYS_PROPERTIES\r\n(OBJECT_ID, TYPE, VALUE) VALUES (:ObjectID, :Type, :Value)";

template <size_t N>
void AddSystemTable(TZyDatabase* db, const char* name, const ColumnDef (&defs)[N], uint64_t mode) {
  TZyDatabaseTable* table =
      db->SysTables(zydSysKey)->Add(name, db->SysTablesFolder(zydSysKey), db, mode);
  for (const ColumnDef& d : defs)
    table->ColumnAdd(d.name, d.type,
                     (d.nullable ? zydColumnNullable : 0) | (d.autoNumber ? zydColumnAutoNumber : 0),
                     d.size);
  table->CreateDone();
}

// The system tables take rows while this lives, however the work in between ends.
class AllowUpdates {
 public:
  explicit AllowUpdates(TZyDatabase* db) : db_(db) { db_->SysAllowUpdatesSet(zydSysKey, true); }
  ~AllowUpdates() { db_->SysAllowUpdatesSet(zydSysKey, false); }

 private:
  TZyDatabase* db_;
};

// During set-up the database counts as open only while the catalogue's own statements run, so
// that the tables it adds meanwhile (and their Notify events) see it still opening.
class Active {
 public:
  explicit Active(TZyDatabase* db) : db_(db) { db_->SysActiveSet(zydSysKey, true); }
  ~Active() { db_->SysActiveSet(zydSysKey, false); }

 private:
  TZyDatabase* db_;
};

TZyDatabaseQuery& Statement(TZyDatabaseQuery& query, const std::string& sql) {
  query.SQLGet().TextSet(sql);
  return query;
}

void WriteVersion(TZyDatabase* db) {
  TZyDatabaseQuery query(db);
  Statement(query, kVersionInsert);
  TZyDatabaseParam* key = query.ParamByName("Key");
  TZyDatabaseParam* data = query.ParamByName("Data");
  auto row = [&](const char* name) {
    key->StringSet(name);
    query.ExecSQL();
  };
  data->StringSet(Version(false));
  row("String");
  data->UnsignedInt32Set(zydVersionPacked());
  row("Binary");
  data->UnsignedInt16Set(static_cast<uint16_t>(VersionMajor()));
  row("Major");
  data->UnsignedInt16Set(static_cast<uint16_t>(VersionMinor()));
  row("Minor");
  data->UnsignedInt16Set(static_cast<uint16_t>(VersionInterface()));
  row("Interface");
  data->UnsignedInt16Set(static_cast<uint16_t>(VersionBuild()));
  row("Build");
  data->BooleanSet(false);
  row("Beta");
}

// The packed version of the engine that created the file.
uint32_t StoredVersion(TZyDatabase* db) {
  TZyDatabaseQuery query(db);
  Statement(query, kVersionSelect).Open();
  // Files this engine writes always carry the version; one without it is not a database.
  if (!query.First())
    throw EZyException(zydErrNotDatabase, zydModuleText(zydModTable), zydMthDatabaseOpen,
                       zydFormat(zydTxtNotDatabase, "the version record is missing"));
  return query.FieldByName("DATA_BYTE")->AsUnsignedInt32();
}

// True when the table's stream still has the blank header that creation writes first: the
// process that created it stopped (or a write failed) before its catalogue rows were all in.
bool Unfinished(TZyDatabaseTable* table) {
  uint8_t header[zydTableHeaderSize];
  TZyVirtualFile* stream = table->StreamGet();
  stream->PositionSet(0);
  if (stream->Read(header, zydTableHeaderSize) != int32_t(zydTableHeaderSize)) return false;
  return std::all_of(header, header + zydTableHeaderSize, [](uint8_t b) { return b == 0; });
}

// Deletes the catalogue rows of an unfinished creation, the table's own row last, so that an
// interruption here leaves a situation the next open handles the same way. The stream stays,
// named by no catalogue row; a later table of the same name replaces it.
void TakeBack(TZyDatabase* db, TZyDatabaseTable* table, uint32_t tableRow,
              const std::vector<uint32_t>& columnRows, const std::vector<uint32_t>& propertyRows) {
  TZyDatabaseTableList* list = db->SysTables(zydSysKey);
  TZyDatabaseTable* objects = list->Get(0);
  TZyDatabaseTable* properties = list->Get(1);
  AllowUpdates allow(db);
  for (uint32_t row : propertyRows) properties->RowDelete(row);
  for (uint32_t row : columnRows) objects->RowDelete(row);
  objects->RowDelete(tableRow);
  table->StreamGet()->Close();
  db->SysTableDiscard(zydSysKey, table);
}

void LoadUserTables(TZyDatabase* db) {
  TZyDatabaseTableList* list = db->SysTables(zydSysKey);
  TZyVirtualFolder* folder = db->SysTablesFolder(zydSysKey);
  TZyDatabaseQuery tables(db), columns(db), properties(db);
  bool columnsLeft, propertiesLeft;
  {
    Active active(db);
    Statement(tables, zydFormat(kTablesSelect, "Table")).Open();
    Statement(columns, kColumnsSelect).ParamByName("Type")->StringSet("TableColumn");
    columns.Open();
    columnsLeft = columns.First();
    Statement(properties, kPropertiesSelect).Open();
    propertiesLeft = properties.First();
  }
  auto next = [db](TZyDatabaseQuery& query) {
    Active active(db);
    return query.Next();
  };
  TZyDatabaseField* tableId = tables.FieldByName("ID");
  TZyDatabaseField* tableName = tables.FieldByName("NAME");
  TZyDatabaseField* columnId = columns.FieldByName("ID");
  TZyDatabaseField* parentId = columns.FieldByName("PARENT_ID");
  TZyDatabaseField* columnName = columns.FieldByName("NAME");
  TZyDatabaseField* objectId = properties.FieldByName("OBJECT_ID");
  TZyDatabaseField* kind = properties.FieldByName("TYPE");
  TZyDatabaseField* value = properties.FieldByName("VALUE");

  // Registration wrote each table row, then per column its row followed by its properties, and
  // the queries return rows in row-number order: one pass over the three merges them.
  while (next(tables)) {
    const int64_t id = tableId->AsSignedInt64();
    TZyDatabaseTable* table = list->Add(tableName->AsString(), folder, db, 0);
    // A table whose creation never finished has a blank header; its catalogue rows (however
    // many were written) are gathered to be taken back instead of describing a table.
    const bool unfinished = Unfinished(table);
    std::vector<uint32_t> columnRows, propertyRows;
    while (columnsLeft && !parentId->IsNullGet() && parentId->AsSignedInt64() == id) {
      const int64_t column = columnId->AsSignedInt64();
      TZyDatabaseColumnTypes type = zydSignedInt64;
      uint64_t size = 0;
      uint64_t flags = 0;
      if (unfinished) {
        columnRows.push_back(columns.ColumnRowNoGet());
        for (; propertiesLeft && objectId->AsSignedInt64() == column; propertiesLeft = next(properties))
          propertyRows.push_back(properties.ColumnRowNoGet());
        columnsLeft = next(columns);
        continue;
      }
      while (propertiesLeft && objectId->AsSignedInt64() == column) {
        const std::string property = kind->AsString();
        if (property == "TableColumnType")
          type = zydColumnNameGetType(value->AsString());
        else if (property == "TableColumnSize")
          size = static_cast<uint64_t>(value->AsSignedInt64());
        else if (property == "TableColumnNullable")
          flags |= zydColumnNullable;
        else if (property == "TableColumnAutoNumber")
          flags |= zydColumnAutoNumber;
        propertiesLeft = next(properties);
      }
      table->ColumnAdd(columnName->AsString(), type, flags, size);
      columnsLeft = next(columns);
    }
    if (unfinished) {
      const uint32_t tableRow = tables.ColumnRowNoGet();
      // Only the last creation can have been cut short: the next open takes it back before
      // anything else is written. A blank header anywhere else is damage.
      if (next(tables))
        throw EZyException(zydErrNotDatabase, zydModuleText(zydModTable), zydMthDatabaseOpen,
                           zydFormat(zydTxtNotDatabase, ("the stream of table '" + table->NameGet() +
                                                         "' has no header").c_str()));
      TakeBack(db, table, tableRow, columnRows, propertyRows);
      return;
    }
    table->CreateDone();
  }
}

[[maybe_unused]] const bool kInstalled = [] {
  TZyCatalogProcedures procedures;
  procedures.SetUp = &zydCatalogQuerySetUp;
  procedures.Register = &zydCatalogQueryRegister;
  zydCatalogInstall(procedures);
  return true;
}();

}  // namespace

void zydCatalogQuerySetUp(TZyDatabase* db, bool creating) {
  const uint64_t mode = zydTableModeSystem | (creating ? zydTableModeCreate : 0);
  AddSystemTable(db, "SYS_OBJECTS", kObjects, mode);
  AddSystemTable(db, "SYS_PROPERTIES", kProperties, mode);
  AddSystemTable(db, "SYS_SETTINGS", kSettings, mode);
  if (creating) {
    // A new file has no user tables to load.
    AllowUpdates allow(db);
    Active active(db);
    WriteVersion(db);
    return;
  }
  uint32_t stored;
  {
    AllowUpdates allow(db);
    Active active(db);
    stored = StoredVersion(db);
  }
  if (stored > zydVersionPacked()) {
    const TZyVersion v = zydVersionUnpack(stored);
    try {
      db->Close();
    } catch (...) {
    }
    throw EZyException(zydErrDatabaseNewer, zydModuleText(zydModTable), zydMthDatabaseOpen,
                       zydFormat(zydTxtDatabaseNewer, v.major, v.minor, v.iface, v.build,
                                 VersionMajor(), VersionMinor(), VersionInterface(),
                                 VersionBuild()));
  }
  LoadUserTables(db);
}

void zydCatalogQueryRegister(TZyDatabaseTable* table) {
  TZyDatabase* db = table->DatabaseGet();
  TZyDatabaseColumnList* columns = table->ColumnsGet();
  zydCatalogCheckName(table->NameGet());
  for (int32_t i = 0; i < columns->CountGet(); ++i) zydCatalogCheckName(columns->Get(i)->NameGet());

  AllowUpdates allow(db);
  // One query per statement text: each is prepared once, however many rows it writes.
  TZyDatabaseQuery tableRow(db), columnRow(db), propertyRow(db);
  Statement(tableRow, kTableInsert).ParamByName("Type")->StringSet("Table");
  tableRow.ParamByName("Name")->StringSet(table->NameGet());
  tableRow.ExecSQL();
  const int64_t tableId = tableRow.AutoNumberGet();

  Statement(columnRow, kColumnInsert).ParamByName("ParentID")->SignedInt64Set(tableId);
  columnRow.ParamByName("Type")->StringSet("TableColumn");
  TZyDatabaseParam* columnName = columnRow.ParamByName("Name");
  Statement(propertyRow, kPropertyInsert);
  TZyDatabaseParam* objectId = propertyRow.ParamByName("ObjectID");
  TZyDatabaseParam* kind = propertyRow.ParamByName("Type");
  TZyDatabaseParam* value = propertyRow.ParamByName("Value");
  auto property = [&](const char* name) {
    kind->StringSet(name);
    propertyRow.ExecSQL();
  };

  for (int32_t i = 0; i < columns->CountGet(); ++i) {
    TZyDatabaseColumn* column = columns->Get(i);
    columnName->StringSet(column->NameGet());
    columnRow.ExecSQL();
    objectId->SignedInt64Set(columnRow.AutoNumberGet());
    value->StringSet(zydColumnTypeGetName(column->TypeGet()));
    property("TableColumnType");
    if (column->TypeGet() == zydString || column->TypeGet() == zydByte) {
      value->UnsignedInt32Set(static_cast<uint32_t>(column->SizeGet()));
      property("TableColumnSize");
    }
    if (column->NullableGet()) {
      value->BooleanSet(true);
      property("TableColumnNullable");
    }
    if (column->AutoNumberGet()) {
      value->BooleanSet(true);
      property("TableColumnAutoNumber");
    }
  }
}

void zydCatalogCheckName(const std::string& name) {
  if (name.size() <= zydCatalogMaxName) return;
  throw EZyException(zydErrNameInvalid, zydModuleText(zydModTable), zydMthTableCreateDone,
                     zydTxtNameInvalid,
                     zydFormat("'%s' is longer than the %u characters the catalogue keeps",
                               name.c_str(), static_cast<unsigned>(zydCatalogMaxName)));
}
