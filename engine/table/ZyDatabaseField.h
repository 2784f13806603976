// The caller's view of one result column of an open query: the cursor hands each row's stored
// value to the field, which keeps it in the slot of its type, and typed readers convert it on
// request or refuse with one uniform error. Text and Binary values are read only when asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseGenericList.h"
#include "engine/foundation/ZyDatabaseGenericObject.h"
#include "engine/table/ZyDatabaseColumn.h"
#include "platform/framework/Currency.h"
#include "platform/framework/DateTime.h"

namespace zyfw {
class TStream;
}
class TZyDatabaseTable;

// Which readers accept which held value (integer: the seven integer types; float: the three
// float types; "-": the reader raises 0x80000601 "The field '<name>' is of type <column type>
// and may not be converted to type <target>"):
//
//   reader        integer   float          Boolean  Currency  DateTime  String          others
//   AsSignedInt64 value     round, even    1 / 0    -         -         parsed or 0     -
//   AsFloat10     value     value          -        amount    -         parsed or 0     -
//   AsCurrency    value     round, even    -        value     -         parsed or 0     -
//   AsDateTime    -         -              -        -         value     -               -
//   AsBoolean     not 0     -              value    -         -         Y/YES/T/TRUE    -
//   AsString      always (digits, 15-digit floats, "Y"/"N", amounts, dates, hex bytes, the
//                 text of a Text value, "" for Binary)
//
// A null value reads as 0, false or "" everywhere. The narrower integer readers keep the low bits
// of AsSignedInt64, AsFloat8 and AsFloat4 round AsFloat10 to nearest. A float or an amount that
// does not fit the target (beyond 64 bits, NaN) raises the same conversion error, with details
// naming the value. The held type is the column's, except in a Byte column, whose values carry
// the type they were stored with; errors always name the column's own type.
class TZyDatabaseField : public TZyDatabaseGenericObject {
 public:
  // table may be null for a field whose column is not Text or Binary; such a field reads Text
  // values as "" and opens no Binary values.
  TZyDatabaseField(TZyDatabaseTable* table, TZyDatabaseColumn* column);
  ~TZyDatabaseField() override;

  // Reserved for the cursor (any key but the system key raises 0x80000702): takes the next
  // row's value over. data holds the value in valueType's stored encoding; a String value ends
  // at a zero byte or after SizeGet() bytes. With isNull the earlier value stays in its slot,
  // unseen. Loading a Text or Binary value releases the stream AsBinary opened.
  void SysDataSet(uint64_t key, const void* data, bool isNull, TZyDatabaseColumnTypes valueType);

  int64_t AsSignedInt64() const;
  int32_t AsSignedInt32() const { return static_cast<int32_t>(AsSignedInt64()); }
  uint32_t AsUnsignedInt32() const { return static_cast<uint32_t>(AsSignedInt64()); }
  int16_t AsSignedInt16() const { return static_cast<int16_t>(AsSignedInt64()); }
  uint16_t AsUnsignedInt16() const { return static_cast<uint16_t>(AsSignedInt64()); }
  int8_t AsSignedInt8() const { return static_cast<int8_t>(AsSignedInt64()); }
  uint8_t AsUnsignedInt8() const { return static_cast<uint8_t>(AsSignedInt64()); }
  long double AsFloat10() const;
  double AsFloat8() const { return static_cast<double>(AsFloat10()); }
  float AsFloat4() const { return static_cast<float>(AsFloat10()); }
  zyfw::Currency AsCurrency() const;
  zyfw::TDateTime AsDateTime() const;
  bool AsBoolean() const;
  std::string AsString() const;
  std::string AsText() const { return AsString(); }
  // A Byte column's raw bytes, whatever type they were stored with: count bytes (all SizeGet()
  // bytes when count is 0 or larger) into buffer. Other columns raise the conversion error.
  // While the value is null the bytes of the last value are copied (zeros before the first).
  void AsByte(void* buffer, uint32_t count) const;
  // The Binary value opened for reading, owned by the field until CloseBinary, the next Text or
  // Binary value, or the field's end; nullptr for a null or non-Binary value. Called again, it
  // releases the stream it gave before and opens the value anew.
  zyfw::TStream* AsBinary();
  void CloseBinary();

  const std::string& ColumnNameGet() const { return columnName_; }
  TZyDatabaseColumnTypes ColumnTypeGet() const { return columnType_; }
  TZyDatabaseColumnTypes ValueTypeGet() const { return valueType_; }
  TZyDatabaseColumnTypeCategories CategoryGet() const { return category_; }
  uint32_t SizeGet() const { return size_; }
  bool NullableGet() const { return nullable_; }
  bool IsAutoNumberGet() const { return isAutoNumber_; }
  bool IsNullGet() const { return isNull_; }
  uint64_t ValueKeyGet() const { return valueKey_; }
  TZyDatabaseColumnData* ColumnDataGet() const { return columnData_; }
  TZyDatabaseColumn* ColumnGet() const { return column_; }
  TZyDatabaseTable* TableGet() const { return table_; }

 private:
  [[noreturn]] void Refuse(const char* method, const char* target,
                           const std::string& details = std::string()) const;

  // The value slots; only the one of valueType_ means anything.
  int64_t integerValue_ = 0;
  long double floatValue_ = 0;
  std::string stringValue_;
  uint8_t booleanValue_ = 0;
  zyfw::Currency currencyValue_;
  zyfw::TDateTime dateTimeValue_ = 0;
  std::vector<uint8_t> byteValue_;  // SizeGet() bytes, allocated once
  uint64_t valueKey_ = 0;
  std::unique_ptr<zyfw::TStream> binaryStream_;

  TZyDatabaseColumnTypes columnType_;
  TZyDatabaseColumnTypes valueType_ = zydSignedInt64;
  TZyDatabaseColumnTypeCategories category_;
  uint32_t size_;
  std::string columnName_;
  bool nullable_;
  bool isAutoNumber_;
  bool isNull_ = false;
  TZyDatabaseColumnData* columnData_;
  TZyDatabaseColumn* column_;
  TZyDatabaseTable* table_;
};

// The fields of one query, under their columns' names (unique, letter case aside).
class TZyDatabaseFields : public TZyDatabaseTypedList<TZyDatabaseField> {
 public:
  // Creates the field of column and appends it. A name already present raises 0x80000102 and
  // the field is not kept.
  TZyDatabaseField* Add(TZyDatabaseTable* table, TZyDatabaseColumn* column);
  // The field named name; a name not present raises the list-index error (zyfw::EListError).
  TZyDatabaseField* Find(const std::string& name) const { return Get(FindIndex(name)); }
};
