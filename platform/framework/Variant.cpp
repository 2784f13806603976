#include "platform/framework/Variant.h"

#include <limits>

#include "platform/framework/Convert.h"

namespace zyfw {

const char* Variant::KindName(VariantKind kind) {
  switch (kind) {
    case VariantKind::Empty: return "Empty";
    case VariantKind::Null: return "Null";
    case VariantKind::Int64: return "Int64";
    case VariantKind::Double: return "Double";
    case VariantKind::Extended: return "Extended";
    case VariantKind::Boolean: return "Boolean";
    case VariantKind::Currency: return "Currency";
    case VariantKind::DateTime: return "DateTime";
    case VariantKind::String: return "String";
    case VariantKind::Bytes: return "Bytes";
  }
  return "Unknown";
}

void Variant::Refuse(const char* target) const {
  std::string message = "Cannot convert a variant of type ";
  message += KindName(Kind());
  message += " into type ";
  message += target;
  if (Kind() == VariantKind::String) message += ": '" + std::get<std::string>(value_) + "'";
  throw EVariantError(message);
}

bool Variant::Numeric(long double* out) const {
  switch (Kind()) {
    case VariantKind::Empty: *out = 0; return true;
    case VariantKind::Int64: *out = static_cast<long double>(std::get<int64_t>(value_)); return true;
    case VariantKind::Double: *out = std::get<double>(value_); return true;
    case VariantKind::Extended: *out = std::get<long double>(value_); return true;
    case VariantKind::Boolean: *out = std::get<bool>(value_) ? 1 : 0; return true;
    case VariantKind::Currency: *out = std::get<Currency>(value_).ToLongDouble(); return true;
    case VariantKind::DateTime: *out = std::get<DateTag>(value_).value; return true;
    default: return false;
  }
}

int64_t Variant::ToInt64() const {
  if (Kind() == VariantKind::Int64) return std::get<int64_t>(value_);
  long double number = 0;
  if (Kind() == VariantKind::String) {
    const std::string& text = std::get<std::string>(value_);
    int64_t v = 0;
    if (TryStrToInt64(text, &v)) return v;
    if (!TryStrToFloat(text, &number)) Refuse("Int64");
  } else if (!Numeric(&number)) {
    Refuse("Int64");
  }
  int64_t v = 0;
  if (!TryRoundToInt64(number, &v)) {
    throw EVariantError(FloatToStr(number) + " is out of the range of type Int64");
  }
  return v;
}

int32_t Variant::ToInt32() const {
  const int64_t v = ToInt64();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    throw EVariantError(IntToStr(v) + " is out of the range of type Int32");
  }
  return static_cast<int32_t>(v);
}

long double Variant::ToLongDouble() const {
  long double number = 0;
  if (Kind() == VariantKind::String) {
    if (!TryStrToFloat(std::get<std::string>(value_), &number)) Refuse("Double");
  } else if (!Numeric(&number)) {
    Refuse("Double");
  }
  return number;
}

bool Variant::ToBoolean() const {
  if (Kind() == VariantKind::Boolean) return std::get<bool>(value_);
  long double number = 0;
  if (Kind() == VariantKind::String) {
    const std::string& text = std::get<std::string>(value_);
    if (SameText(Trim(text), "true")) return true;
    if (SameText(Trim(text), "false")) return false;
    if (!TryStrToFloat(text, &number)) Refuse("Boolean");
  } else if (!Numeric(&number)) {
    Refuse("Boolean");
  }
  return number != 0;
}

Currency Variant::ToCurrency() const {
  Currency c;
  switch (Kind()) {
    case VariantKind::Currency: return std::get<Currency>(value_);
    case VariantKind::Int64:
      if (Currency::TryFromInt64(std::get<int64_t>(value_), &c)) return c;
      break;
    case VariantKind::String:
      if (!TryStrToCurr(std::get<std::string>(value_), &c)) Refuse("Currency");
      return c;
    default: {
      long double number = 0;
      if (!Numeric(&number)) Refuse("Currency");
      if (Currency::TryFromLongDouble(number, &c)) return c;
      break;
    }
  }
  throw EVariantError(ToString() + " is out of the range of type Currency");
}

TDateTime Variant::ToDateTime() const {
  long double number = 0;
  if (Kind() == VariantKind::String) {
    TDateTime v = 0;
    if (!TryStrToDateTime(std::get<std::string>(value_), &v)) Refuse("DateTime");
    return v;
  }
  if (!Numeric(&number)) Refuse("DateTime");
  return static_cast<TDateTime>(number);
}

std::string Variant::ToString() const {
  switch (Kind()) {
    case VariantKind::Empty: return std::string();
    case VariantKind::Int64: return IntToStr(std::get<int64_t>(value_));
    case VariantKind::Double: return FloatToStr(std::get<double>(value_));
    case VariantKind::Extended: return FloatToStr(std::get<long double>(value_));
    case VariantKind::Boolean: return std::get<bool>(value_) ? "True" : "False";
    case VariantKind::Currency: return CurrToStr(std::get<Currency>(value_));
    case VariantKind::DateTime: return DateTimeToStr(std::get<DateTag>(value_).value);
    case VariantKind::String: return std::get<std::string>(value_);
    case VariantKind::Bytes: {
      const auto& bytes = std::get<std::vector<uint8_t>>(value_);
      return std::string(bytes.begin(), bytes.end());
    }
    default: Refuse("String");
  }
}

std::vector<uint8_t> Variant::ToBytes() const {
  switch (Kind()) {
    case VariantKind::Empty: return {};
    case VariantKind::Bytes: return std::get<std::vector<uint8_t>>(value_);
    case VariantKind::String: {
      const std::string& text = std::get<std::string>(value_);
      return std::vector<uint8_t>(text.begin(), text.end());
    }
    default: Refuse("Bytes");
  }
}

bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

}  // namespace zyfw
