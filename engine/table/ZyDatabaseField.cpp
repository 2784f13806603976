#include "engine/table/ZyDatabaseField.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "engine/storage/ZyVirtualFile.h"
#include "engine/table/ZyDatabaseTable.h"
#include "platform/framework/Convert.h"
#include "platform/framework/Stream.h"

namespace {

uint64_t LoadLE(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

bool IsInteger(TZyDatabaseColumnTypes type) { return type <= zydUnsignedInt8; }
bool IsFloat(TZyDatabaseColumnTypes type) {
  return type == zydFloat4 || type == zydFloat8 || type == zydFloat10;
}

// The widest stored value (Float10) plus room to spare: a byte column's value is read from a
// zero-padded copy of this size, so a tag that claims a type wider than the column cannot make
// the read run past the column's bytes.
constexpr size_t kPaddedValue = 16;

}  // namespace

TZyDatabaseField::TZyDatabaseField(TZyDatabaseTable* table, TZyDatabaseColumn* column)
    : TZyDatabaseGenericObject(column->NameGet()),
      columnType_(column->TypeGet()),
      category_(column->CategoryGet()),
      size_(static_cast<uint32_t>(column->SizeGet())),
      columnName_(column->NameGet()),
      nullable_(column->NullableGet()),
      isAutoNumber_(column->AutoNumberGet()),
      columnData_(column->ColumnDataGet()),
      column_(column),
      table_(table) {
  // Only a byte column ever shows ByteValue; sized once here so rows load without allocating.
  if (columnType_ == zydByte) byteValue_.assign(size_, 0);
}

TZyDatabaseField::~TZyDatabaseField() = default;

void TZyDatabaseField::SysDataSet(uint64_t key, const void* data, bool isNull,
                                  TZyDatabaseColumnTypes valueType) {
  zydCheckSysKey(key, "TZyDatabaseField.SysDataSet");
  if (isNull || data == nullptr) {  // no bytes at all can only mean no value
    isNull_ = true;
    return;
  }
  isNull_ = false;
  valueType_ = valueType;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint8_t padded[kPaddedValue];
  if (columnType_ == zydByte) {
    if (valueType != zydByte) {
      std::memcpy(byteValue_.data(), p, size_);
      std::memset(padded, 0, sizeof padded);
      std::memcpy(padded, p, std::min<size_t>(size_, sizeof padded));
      if (valueType != zydString) p = padded;
    }
  }
  switch (valueType) {
    case zydSignedInt64: integerValue_ = static_cast<int64_t>(LoadLE(p, 8)); break;
    case zydSignedInt32: integerValue_ = static_cast<int32_t>(LoadLE(p, 4)); break;
    case zydSignedInt16: integerValue_ = static_cast<int16_t>(LoadLE(p, 2)); break;
    case zydSignedInt8: integerValue_ = static_cast<int8_t>(LoadLE(p, 1)); break;
    case zydUnsignedInt32: integerValue_ = static_cast<int64_t>(LoadLE(p, 4)); break;
    case zydUnsignedInt16: integerValue_ = static_cast<int64_t>(LoadLE(p, 2)); break;
    case zydUnsignedInt8: integerValue_ = static_cast<int64_t>(LoadLE(p, 1)); break;
    case zydFloat4: {
      float f;
      std::memcpy(&f, p, sizeof f);
      floatValue_ = f;
      break;
    }
    case zydFloat8: {
      double d;
      std::memcpy(&d, p, sizeof d);
      floatValue_ = d;
      break;
    }
    case zydFloat10: floatValue_ = zyfw::BytesToFloat10(p); break;
    case zydBoolean: booleanValue_ = p[0]; break;
    case zydCurrency:
      currencyValue_ = zyfw::Currency::FromRaw(static_cast<int64_t>(LoadLE(p, 8)));
      break;
    case zydDateTime: std::memcpy(&dateTimeValue_, p, sizeof dateTimeValue_); break;
    case zydString: {
      const void* zero = std::memchr(p, 0, size_);
      const size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : size_;
      stringValue_.assign(reinterpret_cast<const char*>(p), length);
      break;
    }
    case zydByte:
      if (columnType_ == zydByte) std::memcpy(byteValue_.data(), p, size_);
      break;
    case zydText:
    case zydBinary:
      valueKey_ = LoadLE(p, 8);
      binaryStream_.reset();
      break;
    default: break;  // a damaged type tag: nothing to keep
  }
}

void TZyDatabaseField::Refuse(const char* method, const char* target,
                              const std::string& details) const {
  throw EZyException(zydErrFieldConvert, zydModuleText(zydModField), method,
                     zydFormat(zydTxtFieldConvert, columnName_.c_str(),
                               zydColumnTypeGetName(columnType_).c_str(), target),
                     details);
}

int64_t TZyDatabaseField::AsSignedInt64() const {
  if (isNull_) return 0;
  if (IsInteger(valueType_)) return integerValue_;
  switch (valueType_) {
    case zydFloat4:
    case zydFloat8:
    case zydFloat10: {
      int64_t v = 0;
      if (!zyfw::TryRoundToInt64(floatValue_, &v)) {
        Refuse(zydMthFieldAsInteger, "Integer",
               "The value " + zyfw::FloatToStr(floatValue_) + " is outside the range of Integer");
      }
      return v;
    }
    case zydBoolean: return booleanValue_ != 0 ? 1 : 0;
    case zydString: return zyfw::StrToInt64Def(stringValue_, 0);
    default: Refuse(zydMthFieldAsInteger, "Integer");
  }
}

long double TZyDatabaseField::AsFloat10() const {
  if (isNull_) return 0;
  if (IsInteger(valueType_)) return static_cast<long double>(integerValue_);
  if (IsFloat(valueType_)) return floatValue_;
  switch (valueType_) {
    case zydCurrency: return currencyValue_.ToLongDouble();
    case zydString: {
      long double v = 0;
      return zyfw::TryStrToFloat(stringValue_, &v) ? v : 0;
    }
    default: Refuse(zydMthFieldAsFloat10, "Float");
  }
}

zyfw::Currency TZyDatabaseField::AsCurrency() const {
  if (isNull_) return zyfw::Currency();
  zyfw::Currency c;
  if (IsInteger(valueType_)) {
    if (!zyfw::Currency::TryFromInt64(integerValue_, &c)) {
      Refuse(zydMthFieldAsCurrency, "Currency",
             "The value " + zyfw::IntToStr(integerValue_) + " is outside the range of Currency");
    }
    return c;
  }
  if (IsFloat(valueType_)) {
    if (!zyfw::Currency::TryFromLongDouble(floatValue_, &c)) {
      Refuse(zydMthFieldAsCurrency, "Currency",
             "The value " + zyfw::FloatToStr(floatValue_) + " is outside the range of Currency");
    }
    return c;
  }
  switch (valueType_) {
    case zydCurrency: return currencyValue_;
    case zydString: return zyfw::TryStrToCurr(stringValue_, &c) ? c : zyfw::Currency();
    default: Refuse(zydMthFieldAsCurrency, "Currency");
  }
}

zyfw::TDateTime TZyDatabaseField::AsDateTime() const {
  if (isNull_) return 0;
  if (valueType_ != zydDateTime) Refuse(zydMthFieldAsDateTime, "DateTime");
  return dateTimeValue_;
}

bool TZyDatabaseField::AsBoolean() const {
  if (isNull_) return false;
  if (IsInteger(valueType_)) return integerValue_ != 0;
  switch (valueType_) {
    case zydBoolean: return booleanValue_ != 0;
    case zydString: {
      // Exactly these words: no trimming, so " yes" is false.
      const std::string upper = zyfw::UpperCase(stringValue_);
      return upper == "Y" || upper == "YES" || upper == "T" || upper == "TRUE";
    }
    default: Refuse(zydMthFieldAsBoolean, "Boolean");
  }
}

std::string TZyDatabaseField::AsString() const {
  if (isNull_) return std::string();
  if (IsInteger(valueType_)) return zyfw::IntToStr(integerValue_);
  if (IsFloat(valueType_)) return zyfw::FloatToStr(floatValue_);
  switch (valueType_) {
    case zydBoolean: return booleanValue_ == 1 ? "Y" : "N";
    case zydCurrency: return zyfw::CurrToStr(currencyValue_);
    case zydDateTime: return zyfw::DateTimeToStr(dateTimeValue_);
    case zydString: return stringValue_;
    case zydByte: {
      // Up to the last nonzero byte: trailing zeros are padding, not part of the value.
      static const char kHex[] = "0123456789ABCDEF";
      size_t end = std::min<size_t>(size_, byteValue_.size());
      while (end > 0 && byteValue_[end - 1] == 0) --end;
      std::string hex(end * 2, '0');
      for (size_t i = 0; i < end; ++i) {
        hex[2 * i] = kHex[byteValue_[i] >> 4];
        hex[2 * i + 1] = kHex[byteValue_[i] & 15];
      }
      return hex;
    }
    case zydText: return table_ ? table_->FieldGetString(column_, valueKey_) : std::string();
    default: return std::string();  // Binary values have no text
  }
}

void TZyDatabaseField::AsByte(void* buffer, uint32_t count) const {
  // The column decides, not the value: a byte column always yields its raw bytes.
  if (columnType_ != zydByte) Refuse(zydMthFieldAsByte, "Byte");
  const uint32_t n = (count == 0 || count > size_) ? size_ : count;
  if (buffer != nullptr && n > 0) std::memcpy(buffer, byteValue_.data(), n);
}

zyfw::TStream* TZyDatabaseField::AsBinary() {
  if (valueType_ != zydBinary || isNull_ || table_ == nullptr) return nullptr;
  binaryStream_.reset();
  binaryStream_ = table_->FieldGetFile(valueKey_);
  return binaryStream_.get();
}

void TZyDatabaseField::CloseBinary() { binaryStream_.reset(); }

// ---- TZyDatabaseFields ----------------------------------------------------------------------

TZyDatabaseField* TZyDatabaseFields::Add(TZyDatabaseTable* table, TZyDatabaseColumn* column) {
  return TZyDatabaseTypedList<TZyDatabaseField>::Add(
      std::make_unique<TZyDatabaseField>(table, column));
}
