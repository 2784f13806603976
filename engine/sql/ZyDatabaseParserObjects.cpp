#include "engine/sql/ZyDatabaseParserObjects.h"

#include <utility>

namespace {

bool IsNullText(const std::string& value) {
  return value.size() == 4 && (value[0] | 0x20) == 'n' && (value[1] | 0x20) == 'u' &&
         (value[2] | 0x20) == 'l' && (value[3] | 0x20) == 'l';
}

}  // namespace

TZyDatabaseParsedField::TZyDatabaseParsedField(const std::string& name,
                                               const std::string& tableName)
    : TZyDatabaseGenericObject(name), tableName_(tableName) {}

TZyDatabaseParsedTable::TZyDatabaseParsedTable(const std::string& name, const std::string& alias)
    : TZyDatabaseGenericObject(name), alias_(alias) {}

TZyDatabaseParsedCreateField::TZyDatabaseParsedCreateField(const std::string& name,
                                                           TZyDatabaseColumnTypes columnType,
                                                           uint32_t size, bool allowNull,
                                                           bool autoNumber)
    : TZyDatabaseGenericObject(name),
      columnType_(columnType),
      size_(size),
      allowNull_(allowNull),
      autoNumber_(autoNumber) {}

// ---------------------------------------------------------------------------------------------

TZyDatabaseParsedCriteria::TZyDatabaseParsedCriteria(const std::string& name,
                                                     TZyDatabaseCriteriaTypes criteriaType,
                                                     TZyDatabaseLogicTypes logic)
    : TZyDatabaseGenericObject(name), criteriaType_(criteriaType), logic_(logic) {}

TZyDatabaseParsedCriteria::~TZyDatabaseParsedCriteria() = default;

std::unique_ptr<TZyDatabaseParsedCriteria> TZyDatabaseParsedCriteria::MakeValue(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& value, bool isString) {
  std::unique_ptr<TZyDatabaseParsedCriteria> c(
      new TZyDatabaseParsedCriteria(field, zydCriteriaValue, logic));
  c->fieldName_ = field;
  c->tableName_ = table;
  c->operation_ = operation;
  c->value_ = value;
  c->isString_ = isString;
  if (!isString) {
    c->isNull_ = IsNullText(value);
    c->isParam_ = !value.empty() && value[0] == ':';
  }
  return c;
}

std::unique_ptr<TZyDatabaseParsedCriteria> TZyDatabaseParsedCriteria::MakeField(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& field2, const std::string& table2) {
  std::unique_ptr<TZyDatabaseParsedCriteria> c(
      new TZyDatabaseParsedCriteria(field, zydCriteriaField, logic));
  c->fieldName_ = field;
  c->tableName_ = table;
  c->operation_ = operation;
  c->fieldName2_ = field2;
  c->tableName2_ = table2;
  return c;
}

std::unique_ptr<TZyDatabaseParsedCriteria> TZyDatabaseParsedCriteria::MakeContainer(
    TZyDatabaseLogicTypes logic) {
  std::unique_ptr<TZyDatabaseParsedCriteria> c(
      new TZyDatabaseParsedCriteria(std::string(), zydCriteriaContainer, logic));
  c->criteria_ = std::make_unique<TZyDatabaseParsedCriteriaList>(zydCriteriaListWhere);
  return c;
}

uint8_t* TZyDatabaseParsedCriteria::DataAllocate(size_t size) {
  data_.reset();
  dataCapacity_ = 0;
  data_ = std::make_unique<uint8_t[]>(size);  // value-initialised: all zero
  dataCapacity_ = size;
  return data_.get();
}

// ---------------------------------------------------------------------------------------------

TZyDatabaseParsedCriteria* TZyDatabaseParsedCriteriaList::Add(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& value, bool isString) {
  return TZyDatabaseTypedList::Add(
      TZyDatabaseParsedCriteria::MakeValue(logic, field, table, operation, value, isString));
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedCriteriaList::Add(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& field2, const std::string& table2) {
  return TZyDatabaseTypedList::Add(
      TZyDatabaseParsedCriteria::MakeField(logic, field, table, operation, field2, table2));
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedCriteriaList::AddContainer(
    TZyDatabaseLogicTypes logic) {
  return TZyDatabaseTypedList::Add(TZyDatabaseParsedCriteria::MakeContainer(logic));
}

TZyDatabaseParsedField* TZyDatabaseParsedFieldList::Add(const std::string& name,
                                                        const std::string& tableName) {
  return TZyDatabaseTypedList::Add(std::make_unique<TZyDatabaseParsedField>(name, tableName));
}

TZyDatabaseParsedTable* TZyDatabaseParsedTableList::Add(const std::string& name,
                                                        const std::string& alias) {
  return TZyDatabaseTypedList::Add(std::make_unique<TZyDatabaseParsedTable>(name, alias));
}

TZyDatabaseParsedCreateField* TZyDatabaseParsedCreateFieldList::Add(
    const std::string& name, TZyDatabaseColumnTypes columnType, uint32_t size, bool allowNull,
    bool autoNumber) {
  return TZyDatabaseTypedList::Add(std::make_unique<TZyDatabaseParsedCreateField>(
      name, columnType, size, allowNull, autoNumber));
}

// ---------------------------------------------------------------------------------------------

TZyDatabaseParsedSQL::TZyDatabaseParsedSQL(const TZyTokenList& tokens)
    : createFields_(std::make_unique<TZyDatabaseParsedCreateFieldList>()),
      fields_(std::make_unique<TZyDatabaseParsedFieldList>()),
      tables_(std::make_unique<TZyDatabaseParsedTableList>()),
      whereCriteria_(std::make_unique<TZyDatabaseParsedCriteriaList>(zydCriteriaListWhere)),
      setCriteria_(std::make_unique<TZyDatabaseParsedCriteriaList>(zydCriteriaListSet)),
      tokens_(std::make_unique<TZyTokenList>(tokens)),
      params_(std::make_unique<TZyDatabaseParams>()),
      valueCriteria_(std::make_unique<TZyDatabaseParsedCriteriaList>(zydCriteriaListValues)) {}

TZyDatabaseParsedSQL::~TZyDatabaseParsedSQL() = default;

TZyDatabaseParsedField* TZyDatabaseParsedSQL::FieldAdd(const std::string& name,
                                                       const std::string& table) {
  return fields_->Add(name, table);
}

TZyDatabaseParsedTable* TZyDatabaseParsedSQL::TableAdd(const std::string& name,
                                                       const std::string& alias) {
  return tables_->Add(name, alias);
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedSQL::CriteriaAdd(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& value, bool isString) {
  return whereCriteria_->Add(logic, field, table, operation, value, isString);
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedSQL::CriteriaAdd(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& field2, const std::string& table2) {
  return whereCriteria_->Add(logic, field, table, operation, field2, table2);
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedSQL::CriteriaAddContainer(
    TZyDatabaseLogicTypes logic) {
  return whereCriteria_->AddContainer(logic);
}
