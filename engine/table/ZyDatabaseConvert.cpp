#include "engine/table/ZyDatabaseConvert.h"

#include <cstring>

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyModuleText.h"
#include "platform/framework/Convert.h"

namespace {

// Little-endian integer access, independent of the host's byte order.
uint64_t LoadLE(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

void StoreLE(uint8_t* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The integer at p in type's width, extended to 64 bits by its signedness.
uint64_t WidenInteger(const uint8_t* p, TZyDatabaseColumnTypes type) {
  switch (type) {
    case zydSignedInt32: return static_cast<uint64_t>(int64_t{static_cast<int32_t>(LoadLE(p, 4))});
    case zydSignedInt16: return static_cast<uint64_t>(int64_t{static_cast<int16_t>(LoadLE(p, 2))});
    case zydSignedInt8: return static_cast<uint64_t>(int64_t{static_cast<int8_t>(LoadLE(p, 1))});
    case zydUnsignedInt32: return LoadLE(p, 4);
    case zydUnsignedInt16: return LoadLE(p, 2);
    case zydUnsignedInt8: return LoadLE(p, 1);
    default: return LoadLE(p, 8);
  }
}

long double WidenFloat(const uint8_t* p, TZyDatabaseColumnTypes type) {
  switch (type) {
    case zydFloat4: {
      float f;
      std::memcpy(&f, p, sizeof f);
      return f;
    }
    case zydFloat8: {
      double d;
      std::memcpy(&d, p, sizeof d);
      return d;
    }
    default: return zyfw::BytesToFloat10(p);
  }
}

}  // namespace

void zydConvertData(void* destination, TZyDatabaseColumnTypes destinationType, const void* source,
                    uint32_t size, TZyDatabaseColumnTypes sourceType) {
  const TZyDatabaseColumnTypeCategories category = zydColumnCategoryGetByType(sourceType);
  if (category != zydColumnCategoryGetByType(destinationType)) {
    throw EZyException(zydErrTypesIncompatible, zydModuleText(zydModConvert), zydMthConvertData,
                       zydTxtTypesIncompatible);
  }
  const uint8_t* src = static_cast<const uint8_t*>(source);
  uint8_t* dst = static_cast<uint8_t*>(destination);
  // Each value is read whole before anything is written, so source and destination may overlap.
  switch (category) {
    case zydCategoryInteger:
      StoreLE(dst, WidenInteger(src, sourceType), zydColumnSizeGetByType(destinationType));
      break;
    case zydCategoryFloat: {
      const long double value = WidenFloat(src, sourceType);
      if (destinationType == zydFloat4) {
        const float f = static_cast<float>(value);
        std::memcpy(dst, &f, sizeof f);
      } else if (destinationType == zydFloat8) {
        const double d = static_cast<double>(value);
        std::memcpy(dst, &d, sizeof d);
      } else {
        zyfw::Float10ToBytes(value, dst);
      }
      break;
    }
    case zydCategoryBoolean:
    case zydCategoryCurrency:
    case zydCategoryDateTime:
      // One type per category: the value is copied as it is.
      std::memmove(dst, src, static_cast<size_t>(zydColumnSizeGetByType(destinationType)));
      break;
    case zydCategoryString:
    case zydCategoryByte:
      std::memmove(dst, src, size);
      break;
    default:
      break;  // Text and Binary values are keys to streams, never converted
  }
}
