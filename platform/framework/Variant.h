// The framework's variant: one value of any of the few kinds a caller may hand the engine
// without knowing the column's type (grid cells, settings, generic parameter setters). It holds
// the value and converts it on request by the rules listed below, raising EVariantError where a
// conversion has no sensible result.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/framework/Currency.h"
#include "platform/framework/DateTime.h"
#include "platform/framework/Exception.h"

namespace zyfw {

// A variant that cannot become the type asked for: a null, a text that does not read as that
// type, bytes as anything but bytes, or a value out of the target's range.
class EVariantError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EVariantError"; }
};

enum class VariantKind : uint8_t {
  Empty,     // never assigned: converts to 0, false, "" and the date 0
  Null,      // an explicit "no value": every conversion raises
  Int64,
  Double,
  Extended,  // long double, so that 10-byte float values travel without loss
  Boolean,
  Currency,
  DateTime,  // a TDateTime, kept apart from Double so that it prints as a date
  String,
  Bytes,
};

// Conversion rules (to the target on the left, from the kind on the right):
//   Int64 / Int32   Int64 as is; Double, Extended, DateTime rounded half to even; Boolean 1 or 0;
//                   Currency rounded half to even; String read as an integer, else as a float
//                   and rounded. Results outside the target's range raise.
//   LongDouble/Double  Int64 and DateTime as numbers; Currency as the amount; Boolean 1 or 0;
//                   String read as a float.
//   Boolean         numbers: not zero; String: "true"/"false" in any case, else a number.
//   Currency        numbers rounded half to even to four decimals; String read as an amount.
//   DateTime        numbers as days since 12/30/1899; String read by TryStrToDateTime.
//   String          Int64 decimal; Double/Extended FloatToStr; Boolean "True"/"False";
//                   Currency CurrToStr; DateTime DateTimeToStr; Bytes their bytes as characters.
//   Bytes           Bytes as is; String its characters' bytes.
// Empty converts to 0, false, the empty string or no bytes; Null raises for every target;
// anything else not listed raises.
class Variant {
 public:
  Variant() = default;
  Variant(int value) : value_(int64_t{value}) {}
  Variant(unsigned value) : value_(int64_t{value}) {}
  Variant(long value) : value_(int64_t{value}) {}
  Variant(long long value) : value_(int64_t{value}) {}
  Variant(double value) : value_(value) {}
  Variant(float value) : value_(double{value}) {}
  Variant(long double value) : value_(value) {}
  Variant(bool value) : value_(value) {}
  Variant(Currency value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  Variant(std::vector<uint8_t> value) : value_(std::move(value)) {}

  static Variant Null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
  }
  static Variant FromDateTime(TDateTime value) {
    Variant v;
    v.value_ = DateTag{value};
    return v;
  }

  VariantKind Kind() const { return static_cast<VariantKind>(value_.index()); }
  bool IsEmpty() const { return Kind() == VariantKind::Empty; }
  bool IsNull() const { return Kind() == VariantKind::Null; }
  // The kind's name as conversion errors quote it: "Empty", "Null", "Int64", "Double", ...
  static const char* KindName(VariantKind kind);

  int64_t ToInt64() const;
  int32_t ToInt32() const;
  long double ToLongDouble() const;
  double ToDouble() const { return static_cast<double>(ToLongDouble()); }
  bool ToBoolean() const;
  Currency ToCurrency() const;
  TDateTime ToDateTime() const;
  std::string ToString() const;
  std::vector<uint8_t> ToBytes() const;

  // Same kind and same value (NaN never equals itself, as with plain floats).
  friend bool operator==(const Variant& a, const Variant& b);
  friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }

 private:
  struct NullTag {
    bool operator==(const NullTag&) const { return true; }
  };
  struct DateTag {
    TDateTime value;
    bool operator==(const DateTag& other) const { return value == other.value; }
  };
  // The order of the alternatives is the order of VariantKind.
  std::variant<std::monostate, NullTag, int64_t, double, long double, bool, Currency, DateTag,
               std::string, std::vector<uint8_t>>
      value_;

  [[noreturn]] void Refuse(const char* target) const;
  // The value as a long double for the numeric kinds (Int64 to Currency and DateTime); false
  // for the others.
  bool Numeric(long double* out) const;
};

}  // namespace zyfw
