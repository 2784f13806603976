// The parsed statement: what the statement parser builds from the token list and the query
// executes from. It holds the statement kind, its one table, its field names, the criteria of
// its WHERE, SET and VALUES parts, the column definitions of a CREATE TABLE and its parameters.
//
// A statement lives in three stages: built (names as parsed, nothing bound), validated (names
// bound to columns, literals converted into value buffers, parameters created, RowId set) and in
// use (parameter values written into the criteria). The binding fields below (Column, Category,
// Data, DataType, TableName2 of a value criterion) belong to the second and third stages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/foundation/ZyDatabaseGenericList.h"
#include "engine/foundation/ZyDatabaseGenericObject.h"
#include "engine/sql/ZyLex.h"
#include "engine/table/ZyDatabaseColumn.h"
#include "engine/table/ZyDatabaseCompare.h"

enum TZyDatabaseStatementTypes : uint8_t {
  zydStatementSelect,
  zydStatementInsert,
  zydStatementDelete,
  zydStatementUpdate,
  zydStatementCreateTable,
};

enum TZyDatabaseCriteriaTypes : uint8_t {
  zydCriteriaValue,      // a field compared with a literal or a parameter
  zydCriteriaField,      // a field compared with a field
  zydCriteriaContainer,  // a parenthesised sub-list
};

// The connective that joins a criterion to the ones before it in its list.
enum TZyDatabaseLogicTypes : uint8_t {
  zydLogicInvalid,
  zydLogicNone,  // the first criterion of a list
  zydLogicOr,
  zydLogicAnd,
};

enum TZyDatabaseCriteriaListTypes : uint8_t {
  zydCriteriaListWhere,
  zydCriteriaListSet,
  zydCriteriaListValues,
};

class TZyDatabaseParsedCriteriaList;
class TZyDatabaseParam;

// A field name of a SELECT or of an INSERT field list, or "*".
class TZyDatabaseParsedField : public TZyDatabaseGenericObject {
 public:
  TZyDatabaseParsedField(const std::string& name, const std::string& tableName);

  // The table or alias that qualifies the field; after validation the table that holds it.
  const std::string& TableNameGet() const { return tableName_; }
  void TableNameSet(const std::string& tableName) { tableName_ = tableName; }
  // The bound column (not owned); nullptr until validation binds it.
  TZyDatabaseColumn* ColumnGet() const { return column_; }
  void ColumnSet(TZyDatabaseColumn* column) { column_ = column; }

 private:
  std::string tableName_;
  TZyDatabaseColumn* column_ = nullptr;
};

class TZyDatabaseParsedTable : public TZyDatabaseGenericObject {
 public:
  TZyDatabaseParsedTable(const std::string& name, const std::string& alias);
  const std::string& AliasGet() const { return alias_; }

 private:
  std::string alias_;
};

// One column definition of a CREATE TABLE.
class TZyDatabaseParsedCreateField : public TZyDatabaseGenericObject {
 public:
  TZyDatabaseParsedCreateField(const std::string& name, TZyDatabaseColumnTypes columnType,
                               uint32_t size, bool allowNull, bool autoNumber);

  TZyDatabaseColumnTypes ColumnTypeGet() const { return columnType_; }
  // The declared size of a String or Byte column; 0 for the others.
  uint32_t SizeGet() const { return size_; }
  bool AllowNullGet() const { return allowNull_; }
  bool AutoNumberGet() const { return autoNumber_; }

 private:
  TZyDatabaseColumnTypes columnType_;
  uint32_t size_;
  bool allowNull_;
  bool autoNumber_;
};

