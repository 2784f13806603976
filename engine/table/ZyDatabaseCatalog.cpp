#include "engine/table/ZyDatabaseCatalog.h"

#include <cstring>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/package/ZyDatabaseVersion.h"
#include "engine/table/ZyDatabaseMain.h"

// The catalogue rows are read and written with the table's own row operations: the rows are
// exactly those that the equivalent INSERT and SELECT statements produce and read (SYS_OBJECTS
// and SYS_PROPERTIES in definition order, the seven version rows), so files are the same either
// way.

namespace {

struct ColumnDef {
  const char* name;
  TZyDatabaseColumnTypes type;
  uint64_t size;
  bool nullable;
  bool autoNumber;
};

const ColumnDef kObjects[] = {{"ID", zydSignedInt64, 0, false, true},
                              {"PARENT_ID", zydSignedInt64, 0, true, false},
                              {"TYPE", zydString, 40, false, false},
                              {"NAME", zydString, 50, false, false}};
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

template <size_t N>
TZyDatabaseTable* AddSystemTable(TZyDatabase* db, const char* name, const ColumnDef (&defs)[N],
                                 uint64_t mode) {
  TZyDatabaseTable* table =
      db->SysTables(zydSysKey)->Add(name, db->SysTablesFolder(zydSysKey), db, mode);
  for (const ColumnDef& d : defs)
    table->ColumnAdd(d.name, d.type,
                     (d.nullable ? zydColumnNullable : 0) | (d.autoNumber ? zydColumnAutoNumber : 0),
                     d.size);
  table->CreateDone();
  return table;
}

// One row's value of a column, read the way a field reads it: a Byte column's bytes are taken
// by the type tag stored with them.
struct Value {
  bool isNull = true;
  TZyDatabaseColumnTypes type = zydSignedInt64;
  std::vector<uint8_t> bytes;

  std::string AsString() const {
    if (isNull) return std::string();
    const size_t n = strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return std::string(reinterpret_cast<const char*>(bytes.data()), n);
  }
  int64_t AsInt64() const {
    if (isNull || bytes.empty()) return 0;
    auto load = [&](size_t width) {
      uint64_t v = 0;
      std::memcpy(&v, bytes.data(), std::min(width, bytes.size()));
      return v;
    };
    switch (type) {
      case zydSignedInt64: return static_cast<int64_t>(load(8));
      case zydSignedInt32: return static_cast<int32_t>(load(4));
      case zydUnsignedInt32: return static_cast<uint32_t>(load(4));
      case zydSignedInt16: return static_cast<int16_t>(load(2));
      case zydUnsignedInt16: return static_cast<uint16_t>(load(2));
      case zydSignedInt8: return static_cast<int8_t>(load(1));
      case zydUnsignedInt8:
      case zydBoolean: return static_cast<uint8_t>(load(1));
      default: return 0;
    }
  }
};

class Reader {
 public:
  explicit Reader(TZyDatabaseTable* table) : table_(table) {}
  Value Get(uint64_t row, const char* column) {
    TZyDatabaseColumn* c = table_->ColumnsGet()->Find(column);
    Value v;
    v.bytes.assign(c->SizeGet() + 1, 0);
    table_->FieldGetData(row, column, v.bytes.data(), &v.isNull, &v.type);
    v.bytes.resize(c->SizeGet());
    return v;
  }

 private:
  TZyDatabaseTable* table_;
};

// Rows of a table whose String column equals text (letter case aside, as '=' compares strings).
std::vector<uint64_t> RowsWhere(TZyDatabaseTable* table, const char* column, const std::string& text) {
  std::string value = text;
  auto rows = table->RowsGet(column, zydFieldOpEqualTo, value.c_str());
  std::vector<uint64_t> out;
  for (uint32_t i = 0; i < rows->CountGet(); ++i) out.push_back(rows->ItemsGet(i));
  return out;
}

void AddString(TZyDatabaseTable* t, const char* column, const std::string& s) {
  t->RowAddField(column, s.c_str(), zydString, static_cast<int32_t>(s.size()));
}

template <typename T>
void AddValue(TZyDatabaseTable* t, const char* column, T value, TZyDatabaseColumnTypes type) {
  t->RowAddField(column, &value, type, static_cast<int32_t>(sizeof value));
}

// Turns system updates off again however the work in between ends.
class AllowUpdates {
 public:
  explicit AllowUpdates(TZyDatabase* db) : db_(db) { db_->SysAllowUpdatesSet(zydSysKey, true); }
  ~AllowUpdates() { db_->SysAllowUpdatesSet(zydSysKey, false); }

