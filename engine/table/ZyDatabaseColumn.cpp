#include "engine/table/ZyDatabaseColumn.h"

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "platform/framework/Convert.h"

TZyDatabaseColumnTypes zydColumnNameGetType(const std::string& name) {
  const std::string upper = zyfw::UpperCase(name);
  for (int t = 0; t < zydColumnTypeCount; ++t) {
    if (upper == zyfw::UpperCase(ZyDbColumnTypeNames[t]))
      return static_cast<TZyDatabaseColumnTypes>(t);
  }
  throw EZyException(zydErrColumnTypeName, zydModuleText(zydModColumn), zydMthColumnNameGetByType,
                     zydFormat(zydTxtColumnTypeName, name.c_str()));
}

TZyDatabaseColumnTypes zydColumnCategoryGetType(TZyDatabaseColumnTypeCategories category) {
  switch (category) {
    case zydCategoryInteger: return zydSignedInt64;
    case zydCategoryFloat: return zydFloat10;
    case zydCategoryBoolean: return zydBoolean;
    case zydCategoryCurrency: return zydCurrency;
    case zydCategoryDateTime: return zydDateTime;
    case zydCategoryString: return zydString;
    case zydCategoryByte: return zydByte;
    default: return zydBinary;
  }
}

// ---- TZyDatabaseColumnData ------------------------------------------------------------------

TZyDatabaseColumnData::TZyDatabaseColumnData(uint64_t key, const TZyDatabaseColumn& column)
    : name_((zydCheckSysKey(key, "TZyDatabaseColumnData.Create"), column.NameGet())),
      type_(column.TypeGet()),
      nullable_(column.NullableGet()),
      autoNumber_(column.AutoNumberGet()),
      size_(static_cast<uint32_t>(column.SizeGet())),
      category_(column.CategoryGet()) {}

// ---- TZyDatabaseColumn ----------------------------------------------------------------------

TZyDatabaseColumn::TZyDatabaseColumn(const std::string& name, TZyDatabaseColumnTypes type,
                                     const TZyDatabaseColumn* previous, uint64_t flags,
                                     uint64_t size)
    : TZyDatabaseGenericObject(name),
      type_(type),
      flags_(flags),
      size_(size),
      // After the 4-byte status word, or after everything the previous column takes.
      offset_(previous ? static_cast<uint32_t>(previous->OffsetGet() + previous->RecordBytesGet())
                       : 4),
      nullable_((flags & zydColumnNullable) != 0),
      autoNumber_((flags & zydColumnAutoNumber) != 0) {
  data_ = std::make_unique<TZyDatabaseColumnData>(zydSysKey, *this);
}

uint64_t TZyDatabaseColumn::CategorySizeGet() const {
  switch (CategoryGet()) {
    case zydCategoryInteger: return 8;
    case zydCategoryFloat: return 10;
    case zydCategoryBoolean: return 1;
    case zydCategoryCurrency:
    case zydCategoryDateTime: return 8;
    case zydCategoryString:
    case zydCategoryByte: return SizeGet();
    default: return 0;
  }
}

// ---- TZyDatabaseColumnList ------------------------------------------------------------------

TZyDatabaseColumn* TZyDatabaseColumnList::Add(const std::string& name, TZyDatabaseColumnTypes type,
                                              uint64_t flags, uint64_t size) {
  const int32_t count = CountGet();
  const TZyDatabaseColumn* previous = count > 0 ? Get(count - 1) : nullptr;
  auto column = std::make_unique<TZyDatabaseColumn>(name, type, previous, flags, size);
  // A declared size near 2^64 would wrap the sum, so the size is checked on its own first.
  const uint64_t columnBytes = column->SizeGet();
  if (columnBytes > zydMaxRecordSize ||
      column->OffsetGet() + column->RecordBytesGet() > zydMaxRecordSize) {
    throw EZyException(zydErrRecordTooLarge, zydModuleText(zydModColumn),
                       "TZyDatabaseColumnList.Add",
                       zydFormat("The column '%s' makes a row longer than %llu bytes",
                                 name.c_str(), static_cast<unsigned long long>(zydMaxRecordSize)));
  }
  TZyDatabaseColumn* added = TZyDatabaseTypedList<TZyDatabaseColumn>::Add(std::move(column));
  recordSize_ = static_cast<uint32_t>(added->OffsetGet() + added->RecordBytesGet());
  return added;
}