// One comparison of a condition, one assignment of a SET, one value of an INSERT, or a
// parenthesised part of a condition (a container with its own sub-list).
class TZyDatabaseParsedCriteria : public TZyDatabaseGenericObject {
 public:
  // A value criterion: the field compared with (or assigned) a value as written. A value that is
  // not a string literal is null when it reads NULL in any case, and a parameter when it starts
  // with ":".
  static std::unique_ptr<TZyDatabaseParsedCriteria> MakeValue(
      TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
      TZyDatabaseFieldOperations operation, const std::string& value, bool isString);
  // A field criterion: field compared with field2.
  static std::unique_ptr<TZyDatabaseParsedCriteria> MakeField(
      TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
      TZyDatabaseFieldOperations operation, const std::string& field2, const std::string& table2);
  // A container with an empty sub-list (of type zydCriteriaListWhere).
  static std::unique_ptr<TZyDatabaseParsedCriteria> MakeContainer(TZyDatabaseLogicTypes logic);

  ~TZyDatabaseParsedCriteria() override;

  TZyDatabaseCriteriaTypes CriteriaTypeGet() const { return criteriaType_; }
  TZyDatabaseLogicTypes LogicGet() const { return logic_; }
  const std::string& FieldNameGet() const { return fieldName_; }
  void FieldNameSet(const std::string& fieldName) { fieldName_ = fieldName; }
  const std::string& TableNameGet() const { return tableName_; }
  TZyDatabaseFieldOperations OperationGet() const { return operation_; }
  // The value as written: a literal's token text (a string literal without its quotes), "NULL",
  // "TRUE", "FALSE", or the parameter with its colon.
  const std::string& ValueGet() const { return value_; }
  // Field criteria: the field on the right.
  const std::string& FieldName2Get() const { return fieldName2_; }
  // Field criteria: the table or alias of FieldName2. Value criteria: after validation, the table
  // that holds FieldName.
  const std::string& TableName2Get() const { return tableName2_; }
  void TableName2Set(const std::string& tableName2) { tableName2_ = tableName2; }
  bool IsStringGet() const { return isString_; }
  bool IsNullGet() const { return isNull_; }
  void IsNullSet(bool isNull) { isNull_ = isNull; }
  bool IsParamGet() const { return isParam_; }
  // Containers only: the criteria inside the parentheses; nullptr for the other kinds.
  TZyDatabaseParsedCriteriaList* CriteriaGet() const { return criteria_.get(); }

  // Binds a value criterion to column (Column and Category) and, unless the value is NULL or a
  // parameter, converts the literal into Data in the column's own type:
  //
  //   category       Data                                              DataSize
  //   integer        the text as a 64-bit integer, kept to the         8
  //                  column's width (its low-order bytes, no range check)
  //   float          the text as a 10-byte float, rounded to the       10
  //                  column's precision
  //   Boolean        1 when the text reads TRUE in any case, else 0    1
  //   Currency       the amount x 10000 in 64 bits                     8
  //   DateTime       days since 12/30/1899 with the time as fraction   8
  //   String, Byte   the first column-size characters and a zero byte  the copied length
  //
  // Numbers, amounts and dates are read in the engine's fixed locale, with one optional sign. A
  // string literal is converted as the text it stands for: its doubled quotes count once ('It''s'
  // gives It's), while Value keeps the token as written. A Byte column stores a literal's
  // characters tagged as a String (DataType). Data is allocated anew, zero-filled, with room for
  // the column's size + 1 bytes and for the category's widest type; a parameter gets the buffer
  // and nothing in it.
  //
  // Raises 0x80000508 "Text and Binary fields cannot be used in where clauses" for a literal aimed
  // at a Text or Binary column (in any list: those columns take values only through parameters
  // or NULL), and 0x80000509 "The field '<FieldName>' cannot be compared to '<Value>'" for a
  // literal that does not convert, or a float beyond the range of a Float4 or Float8 column.
  void ColumnSet(TZyDatabaseColumn* column);

