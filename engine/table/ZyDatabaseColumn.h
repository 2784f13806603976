// The 17 column types and their 8 categories (names, stored sizes, lookups), and the column
// definitions of a table: each column knows where its bytes sit in a row record, and the column
// list knows how long a record is.
//
// The type facts (sizes, names, categories, a column's size) are defined here in the header: the
// SQL layer checks parameter values against bound columns with them, and it does not link the
// table layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/foundation/ZyDatabaseGenericList.h"
#include "engine/foundation/ZyDatabaseGenericObject.h"

// Stored in catalogue rows, table streams and byte-column tags: the ordinals never change.
enum TZyDatabaseColumnTypes : uint8_t {
  zydSignedInt64,    // 8 bytes, two's complement, little-endian (as are all integers)
  zydSignedInt32,
  zydUnsignedInt32,
  zydSignedInt16,
  zydUnsignedInt16,
  zydSignedInt8,
  zydUnsignedInt8,
  zydFloat4,         // IEEE single
  zydFloat8,         // IEEE double
  zydFloat10,        // x87 extended, 10 little-endian bytes
  zydBoolean,        // 0 or 1
  zydCurrency,       // int64 amount x 10000
  zydDateTime,       // double, days since 12/30/1899
  zydString,         // declared size, zero-padded
  zydByte,           // declared size, raw, plus a type-tag byte in the row
  zydText,           // 8-byte key of the value stream
  zydBinary,         // 8-byte key of the value stream
};
constexpr int zydColumnTypeCount = 17;

enum TZyDatabaseColumnTypeCategories : uint8_t {
  zydCategoryInteger,
  zydCategoryFloat,
  zydCategoryBoolean,
  zydCategoryCurrency,
  zydCategoryDateTime,
  zydCategoryString,
  zydCategoryByte,
  zydCategoryRaw,
};

// Stored size of each type, indexed by type. String and Byte say 1: they take the declared size.
inline constexpr int32_t ZyDbColumnSizes[zydColumnTypeCount] = {8, 4, 4, 2, 2, 1, 1, 4, 8,
                                                               10, 1, 8, 8, 1, 1, 8, 8};
// The type names, indexed by type, as error messages and the catalogue spell them.
inline constexpr const char* ZyDbColumnTypeNames[zydColumnTypeCount] = {
    "SignedInt64", "SignedInt32", "UnsignedInt32", "SignedInt16", "UnsignedInt16",
    "SignedInt8",  "UnsignedInt8", "Float4",       "Float8",      "Float10",
    "Boolean",     "Currency",    "DateTime",      "String",      "Byte",
    "Text",        "Binary"};

// ZyDbColumnSizes[type]; 0 for a value outside the 17 types (a damaged type byte).
inline int32_t zydColumnSizeGetByType(TZyDatabaseColumnTypes type) {
  return type < zydColumnTypeCount ? ZyDbColumnSizes[type] : 0;
}
// "SignedInt64" ... "Binary"; "" for a value outside the 17 types.
inline std::string zydColumnTypeGetName(TZyDatabaseColumnTypes type) {
  return type < zydColumnTypeCount ? ZyDbColumnTypeNames[type] : "";
}
// The type named name, letter case aside (ASCII). Unknown names raise 0x80000302
// "The column type name '<name>' was not found".
TZyDatabaseColumnTypes zydColumnNameGetType(const std::string& name);
// The widest type of a category, in which its values travel when the exact type does not
// matter; any value above 6 gives zydBinary.
TZyDatabaseColumnTypes zydColumnCategoryGetType(TZyDatabaseColumnTypeCategories category);
// Any value above 14 gives zydCategoryRaw.
inline TZyDatabaseColumnTypeCategories zydColumnCategoryGetByType(TZyDatabaseColumnTypes type) {
  if (type <= zydUnsignedInt8) return zydCategoryInteger;
  switch (type) {
    case zydFloat4:
    case zydFloat8:
    case zydFloat10: return zydCategoryFloat;
    case zydBoolean: return zydCategoryBoolean;
    case zydCurrency: return zydCategoryCurrency;
    case zydDateTime: return zydCategoryDateTime;
    case zydString: return zydCategoryString;
    case zydByte: return zydCategoryByte;
    default: return zydCategoryRaw;
  }
}

// Column flags.
constexpr uint64_t zydColumnNullable = 0x1;
constexpr uint64_t zydColumnAutoNumber = 0x2;

class TZyDatabaseColumn;

