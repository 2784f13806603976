#include "engine/table/ZyDatabaseCompare.h"

#include <cstring>

namespace {

template <typename T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// -1, 0 or 1 as a three-way result for any ordered type.
template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Floats need the operators themselves: a NaN is neither less, equal nor greater.
template <typename T>
bool Relate(T a, T b, TZyDatabaseFieldOperations op) {
  switch (op) {
    case zydFieldOpEqualTo: return a == b;
    case zydFieldOpNotEqualTo: return a != b;
    case zydFieldOpLessThan: return a < b;
    case zydFieldOpLessThanOrEqualTo: return a <= b;
    case zydFieldOpGreaterThan: return a > b;
    case zydFieldOpGreaterThanOrEqualTo: return a >= b;
    case zydFieldOpAll: return true;
    default: return false;
  }
}

inline unsigned char FoldAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

// a is the stored string (it ends at a zero byte or after size characters); b is the given
// value, a zero-terminated string.
int CompareStrings(const unsigned char* a, const unsigned char* b, uint32_t size) {
  for (uint32_t i = 0;; ++i) {
    const unsigned char ca = i < size ? FoldAscii(a[i]) : 0;
    const unsigned char cb = FoldAscii(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

long double Float10(const void* p) {
  long double v = 0;
  std::memcpy(&v, p, 10);  // x87 extended precision: the first 10 bytes of a long double
  return v;
}

}  // namespace

bool zydCompareValues(TZyDatabaseColumnTypes type, uint32_t size, const void* left,
                      const void* right, TZyDatabaseFieldOperations op) {
  if (op == zydFieldOpAll) return true;
  if (op == zydFieldOpIsNull || op == zydFieldOpNotNull) return false;
  int order = 0;
  switch (type) {
    case zydSignedInt64: order = Order(Load<int64_t>(left), Load<int64_t>(right)); break;
    case zydSignedInt32: order = Order(Load<int32_t>(left), Load<int32_t>(right)); break;
    case zydSignedInt16: order = Order(Load<int16_t>(left), Load<int16_t>(right)); break;
    case zydSignedInt8: order = Order(Load<int8_t>(left), Load<int8_t>(right)); break;
    case zydUnsignedInt32: order = Order(Load<uint32_t>(left), Load<uint32_t>(right)); break;
    case zydUnsignedInt16: order = Order(Load<uint16_t>(left), Load<uint16_t>(right)); break;
    case zydUnsignedInt8:
    case zydBoolean: order = Order(Load<uint8_t>(left), Load<uint8_t>(right)); break;
    case zydFloat4: return Relate(Load<float>(left), Load<float>(right), op);
    case zydFloat8:
    case zydDateTime: return Relate(Load<double>(left), Load<double>(right), op);
    case zydFloat10: return Relate(Float10(left), Float10(right), op);
    case zydCurrency: order = Order(Load<int64_t>(left), Load<int64_t>(right)); break;
    case zydString:
      order = CompareStrings(static_cast<const unsigned char*>(left),
                             static_cast<const unsigned char*>(right), size);
      break;
    case zydByte: {
      const int c = size ? std::memcmp(left, right, size) : 0;
      order = c < 0 ? -1 : (c > 0 ? 1 : 0);
      break;
    }
    default: return false;  // Text and Binary values are never compared
  }
  return Relate(order, 0, op);
}
