#include "engine/sql/ZyDatabaseParam.h"

#include <cstring>

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "platform/framework/Convert.h"
#include "platform/framework/Stream.h"
#include "platform/framework/Variant.h"

namespace {

// The size a reference setter reports: the width of a reference in the stored format, whatever
// the width of a pointer on this machine. Readers take the pointer itself from the buffer.
constexpr int64_t kReferenceDataSize = 4;

bool IsIntegerType(TZyDatabaseColumnTypes type) { return type <= zydUnsignedInt8; }
bool IsFloatType(TZyDatabaseColumnTypes type) {
  return type == zydFloat4 || type == zydFloat8 || type == zydFloat10;
}

// Little-endian, independent of the host's byte order.
void StoreLE(uint8_t* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// value in the encoding of float type type (4, 8 or 10 bytes at p).
void StoreFloat(uint8_t* p, TZyDatabaseColumnTypes type, long double value) {
  if (type == zydFloat4) {
    const float f = static_cast<float>(value);
    std::memcpy(p, &f, sizeof f);
  } else if (type == zydFloat8) {
    const double d = static_cast<double>(value);
    std::memcpy(p, &d, sizeof d);
  } else {
    zyfw::Float10ToBytes(value, p);
  }
}

// 0-15 for the digits "0123456789ABCDEF", -1 for anything else (lower case included).
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char kEmptyText[] = "";

}  // namespace

TZyDatabaseParam::TZyDatabaseParam(TZyDatabaseParsedCriteria& criteria,
                                   const TZyDatabaseColumn& column)
    : TZyDatabaseGenericObject(criteria.ValueGet().empty() ? std::string()
                                                           : criteria.ValueGet().substr(1)),
      criteria_(&criteria),
      columnType_(column.TypeGet()),
      category_(column.CategoryGet()),
      size_(static_cast<uint32_t>(column.SizeGet())),
      allowNull_(column.NullableGet()) {
  // Every setter writes within size + 1 bytes (a String's terminator is the last of them), and a
  // reference needs room for a pointer.
  size_t needed = size_t{size_} + 1;
  if (needed < sizeof(void*)) needed = sizeof(void*);
  if (!criteria.DataGet() || criteria.DataCapacityGet() < needed) criteria.DataAllocate(needed);
  criteria.IsNullSet(true);
}

TZyDatabaseParam::~TZyDatabaseParam() = default;

void TZyDatabaseParam::RefuseType(const char* method, TZyDatabaseColumnTypes sourceType) const {
  throw EZyException(zydErrParamConvert, zydModuleText(zydModParserObjects), method,
                     zydFormat(zydTxtParamConvert, NameGet().c_str(),
                               zydColumnTypeGetName(sourceType).c_str(),
                               zydColumnTypeGetName(columnType_).c_str()));
}

void TZyDatabaseParam::RefuseLength(const char* method, TZyDatabaseColumnTypes sourceType,
                                    uint64_t length) const {
  throw EZyException(zydErrParamLength, zydModuleText(zydModParserObjects), method,
                     zydFormat(zydTxtParamLength, NameGet().c_str(), static_cast<int>(size_),
                               zydColumnTypeGetName(sourceType).c_str(),
                               static_cast<int>(length)));
}

void TZyDatabaseParam::Written(int64_t dataSize) {
  criteria_->DataSizeSet(dataSize);
  criteria_->IsNullSet(false);
}

void TZyDatabaseParam::RawSet(const char* method, TZyDatabaseColumnTypes type,
                              const uint8_t* bytes, uint32_t length) {
  if (length > size_) RefuseLength(method, type, length);
  uint8_t* data = criteria_->DataGet();
  std::memcpy(data, bytes, length);
  // Bytes left over from an earlier, wider value would otherwise be stored with this one.
  std::memset(data + length, 0, size_t{size_} - length);
  criteria_->DataTypeSet(type);
  Written(size_);
}

// ---- Integers -------------------------------------------------------------------------------

void TZyDatabaseParam::SignedInt64Set(int64_t value) { IntegerSet(zydSignedInt64, value); }
void TZyDatabaseParam::SignedInt32Set(int32_t value) { IntegerSet(zydSignedInt32, value); }
void TZyDatabaseParam::UnsignedInt32Set(uint32_t value) { IntegerSet(zydUnsignedInt32, value); }
void TZyDatabaseParam::SignedInt16Set(int16_t value) { IntegerSet(zydSignedInt16, value); }
void TZyDatabaseParam::UnsignedInt16Set(uint16_t value) { IntegerSet(zydUnsignedInt16, value); }
void TZyDatabaseParam::SignedInt8Set(int8_t value) { IntegerSet(zydSignedInt8, value); }
void TZyDatabaseParam::UnsignedInt8Set(uint8_t value) { IntegerSet(zydUnsignedInt8, value); }

void TZyDatabaseParam::IntegerSet(TZyDatabaseColumnTypes sourceType, int64_t value) {
  if (!IsIntegerType(sourceType)) RefuseType(zydMthParamIntegerSet, sourceType);
  if (category_ == zydCategoryInteger) {
    // Low-order bytes of the column's width: no range check, by design.
    StoreLE(criteria_->DataGet(), static_cast<uint64_t>(value), zydColumnSizeGetByType(columnType_));
    Written(size_);
  } else if (columnType_ == zydByte) {
    uint8_t bytes[8];
    const int width = zydColumnSizeGetByType(sourceType);
    StoreLE(bytes, static_cast<uint64_t>(value), width);
    RawSet(zydMthParamIntegerSet, sourceType, bytes, static_cast<uint32_t>(width));
  } else {
    RefuseType(zydMthParamIntegerSet, sourceType);
  }
}

// ---- Floats ---------------------------------------------------------------------------------

void TZyDatabaseParam::Float4Set(float value) { FloatSet(zydFloat4, value); }
void TZyDatabaseParam::Float8Set(double value) { FloatSet(zydFloat8, value); }
void TZyDatabaseParam::Float10Set(long double value) { FloatSet(zydFloat10, value); }

void TZyDatabaseParam::FloatSet(TZyDatabaseColumnTypes sourceType, long double value) {
  if (!IsFloatType(sourceType)) RefuseType(zydMthParamFloatSet, sourceType);
  if (category_ == zydCategoryFloat) {
    StoreFloat(criteria_->DataGet(), columnType_, value);
    Written(size_);
  } else if (columnType_ == zydByte) {
    uint8_t bytes[zyfw::kFloat10Size];
    StoreFloat(bytes, sourceType, value);
    RawSet(zydMthParamFloatSet, sourceType, bytes,
           static_cast<uint32_t>(zydColumnSizeGetByType(sourceType)));
  } else {
    RefuseType(zydMthParamFloatSet, sourceType);
  }
}

// ---- Boolean, currency, date and time -------------------------------------------------------

void TZyDatabaseParam::BooleanSet(bool value) {
  const uint8_t byte = value ? 1 : 0;
  if (columnType_ == zydBoolean) {
    criteria_->DataGet()[0] = byte;
    Written(size_);
  } else if (columnType_ == zydByte) {
    RawSet(zydMthParamBooleanSet, zydBoolean, &byte, 1);
  } else {
    RefuseType(zydMthParamBooleanSet, zydBoolean);
  }
}

void TZyDatabaseParam::CurrencySet(zyfw::Currency value) {
  uint8_t bytes[8];
  StoreLE(bytes, static_cast<uint64_t>(value.Raw()), 8);
  if (columnType_ == zydCurrency) {
    std::memcpy(criteria_->DataGet(), bytes, 8);
    Written(size_);
  } else if (columnType_ == zydByte) {
    RawSet(zydMthParamCurrencySet, zydCurrency, bytes, 8);
  } else {
    RefuseType(zydMthParamCurrencySet, zydCurrency);
  }
}

void TZyDatabaseParam::DateTimeSet(zyfw::TDateTime value) {
  uint8_t bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  if (columnType_ == zydDateTime) {
    std::memcpy(criteria_->DataGet(), bytes, sizeof value);
    Written(size_);
  } else if (columnType_ == zydByte) {
    RawSet(zydMthParamDateTimeSet, zydDateTime, bytes, sizeof value);
  } else {
    RefuseType(zydMthParamDateTimeSet, zydDateTime);
  }
}

// ---- Strings and bytes ----------------------------------------------------------------------

void TZyDatabaseParam::StringSet(const std::string& value) {
  // Refusals of the string, text and binary setters report the date-and-time setter's method
  // text: callers that match errors by method expect that text here.
  if (columnType_ != zydString && columnType_ != zydByte)
    RefuseType(zydMthParamDateTimeSet, zydString);
  const size_t length = value.size() < size_ ? value.size() : size_t{size_};
  uint8_t* data = criteria_->DataGet();
  std::memcpy(data, value.data(), length);
  // The terminator and everything after it: no trace of a longer earlier value stays behind.
  std::memset(data + length, 0, size_t{size_} + 1 - length);
  if (columnType_ == zydByte) criteria_->DataTypeSet(zydString);
  Written(static_cast<int64_t>(length));
}

void TZyDatabaseParam::ByteSet(const void* bytes) {
  if (columnType_ != zydByte) RefuseType(zydMthParamByteSet, zydByte);
  if (!bytes) RefuseLength(zydMthParamByteSet, zydByte, 0);
  std::memmove(criteria_->DataGet(), bytes, size_);
  criteria_->DataTypeSet(zydByte);
  Written(size_);
}

void TZyDatabaseParam::ByteStringSet(const std::string& hex) {
  if (columnType_ != zydByte) RefuseType(zydMthParamByteStringSet, zydByte);
  // Decoding past the column's bytes would write beyond the buffer; such a value does not fit.
  const size_t count = hex.size() / 2;
  if (count > size_) RefuseLength(zydMthParamByteStringSet, zydByte, count);
  uint8_t* data = criteria_->DataGet();
  std::memset(data, 0, size_);
  for (size_t k = 0; k < count; ++k) {
    const int high = HexDigit(hex[2 * k]);
    const int low = HexDigit(hex[2 * k + 1]);
    data[k] = (high < 0 || low < 0) ? 0 : static_cast<uint8_t>(high * 16 + low);
  }
  criteria_->DataTypeSet(zydByte);
  Written(size_);
}

// ---- References -----------------------------------------------------------------------------

void TZyDatabaseParam::ReferenceSet(const void* reference) {
  std::memcpy(criteria_->DataGet(), &reference, sizeof reference);
  Written(kReferenceDataSize);
}

void TZyDatabaseParam::TextSet(const char* value) {
  if (columnType_ != zydText) RefuseType(zydMthParamDateTimeSet, zydText);
  ReferenceSet(value ? value : kEmptyText);
}

void TZyDatabaseParam::BinarySet(zyfw::TStream& stream) {
  if (columnType_ != zydBinary) RefuseType(zydMthParamDateTimeSet, zydBinary);
  ReferenceSet(&stream);
}

const char* TZyDatabaseParam::TextReferenceGet(const TZyDatabaseParsedCriteria& criteria) {
  const void* reference = nullptr;
  if (criteria.DataGet() && criteria.DataCapacityGet() >= sizeof reference)
    std::memcpy(&reference, criteria.DataGet(), sizeof reference);
  return static_cast<const char*>(reference);
}

zyfw::TStream* TZyDatabaseParam::BinaryReferenceGet(const TZyDatabaseParsedCriteria& criteria) {
  void* reference = nullptr;
  if (criteria.DataGet() && criteria.DataCapacityGet() >= sizeof reference)
    std::memcpy(&reference, criteria.DataGet(), sizeof reference);
  return static_cast<zyfw::TStream*>(reference);
}

// ---- Variants -------------------------------------------------------------------------------

void TZyDatabaseParam::VariantSet(const zyfw::Variant& value) {
  // Each conversion finishes before a setter runs, so a failed one changes nothing.
  switch (category_) {
    case zydCategoryInteger: SignedInt64Set(value.ToInt32()); break;
    case zydCategoryFloat: Float10Set(value.ToLongDouble()); break;
    case zydCategoryBoolean: BooleanSet(value.ToBoolean()); break;
    case zydCategoryCurrency: CurrencySet(value.ToCurrency()); break;
    case zydCategoryDateTime: DateTimeSet(zyfw::StrToDateTime(value.ToString())); break;
    case zydCategoryString: StringSet(value.ToString()); break;
    default: break;  // Byte, Text and Binary values have no variant form
  }
}
