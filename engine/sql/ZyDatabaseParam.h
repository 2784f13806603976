// Query parameters: the value slots a statement names with a colon (":Id") in place of a literal.
// Each parameter is tied to one bound criterion of the parsed statement; its typed setters check
// the value against the criterion's column and write it into the criterion's value buffer, where
// the query reads it at every execution.
#pragma once

#include <cstdint>
#include <string>

#include "engine/foundation/ZyDatabaseGenericObject.h"
#include "engine/sql/ZyDatabaseParserObjects.h"
#include "engine/table/ZyDatabaseColumn.h"
#include "platform/framework/Currency.h"
#include "platform/framework/DateTime.h"

namespace zyfw {
class TStream;
class Variant;
}  // namespace zyfw

// The value of a parameter lives in its criterion, not here: Data (the column's size + 1 bytes),
// DataSize, IsNull and, for a Byte column, DataType (the type whose bytes a setter stored). What a
// setter accepts depends on the column's category:
//
//   setter                    integer float  Boolean Currency DateTime String Byte  Text Binary
//   IntegerSet (7 typed)      stored  -      -       -        -        -      raw   -    -
//   FloatSet (3 typed)        -       stored -       -        -        -      raw   -    -
//   BooleanSet                -       -      stored  -        -        -      raw   -    -
//   CurrencySet               -       -      -       stored   -        -      raw   -    -
//   DateTimeSet               -       -      -       -        stored   -      raw   -    -
//   StringSet                 -       -      -       -        -        stored text  -    -
//   ByteSet, ByteStringSet    -       -      -       -        -        -      stored -   -
//   TextSet                   -       -      -       -        -        -      -     ref  -
//   BinarySet                 -       -      -       -        -        -      -     -    ref
//
// "-" raises 0x80000800 "The '<name>' parameter cannot be converted from <value type> to
// <column type>". "raw" writes the value's own little-endian bytes at the start of a Byte
// column's buffer and tags them with the value's type; a value wider than the column raises
// 0x80000801 instead. "ref" keeps a pointer to the caller's object, not a copy. A refused value
// leaves the previous value and null state as they were; an accepted one clears the null state.
class TZyDatabaseParam : public TZyDatabaseGenericObject {
 public:
  // Made by validation for a parameter criterion (value ":Name", not a string literal) once the
  // criterion is bound to column: the parameter is named after the value without its colon, in
  // the case written, and takes the column's type, category, size and nullability. The
  // criterion's value buffer is kept when it already holds the column's size + 1 bytes (as
  // binding allocates it) and allocated otherwise. The parameter starts null. Neither the
  // criterion nor the column is owned; both outlive the parameter within their statement.
  //   statement.ParamsGet().Add(std::make_unique<TZyDatabaseParam>(*criteria, *column));
  TZyDatabaseParam(TZyDatabaseParsedCriteria& criteria, const TZyDatabaseColumn& column);
  ~TZyDatabaseParam() override;

  TZyDatabaseColumnTypes ColumnTypeGet() const { return columnType_; }
  TZyDatabaseColumnTypeCategories CategoryGet() const { return category_; }
  // The column's size in bytes (the declared size of a String or Byte column).
  uint32_t SizeGet() const { return size_; }
  bool AllowNullGet() const { return allowNull_; }
  TZyDatabaseParsedCriteria* CriteriaGet() const { return criteria_; }

  // NullSet(true) makes the value null without touching the buffer, so NullSet(false) afterwards
  // brings the last value back.
  bool NullGet() const { return criteria_->IsNullGet(); }
  void NullSet(bool value) { criteria_->IsNullSet(value); }

