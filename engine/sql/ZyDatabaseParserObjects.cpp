#include "engine/sql/ZyDatabaseParserObjects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "platform/framework/Convert.h"

namespace {

bool IsNullText(const std::string& value) {
  return value.size() == 4 && (value[0] | 0x20) == 'n' && (value[1] | 0x20) == 'u' &&
         (value[2] | 0x20) == 'l' && (value[3] | 0x20) == 'l';
}

// The text a string literal stands for: the lexer keeps a quote inside a literal doubled, as it
// was written.
std::string Undoubled(const std::string& token) {
  if (token.find('\'') == std::string::npos) return token;
  std::string text;
  text.reserve(token.size());
  for (size_t i = 0; i < token.size(); ++i) {
    text += token[i];
    if (token[i] == '\'' && i + 1 < token.size() && token[i + 1] == '\'') ++i;
  }
  return text;
}

void StoreLE(uint8_t* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Bytes of the widest type of a column's category: the literal is read in that type before it
// is narrowed to the column's, in the same buffer.
uint64_t WidestSize(const TZyDatabaseColumn& column) {
  switch (column.CategoryGet()) {
    case zydCategoryInteger: return 8;
    case zydCategoryFloat: return zyfw::kFloat10Size;
    default: return column.SizeGet();
  }
}

// The literal text in the column's type at data; false when it does not convert.
bool ConvertLiteral(const std::string& text, const TZyDatabaseColumn& column, uint8_t* data,
                    int64_t* dataSize) {
  switch (column.CategoryGet()) {
    case zydCategoryInteger: {
      int64_t value;
      if (!zyfw::TryStrToInt64(text, &value)) return false;
      // Little-endian: the column's width is the value's low-order bytes, already in place.
      StoreLE(data, static_cast<uint64_t>(value), 8);
      *dataSize = 8;
      return true;
    }
    case zydCategoryFloat: {
      long double value;
      if (!zyfw::TryStrToFloat(text, &value)) return false;
      // A value that the column's precision cannot hold would compare and store as an infinity.
      if (column.TypeGet() == zydFloat4) {
        const float f = static_cast<float>(value);
        if (!std::isfinite(f)) return false;
        std::memcpy(data, &f, sizeof f);
      } else if (column.TypeGet() == zydFloat8) {
        const double d = static_cast<double>(value);
        if (!std::isfinite(d)) return false;
        std::memcpy(data, &d, sizeof d);
      } else {
        zyfw::Float10ToBytes(value, data);
      }
      *dataSize = zyfw::kFloat10Size;
      return true;
    }
    case zydCategoryBoolean:
      data[0] = zyfw::UpperCase(text) == "TRUE" ? 1 : 0;
      *dataSize = 1;
      return true;
    case zydCategoryCurrency: {
      zyfw::Currency amount;
      if (!zyfw::TryStrToCurr(text, &amount)) return false;
      StoreLE(data, static_cast<uint64_t>(amount.Raw()), 8);
      *dataSize = 8;
      return true;
    }
    case zydCategoryDateTime: {
      zyfw::TDateTime when;
      if (!zyfw::TryStrToDateTime(text, &when)) return false;
      std::memcpy(data, &when, sizeof when);
      *dataSize = sizeof when;
      return true;
    }
    case zydCategoryString:
    case zydCategoryByte: {
      // The buffer is zero-filled, so the copied characters are already terminated.
      const size_t length = std::min<uint64_t>(text.size(), column.SizeGet());
      std::memcpy(data, text.data(), length);
      *dataSize = static_cast<int64_t>(strnlen(reinterpret_cast<const char*>(data), length));
      return true;
    }
    default:
      return false;
  }
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
  data_ = nullptr;
  dataCapacity_ = 0;
  heapData_.reset();
  if (size <= kInlineData) {
    std::memset(inlineData_, 0, size);
    data_ = inlineData_;
  } else {
    heapData_ = std::make_unique<uint8_t[]>(size);  // value-initialised: all zero
    data_ = heapData_.get();
  }
  dataCapacity_ = size;
  return data_;
}

void TZyDatabaseParsedCriteria::ColumnSet(TZyDatabaseColumn* column) {
  column_ = column;
  category_ = column->CategoryGet();
  if (isNull_) return;
  if (category_ == zydCategoryRaw && !isParam_)
    throw EZyException(zydErrBlobInWhere, zydModuleText(zydModParserObjects),
                       zydMthParsedCriteriaColumnSet, zydTxtBlobInWhere);
  uint8_t* data = DataAllocate(std::max(column->SizeGet(), WidestSize(*column)) + 1);
  if (isParam_) return;
  int64_t size = 0;
  if (!ConvertLiteral(isString_ ? Undoubled(value_) : value_, *column, data, &size))
    throw EZyException(zydErrFieldNotComparable, zydModuleText(zydModParserObjects),
                       zydMthParsedCriteriaColumnSet,
                       zydFormat(zydTxtFieldNotComparable, fieldName_.c_str(), value_.c_str()));
  dataSize_ = size;
  if (column->TypeGet() == zydByte) dataType_ = zydString;
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

TZyDatabaseParsedSQL::TZyDatabaseParsedSQL(const TZyTokenList& tokens) : tokens_(tokens) {}

TZyDatabaseParsedSQL::~TZyDatabaseParsedSQL() = default;

TZyDatabaseParsedField* TZyDatabaseParsedSQL::FieldAdd(const std::string& name,
                                                       const std::string& table) {
  return fields_.Add(name, table);
}

TZyDatabaseParsedTable* TZyDatabaseParsedSQL::TableAdd(const std::string& name,
                                                       const std::string& alias) {
  return tables_.Add(name, alias);
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedSQL::CriteriaAdd(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& value, bool isString) {
  return whereCriteria_.Add(logic, field, table, operation, value, isString);
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedSQL::CriteriaAdd(
    TZyDatabaseLogicTypes logic, const std::string& field, const std::string& table,
    TZyDatabaseFieldOperations operation, const std::string& field2, const std::string& table2) {
  return whereCriteria_.Add(logic, field, table, operation, field2, table2);
}

TZyDatabaseParsedCriteria* TZyDatabaseParsedSQL::CriteriaAddContainer(
    TZyDatabaseLogicTypes logic) {
  return whereCriteria_.AddContainer(logic);
}