  // Binding, filled by validation.
  TZyDatabaseColumn* ColumnGet() const { return column_; }
  TZyDatabaseColumnTypeCategories CategoryGet() const { return category_; }
  // The value buffer (owned; nullptr until allocated) and its size in bytes.
  uint8_t* DataGet() const { return data_; }
  size_t DataCapacityGet() const { return dataCapacity_; }
  // Frees the buffer and allocates a new one of size bytes, all zero.
  uint8_t* DataAllocate(size_t size);
  // The number of meaningful bytes in the buffer.
  int64_t DataSizeGet() const { return dataSize_; }
  void DataSizeSet(int64_t dataSize) { dataSize_ = dataSize; }
  // For a Byte column: the type whose representation a parameter setter stored in Data.
  TZyDatabaseColumnTypes DataTypeGet() const { return dataType_; }
  void DataTypeSet(TZyDatabaseColumnTypes dataType) { dataType_ = dataType; }

 private:
  TZyDatabaseParsedCriteria(const std::string& name, TZyDatabaseCriteriaTypes criteriaType,
                            TZyDatabaseLogicTypes logic);

  std::string fieldName_;
  std::string tableName_;
  TZyDatabaseFieldOperations operation_ = zydFieldOpEqualTo;
  std::string value_;
  std::string fieldName2_;
  std::string tableName2_;
  // Data lives in the criterion itself when it fits (most columns' values do), else on the heap:
  // a statement is built at every prepare, and each value would cost an allocation.
  static constexpr size_t kInlineData = 64;
  uint8_t* data_ = nullptr;
  std::unique_ptr<uint8_t[]> heapData_;
  size_t dataCapacity_ = 0;
  alignas(8) uint8_t inlineData_[kInlineData];
  TZyDatabaseCriteriaTypes criteriaType_;
  TZyDatabaseLogicTypes logic_;
  TZyDatabaseColumn* column_ = nullptr;
  std::unique_ptr<TZyDatabaseParsedCriteriaList> criteria_;
  TZyDatabaseColumnTypeCategories category_ = zydCategoryInteger;
  int64_t dataSize_ = 0;
  bool isString_ = false;
  bool isNull_ = false;
  bool isParam_ = false;
  TZyDatabaseColumnTypes dataType_ = zydSignedInt64;
};

// Criteria in source order; names may repeat.
class TZyDatabaseParsedCriteriaList
    : public TZyDatabaseTypedList<TZyDatabaseParsedCriteria, false> {
 public:
  explicit TZyDatabaseParsedCriteriaList(TZyDatabaseCriteriaListTypes listType)
      : listType_(listType) {}

  TZyDatabaseCriteriaListTypes ListTypeGet() const { return listType_; }

  // Appends a value criterion.
  TZyDatabaseParsedCriteria* Add(TZyDatabaseLogicTypes logic, const std::string& field,
                                 const std::string& table, TZyDatabaseFieldOperations operation,
                                 const std::string& value, bool isString);
  // Appends a field criterion. (The const char* form keeps a literal second field name from
  // choosing the value form through the pointer's conversion to bool.)
  TZyDatabaseParsedCriteria* Add(TZyDatabaseLogicTypes logic, const std::string& field,
                                 const std::string& table, TZyDatabaseFieldOperations operation,
                                 const std::string& field2, const std::string& table2);
  TZyDatabaseParsedCriteria* Add(TZyDatabaseLogicTypes logic, const std::string& field,
                                 const std::string& table, TZyDatabaseFieldOperations operation,
                                 const std::string& field2, const char* table2) {
    return Add(logic, field, table, operation, field2, std::string(table2));
  }
  // Appends a container with an empty sub-list.
  TZyDatabaseParsedCriteria* AddContainer(TZyDatabaseLogicTypes logic);

 private:
  TZyDatabaseCriteriaListTypes listType_;
};

// The lists below refuse a second item of the same name (letter case aside) with 0x80000102.
class TZyDatabaseParsedFieldList : public TZyDatabaseTypedList<TZyDatabaseParsedField> {
 public:
  TZyDatabaseParsedField* Add(const std::string& name, const std::string& tableName);
};

class TZyDatabaseParsedTableList : public TZyDatabaseTypedList<TZyDatabaseParsedTable> {
 public:
  TZyDatabaseParsedTable* Add(const std::string& name, const std::string& alias);
};