 private:
  TZyDatabase* db_;
};

void WriteVersion(TZyDatabaseTable* settings) {
  auto row = [&](const char* key, auto&& setValue) {
    settings->RowAddBegin();
    AddString(settings, "SECTION", "Version");
    AddString(settings, "KEY", key);
    setValue();
    settings->RowAddEnd();
  };
  const std::string text = Version(false);
  row("String", [&] { AddString(settings, "DATA_BYTE", text); });
  row("Binary", [&] { AddValue<uint32_t>(settings, "DATA_BYTE", zydVersionPacked(), zydUnsignedInt32); });
  row("Major", [&] { AddValue<uint16_t>(settings, "DATA_BYTE", VersionMajor(), zydUnsignedInt16); });
  row("Minor", [&] { AddValue<uint16_t>(settings, "DATA_BYTE", VersionMinor(), zydUnsignedInt16); });
  row("Interface", [&] { AddValue<uint16_t>(settings, "DATA_BYTE", VersionInterface(), zydUnsignedInt16); });
  row("Build", [&] { AddValue<uint16_t>(settings, "DATA_BYTE", VersionBuild(), zydUnsignedInt16); });
  row("Beta", [&] { AddValue<uint8_t>(settings, "DATA_BYTE", 0, zydBoolean); });
}

void CheckVersion(TZyDatabase* db, TZyDatabaseTable* settings) {
  Reader read(settings);
  // Only a row whose KEY is Binary (letter case aside) counts.
  uint64_t found = 0;
  for (uint64_t row : RowsWhere(settings, "SECTION", "Version")) {
    std::string key = read.Get(row, "KEY").AsString();
    for (char& c : key)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (key == "BINARY") {
      found = row;
      break;
    }
  }
  if (found == 0) {
    // Files this engine writes always carry the version; one without it is not a database.
    throw EZyException(zydErrNotDatabase, zydModuleText(zydModTable), zydMthDatabaseOpen,
                       zydFormat(zydTxtNotDatabase, "the version record is missing"));
  }
  const uint32_t stored = static_cast<uint32_t>(read.Get(found, "DATA_BYTE").AsInt64());
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
}

void LoadUserTables(TZyDatabase* db, TZyDatabaseTable* objects, TZyDatabaseTable* properties) {
  Reader obj(objects);
  Reader prop(properties);
  // Rows come back in row-number order, which is the order in which registration wrote them:
  // each table row, then its columns, each column followed by its properties.
  const std::vector<uint64_t> tableRows = RowsWhere(objects, "TYPE", "Table");
  const std::vector<uint64_t> columnRows = RowsWhere(objects, "TYPE", "TableColumn");
  // ID is never NULL, so this lists every live property row.
  auto all = properties->RowsGet("ID", zydFieldOpNotNull, nullptr);
  std::vector<uint64_t> propRows;
  for (uint32_t i = 0; i < all->CountGet(); ++i) propRows.push_back(all->ItemsGet(i));

  size_t c = 0, p = 0;
  for (uint64_t tableRow : tableRows) {
    const int64_t tableId = obj.Get(tableRow, "ID").AsInt64();
    TZyDatabaseTable* table = db->SysTables(zydSysKey)->Add(
        obj.Get(tableRow, "NAME").AsString(), db->SysTablesFolder(zydSysKey), db, 0);
    while (c < columnRows.size()) {
      const Value parent = obj.Get(columnRows[c], "PARENT_ID");
      if (parent.isNull || parent.AsInt64() != tableId) break;
      const int64_t columnId = obj.Get(columnRows[c], "ID").AsInt64();
      TZyDatabaseColumnTypes type = zydSignedInt64;
      uint64_t flags = 0, size = 0;
      while (p < propRows.size() && prop.Get(propRows[p], "OBJECT_ID").AsInt64() == columnId) {
        const std::string kind = prop.Get(propRows[p], "TYPE").AsString();
        const Value value = prop.Get(propRows[p], "VALUE");
        if (kind == "TableColumnType")
          type = zydColumnNameGetType(value.AsString());
        else if (kind == "TableColumnSize")
          size = static_cast<uint64_t>(value.AsInt64());
        else if (kind == "TableColumnNullable")
          flags |= zydColumnNullable;
        else if (kind == "TableColumnAutoNumber")
          flags |= zydColumnAutoNumber;
        ++p;
      }
      table->ColumnAdd(obj.Get(columnRows[c], "NAME").AsString(), type, flags, size);
      ++c;
    }
    table->CreateDone();
  }
}

}  // namespace

