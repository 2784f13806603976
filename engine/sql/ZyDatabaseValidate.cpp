#include "engine/sql/ZyDatabaseValidate.h"

#include <memory>

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/sql/ZyDatabaseParam.h"
#include "platform/framework/Convert.h"

namespace {

// Names compare without regard to the case of ASCII letters, as the named lists compare them.
bool SameName(const std::string& a, const char* b, size_t bSize) {
  if (a.size() != bSize) return false;
  for (size_t i = 0; i < bSize; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}
bool SameName(const std::string& a, const std::string& b) { return SameName(a, b.data(), b.size()); }

[[noreturn]] void Raise(uint32_t code, const char* method, const std::string& text) {
  throw EZyException(code, zydModuleText(zydModValidate), method, text);
}

// The statement's table must be in the catalogue.
const TZyValidateTable& Existing(const TZyValidateTable& table, TZyDatabaseParsedSQL& statement,
                                 const char* method) {
  if (!table.Name)
    Raise(zydErrTableOrAliasNotFound, method,
          zydFormat(zydTxtTableOrAliasNotFound, statement.TablesGet().Get(0)->NameGet().c_str()));
  return table;
}

}  // namespace

void zydValidate(TZyDatabaseParsedSQL& statement, const TZyValidateTable& table) {
  TZyDatabaseParsedTableList& statementTables = statement.TablesGet();
  if (statementTables.CountGet() == 0) Raise(zydErrNoTable, zydMthValidate, zydTxtNoTable);
  if (statementTables.CountGet() > 1)
    Raise(zydErrJoinsNotSupported, zydMthValidate, zydTxtJoinsNotSupported);
  if (statement.StatementTypeGet() == zydStatementCreateTable) return;
  Existing(table, statement, zydMthValidate);

  TZyDatabaseParsedFieldList& fields = statement.FieldsGet();
  if (statement.StatementTypeGet() == zydStatementInsert) {
    TZyDatabaseParsedCriteriaList& values = statement.ValueCriteriaGet();
    if (fields.CountGet() == 0) {
      const std::string& tableName = statementTables.Get(0)->NameGet();
      TZyDatabaseColumnList* columns = table.Columns;
      for (int32_t i = 0; i < columns->CountGet(); ++i)
        statement.FieldAdd(columns->Get(i)->NameGet(), tableName);
    }
    if (fields.CountGet() != values.CountGet())
      Raise(zydErrFieldValueCount, zydMthValidate, zydTxtFieldValueCount);
    for (int32_t i = 0; i < values.CountGet(); ++i)
      values.Get(i)->FieldNameSet(fields.Get(i)->NameGet());
  }

  // A "*" sets nothing, so it keeps what the entry before it found.
  TZyDatabaseColumn* column = nullptr;
  std::string tableName;
  for (int32_t i = 0; i < fields.CountGet(); ++i) {
    TZyDatabaseParsedField* field = fields.Get(i);
    FieldFind(table, statement, field->NameGet(), field->TableNameGet(), column, tableName);
    field->TableNameSet(tableName);
    field->ColumnSet(column);
  }

  CriteriaBind(table, statement, statement.SetCriteriaGet());
  CriteriaBind(table, statement, statement.WhereCriteriaGet());
  CriteriaBind(table, statement, statement.ValueCriteriaGet());
}

void FieldFind(const TZyValidateTable& table, TZyDatabaseParsedSQL& statement,
               const std::string& fieldName, const std::string& tableAlias,
               TZyDatabaseColumn*& column, std::string& tableName) {
  if (fieldName == "*") return;
  if (!tableAlias.empty()) {
    const TZyDatabaseParsedTable* entry = statement.TablesGet().Get(0);
    if (!SameName(tableAlias, entry->NameGet()) && !SameName(tableAlias, entry->AliasGet()))
      Raise(zydErrTableOrAliasNotFound, zydMthFieldFind,
            zydFormat(zydTxtTableOrAliasNotFound, tableAlias.c_str()));
  }
  TZyDatabaseColumn* found = Existing(table, statement, zydMthFieldFind).Columns->Find(fieldName);
  if (!found)
    Raise(zydErrFieldNotExist, zydMthFieldFind, zydFormat(zydTxtFieldNotExist, fieldName.c_str()));
  column = found;
  tableName = *table.Name;
}

void CriteriaBind(const TZyValidateTable& table, TZyDatabaseParsedSQL& statement,
                  TZyDatabaseParsedCriteriaList& list) {
  for (int32_t i = 0; i < list.CountGet(); ++i) {
    TZyDatabaseParsedCriteria* criteria = list.Get(i);
    switch (criteria->CriteriaTypeGet()) {
      case zydCriteriaValue: {
        if (list.ListTypeGet() == zydCriteriaListWhere &&
            SameName(criteria->FieldNameGet(), "SYS_ROWID", 9)) {
          int32_t row = 0;
          if (!zyfw::TryStrToInt(criteria->ValueGet(), &row)) row = 0;
          statement.RowIdSet(row);
          break;
        }
        TZyDatabaseColumn* column = nullptr;
        std::string tableName;
        FieldFind(table, statement, criteria->FieldNameGet(), criteria->TableNameGet(), column,
                  tableName);
        // "*" passes the syntax check as a name; a comparison or an assignment needs a column.
        if (!column)
          Raise(zydErrFieldNotExist, zydMthFieldFind,
                zydFormat(zydTxtFieldNotExist, criteria->FieldNameGet().c_str()));
        criteria->TableName2Set(tableName);
        criteria->ColumnSet(column);
        if (criteria->IsParamGet())
          statement.ParamsGet().Add(std::make_unique<TZyDatabaseParam>(*criteria, *column));
        break;
      }
      case zydCriteriaField: {
        TZyDatabaseColumn* column = nullptr;
        std::string tableName;
        FieldFind(table, statement, criteria->FieldNameGet(), criteria->TableNameGet(), column,
                  tableName);
        const std::string firstTable = tableName;
        FieldFind(table, statement, criteria->FieldName2Get(), firstTable, column, tableName);
        criteria->TableName2Set(tableName);
        break;
      }
      case zydCriteriaContainer:
        CriteriaBind(table, statement, *criteria->CriteriaGet());
        break;
    }
  }
}