class TZyDatabaseParsedCreateFieldList
    : public TZyDatabaseTypedList<TZyDatabaseParsedCreateField> {
 public:
  TZyDatabaseParsedCreateField* Add(const std::string& name, TZyDatabaseColumnTypes columnType,
                                    uint32_t size, bool allowNull, bool autoNumber);
};

// The statement's parameters, one per distinct name, created by validation from the parameter
// criteria; the parameter class itself comes with the parameter setters.
class TZyDatabaseParams : public TZyDatabaseTypedList<TZyDatabaseParam> {};

class TZyDatabaseParsedSQL {
 public:
  // Keeps a copy of tokens: texts as written, token numbers alongside.
  explicit TZyDatabaseParsedSQL(const TZyTokenList& tokens);
  ~TZyDatabaseParsedSQL();
  TZyDatabaseParsedSQL(const TZyDatabaseParsedSQL&) = delete;
  TZyDatabaseParsedSQL& operator=(const TZyDatabaseParsedSQL&) = delete;

  TZyDatabaseParsedCreateFieldList& CreateFieldsGet() { return createFields_; }
  TZyDatabaseParsedFieldList& FieldsGet() { return fields_; }
  TZyDatabaseParsedTableList& TablesGet() { return tables_; }
  TZyDatabaseParsedCriteriaList& WhereCriteriaGet() { return whereCriteria_; }
  TZyDatabaseParsedCriteriaList& SetCriteriaGet() { return setCriteria_; }
  TZyDatabaseParsedCriteriaList& ValueCriteriaGet() { return valueCriteria_; }
  const TZyTokenList& TokensGet() const { return tokens_; }
  TZyDatabaseParams& ParamsGet() { return params_; }

  TZyDatabaseStatementTypes StatementTypeGet() const { return statementType_; }
  void StatementTypeSet(TZyDatabaseStatementTypes statementType) { statementType_ = statementType; }
  // The row named by a SYS_ROWID criterion of the WHERE clause; 0 when there is none.
  int32_t RowIdGet() const { return rowId_; }
  void RowIdSet(int32_t rowId) { rowId_ = rowId; }

  TZyDatabaseParsedField* FieldAdd(const std::string& name, const std::string& table);
  TZyDatabaseParsedTable* TableAdd(const std::string& name, const std::string& alias);
  // Add to WhereCriteria, for callers that build a statement by hand.
  TZyDatabaseParsedCriteria* CriteriaAdd(TZyDatabaseLogicTypes logic, const std::string& field,
                                         const std::string& table,
                                         TZyDatabaseFieldOperations operation,
                                         const std::string& value, bool isString);
  TZyDatabaseParsedCriteria* CriteriaAdd(TZyDatabaseLogicTypes logic, const std::string& field,
                                         const std::string& table,
                                         TZyDatabaseFieldOperations operation,
                                         const std::string& field2, const std::string& table2);
  TZyDatabaseParsedCriteria* CriteriaAdd(TZyDatabaseLogicTypes logic, const std::string& field,
                                         const std::string& table,
                                         TZyDatabaseFieldOperations operation,
                                         const std::string& field2, const char* table2) {
    return CriteriaAdd(logic, field, table, operation, field2, std::string(table2));
  }
  TZyDatabaseParsedCriteria* CriteriaAddContainer(TZyDatabaseLogicTypes logic);

 private:
  // Held in place rather than allocated one by one: a statement is built at every prepare.
  TZyDatabaseParsedCreateFieldList createFields_;
  TZyDatabaseParsedFieldList fields_;
  TZyDatabaseParsedTableList tables_;
  TZyDatabaseParsedCriteriaList whereCriteria_{zydCriteriaListWhere};
  TZyDatabaseParsedCriteriaList setCriteria_{zydCriteriaListSet};
  TZyTokenList tokens_;
  TZyDatabaseParams params_;
  TZyDatabaseParsedCriteriaList valueCriteria_{zydCriteriaListValues};
  TZyDatabaseStatementTypes statementType_ = zydStatementSelect;
  int32_t rowId_ = 0;
};
