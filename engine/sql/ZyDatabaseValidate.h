// Statement validation: binds a parsed statement to the database's catalogue before it runs. It
// checks the one table, completes the field list of an INSERT, resolves every field name to its
// column, converts literal values into value buffers, creates the parameters and records the row
// number a SYS_ROWID criterion names. Execution then works only with bound columns and buffers.
//
// Of the database, validation needs only the one table a statement names: its name in the
// catalogue and its columns. The core routines below take that view, so the SQL layer calls
// nothing of the table store; zydValidate(database, statement), which the query calls, finds the
// table and hands its view on.
#pragma once

#include <string>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/sql/ZyDatabaseParserObjects.h"
#include "engine/table/ZyDatabaseMain.h"

// The statement's table as the catalogue has it; Name is nullptr when the database has none of
// that name (or the statement does not name exactly one table).
struct TZyValidateTable {
  const std::string* Name = nullptr;
  TZyDatabaseColumnList* Columns = nullptr;
};

// Validates and binds statement in place, raising at the first error; what was bound before it
// stays bound. Errors (module "ZyDatabase"):
//   0x80000510 "There must be at least one table specified in the statement"  zydValidate
//   0x80000507 "Joins are not supported in this version of ZyDatabase"        zydValidate
//   0x80000505 "The table or alias '<table>' does not exist"                  zydValidate
//   0x80000511 "The number of fields does not equal the number of values"     zydValidate
//   and those of FieldFind, CriteriaBind and TZyDatabaseParsedCriteria::ColumnSet, and
//   0x80000102 for a parameter named twice or a field listed twice.
// A CREATE TABLE needs only its one table entry. For an INSERT without a field list every column
// of the table is listed, in column order; the value criteria then take the field names in turn.
// A "*" entry of a field list binds nothing of its own: it keeps the table and column of the
// entry before it (none when it comes first).
void zydValidate(TZyDatabaseParsedSQL& statement, const TZyValidateTable& table);

// The table of database that statement names.
inline TZyValidateTable zydValidateTableFind(TZyDatabase& database,
                                             TZyDatabaseParsedSQL& statement) {
  TZyValidateTable view;
  if (statement.TablesGet().CountGet() != 1) return view;
  TZyDatabaseTableList* tables = database.SysTables(zydSysKey);
  const int32_t index = tables->FindIndex(statement.TablesGet().Get(0)->NameGet());
  if (index < 0) return view;
  TZyDatabaseTable* table = tables->Get(index);
  view.Name = &table->NameGet();
  view.Columns = table->ColumnsGet();
  return view;
}

inline void zydValidate(TZyDatabase& database, TZyDatabaseParsedSQL& statement) {
  zydValidate(statement, zydValidateTableFind(database, statement));
}

// Resolves fieldName among the columns of the statement's table. A non-empty tableAlias must be
// that table's name or alias (letter case aside), else 0x80000505 "The table or alias '<alias>'
// does not exist"; an unknown field raises 0x80000506 "The field '<field>' does not exist" (both
// with method "FieldFind"). "*" returns at once and sets nothing.
void FieldFind(const TZyValidateTable& table, TZyDatabaseParsedSQL& statement,
               const std::string& fieldName, const std::string& tableAlias,
               TZyDatabaseColumn*& column, std::string& tableName);

// Binds every criterion of list in order, containers depth first. In a WHERE list (container
// sub-lists included) a value criterion on SYS_ROWID sets the statement's RowId to its value
// read as an integer (0 when it is none) whatever its operator; it is not bound and a later one
// wins. Every other value criterion is bound to its column (TableName2 := the column's table),
// its literal converted, and a parameter created for it when it is one. A field criterion
// resolves both names; a container binds its sub-list.
void CriteriaBind(const TZyValidateTable& table, TZyDatabaseParsedSQL& statement,
                  TZyDatabaseParsedCriteriaList& list);