  // Integers: the typed setters extend their value to 64 bits by its signedness and hand it on
  // with their own type. An integer column keeps the value's low-order bytes of its own width,
  // without a range check (300 in a SignedInt8 column is 44); a Byte column takes the source
  // type's bytes. IntegerSet with a source type that is not an integer type is refused.
  void SignedInt64Set(int64_t value);
  void SignedInt32Set(int32_t value);
  void UnsignedInt32Set(uint32_t value);
  void SignedInt16Set(int16_t value);
  void UnsignedInt16Set(uint16_t value);
  void SignedInt8Set(int8_t value);
  void UnsignedInt8Set(uint8_t value);
  void IntegerSet(TZyDatabaseColumnTypes sourceType, int64_t value);

  // Floats: a float column stores the value rounded to its own format; a Byte column takes it in
  // the source type's format. FloatSet with a source type that is not a float type is refused.
  void Float4Set(float value);
  void Float8Set(double value);
  void Float10Set(long double value);
  void FloatSet(TZyDatabaseColumnTypes sourceType, long double value);

  void BooleanSet(bool value);                 // one byte, 1 or 0
  void CurrencySet(zyfw::Currency value);      // the 8 bytes of the amount x 10000
  void DateTimeSet(zyfw::TDateTime value);     // the 8 bytes of days since 12/30/1899

  // String and Byte columns: the text cut to the column's size, then a terminating zero; DataSize
  // is the length of the cut text. In a Byte column the bytes are tagged as a String.
  void StringSet(const std::string& value);

  // Byte columns: exactly the column's size in bytes from bytes. A null pointer is refused with
  // the length error (a value of 0 bytes).
  void ByteSet(const void* bytes);
  // Byte columns: upper-case hexadecimal, two digits a byte from the start ("0A" is 10); a pair
  // with any other character gives 0, a last odd digit is ignored and bytes past the text are 0.
  // More bytes than the column holds are refused with the length error.
  void ByteStringSet(const std::string& hex);

  // Text columns: the buffer keeps a pointer to the characters, not a copy, so they must stay
  // alive and unchanged until the statement has run. A temporary string would be gone by then,
  // which is why that overload does not exist. A null pointer stands for the empty text.
  void TextSet(const char* value);
  void TextSet(const std::string& value) { TextSet(value.c_str()); }
  void TextSet(std::string&& value) = delete;
  // Binary columns: the buffer keeps a pointer to stream, which the statement reads whole when it
  // runs; the stream must stay alive until then.
  void BinarySet(zyfw::TStream& stream);

  // By the column's category: integer through the variant as a 32-bit integer, float as a
  // 10-byte float, Boolean, Currency, DateTime through the variant's text read as a date and
  // time, String through its text. Byte, Text and Binary columns are left as they are. A variant
  // that does not convert (a null one included) raises the framework's error and changes
  // nothing.
  void VariantSet(const zyfw::Variant& value);

  // What TextSet and BinarySet left in a criterion's buffer, for the statement's execution:
  // the text's characters and the stream. nullptr while the buffer holds no reference.
  static const char* TextReferenceGet(const TZyDatabaseParsedCriteria& criteria);
  static zyfw::TStream* BinaryReferenceGet(const TZyDatabaseParsedCriteria& criteria);

 private:
  [[noreturn]] void RefuseType(const char* method, TZyDatabaseColumnTypes sourceType) const;
  [[noreturn]] void RefuseLength(const char* method, TZyDatabaseColumnTypes sourceType,
                                 uint64_t length) const;
  // A Byte column's raw value: bytes of length bytes tagged as type, the rest of the column
  // cleared. Raises the length error when the column is narrower.
  void RawSet(const char* method, TZyDatabaseColumnTypes type, const uint8_t* bytes,
              uint32_t length);
  // Marks the value written: DataSize, and the null state cleared.
  void Written(int64_t dataSize);
  void ReferenceSet(const void* reference);

  TZyDatabaseParsedCriteria* criteria_;
  TZyDatabaseColumnTypes columnType_;
  TZyDatabaseColumnTypeCategories category_;
  uint32_t size_;
  bool allowNull_;
};