// What a field needs to know about its column, fixed when the column is made. Only the engine
// creates it (it passes the system key); any other key raises 0x80000702.
class TZyDatabaseColumnData {
 public:
  TZyDatabaseColumnData(uint64_t key, const TZyDatabaseColumn& column);
  TZyDatabaseColumnData(const TZyDatabaseColumnData&) = delete;
  TZyDatabaseColumnData& operator=(const TZyDatabaseColumnData&) = delete;

  const std::string& NameGet() const { return name_; }
  TZyDatabaseColumnTypes TypeGet() const { return type_; }
  bool NullableGet() const { return nullable_; }
  bool AutoNumberGet() const { return autoNumber_; }
  uint32_t SizeGet() const { return size_; }
  TZyDatabaseColumnTypeCategories CategoryGet() const { return category_; }

 private:
  std::string name_;
  TZyDatabaseColumnTypes type_;
  bool nullable_;
  bool autoNumber_;
  uint32_t size_;
  TZyDatabaseColumnTypeCategories category_;
};

// One column of a table. Its bytes in a row record: a flag byte at OffsetGet(), SizeGet() bytes
// of data, and for Byte columns one type-tag byte. The first column follows the row's 4-byte
// status word; each later one follows the column before it, so columns are only appended.
class TZyDatabaseColumn : public TZyDatabaseGenericObject {
 public:
  // previous is the column before this one in the row, or nullptr for the first. size matters
  // for String and Byte columns only; flags bits other than nullable and auto-number are kept
  // but mean nothing.
  TZyDatabaseColumn(const std::string& name, TZyDatabaseColumnTypes type,
                    const TZyDatabaseColumn* previous, uint64_t flags, uint64_t size);
  // Defined here, so the class has no key function: its type information is emitted wherever it
  // is used, and code that only reads columns (checked member calls included) needs no table
  // layer objects.
  ~TZyDatabaseColumn() override = default;

  TZyDatabaseColumnTypes TypeGet() const { return type_; }
  uint64_t FlagsGet() const { return flags_; }
  // The declared size as given, whatever the type.
  uint64_t DeclaredSizeGet() const { return size_; }
  uint32_t OffsetGet() const { return offset_; }
  bool NullableGet() const { return nullable_; }
  bool AutoNumberGet() const { return autoNumber_; }
  TZyDatabaseColumnData* ColumnDataGet() const { return data_.get(); }

  // Bytes of data in a row: the declared size for String and Byte, else the type's size.
  uint64_t SizeGet() const {
    if (type_ == zydString || type_ == zydByte) return size_;
    return static_cast<uint64_t>(zydColumnSizeGetByType(type_));
  }
  // Bytes a value of the column's category takes when carried in its widest type: 8 for
  // integers, 10 for floats, 1, 8, 8 for Boolean, Currency, DateTime, SizeGet() for String and
  // Byte, 0 for Text and Binary.
  uint64_t CategorySizeGet() const;
  TZyDatabaseColumnTypeCategories CategoryGet() const { return zydColumnCategoryGetByType(type_); }
  // Bytes the column takes in a row record: flag byte, data, and a Byte column's tag byte.
  uint64_t RecordBytesGet() const { return 1 + SizeGet() + (type_ == zydByte ? 1 : 0); }

 private:
  TZyDatabaseColumnTypes type_;
  uint64_t flags_;
  uint64_t size_;
  uint32_t offset_;
  bool nullable_;
  bool autoNumber_;
  std::unique_ptr<TZyDatabaseColumnData> data_;
};

// The columns of one table, in row order, with unique names (letter case aside).
class TZyDatabaseColumnList : public TZyDatabaseTypedList<TZyDatabaseColumn> {
 public:
  // Appends a column after the current last one. A name already present raises 0x80000102;
  // a column that would make a row record longer than zydMaxRecordSize bytes raises 0x80000303
  // "The column '<name>' makes a row longer than 2147483647 bytes". Either way the list stays
  // as it was.
  TZyDatabaseColumn* Add(const std::string& name, TZyDatabaseColumnTypes type, uint64_t flags,
                         uint64_t size);
  // Bytes of one row record; 0 while the list is empty.
  uint32_t RecordSizeGet() const { return recordSize_; }

 private:
  uint32_t recordSize_ = 0;
};

// Rows are read and written through 32-bit signed sizes, so a record stays below 2 GiB.
constexpr uint64_t zydMaxRecordSize = 0x7FFFFFFF;
constexpr uint32_t zydErrRecordTooLarge = 0x80000303;