void zydCatalogSetUp(TZyDatabase* db, bool creating) {
  const uint64_t mode = zydTableModeSystem | (creating ? zydTableModeCreate : 0);
  TZyDatabaseTable* objects = AddSystemTable(db, "SYS_OBJECTS", kObjects, mode);
  TZyDatabaseTable* properties = AddSystemTable(db, "SYS_PROPERTIES", kProperties, mode);
  TZyDatabaseTable* settings = AddSystemTable(db, "SYS_SETTINGS", kSettings, mode);
  if (creating) {
    AllowUpdates allow(db);
    WriteVersion(settings);
    return;
  }
  CheckVersion(db, settings);
  LoadUserTables(db, objects, properties);
}

void zydCatalogRegister(TZyDatabaseTable* table) {
  TZyDatabase* db = table->DatabaseGet();
  TZyDatabaseTableList* tables = db->SysTables(zydSysKey);
  TZyDatabaseTable* objects = tables->Get(0);
  TZyDatabaseTable* properties = tables->Get(1);
  AllowUpdates allow(db);

  objects->RowAddBegin();
  AddString(objects, "TYPE", "Table");
  AddString(objects, "NAME", table->NameGet());
  const int64_t tableId = static_cast<int64_t>(objects->RowAddEnd());

  auto property = [&](int64_t objectId, const char* kind, auto&& setValue) {
    properties->RowAddBegin();
    AddValue<int64_t>(properties, "OBJECT_ID", objectId, zydSignedInt64);
    AddString(properties, "TYPE", kind);
    setValue();
    properties->RowAddEnd();
  };

  TZyDatabaseColumnList* columns = table->ColumnsGet();
  for (int32_t i = 0; i < columns->CountGet(); ++i) {
    TZyDatabaseColumn* column = columns->Get(i);
    objects->RowAddBegin();
    AddValue<int64_t>(objects, "PARENT_ID", tableId, zydSignedInt64);
    AddString(objects, "TYPE", "TableColumn");
    AddString(objects, "NAME", column->NameGet());
    const int64_t columnId = static_cast<int64_t>(objects->RowAddEnd());

    property(columnId, "TableColumnType",
             [&] { AddString(properties, "VALUE", zydColumnTypeGetName(column->TypeGet())); });
    if (column->TypeGet() == zydString || column->TypeGet() == zydByte)
      property(columnId, "TableColumnSize", [&] {
        AddValue<uint32_t>(properties, "VALUE", static_cast<uint32_t>(column->SizeGet()),
                           zydUnsignedInt32);
      });
    if (column->NullableGet())
      property(columnId, "TableColumnNullable",
               [&] { AddValue<uint8_t>(properties, "VALUE", 1, zydBoolean); });
    if (column->AutoNumberGet())
      property(columnId, "TableColumnAutoNumber",
               [&] { AddValue<uint8_t>(properties, "VALUE", 1, zydBoolean); });
  }
}
