// How one stored value is tested against another of the same column type: the nine comparison
// operators and the typed ordering of every column type (signed or unsigned by width, floats by
// precision, strings with ASCII-only case folding, byte columns as unsigned bytes).
#pragma once

#include <cstdint>

#include "engine/table/ZyDatabaseColumn.h"

enum TZyDatabaseFieldOperations : uint8_t {
  zydFieldOpEqualTo,
  zydFieldOpNotEqualTo,
  zydFieldOpLessThan,
  zydFieldOpLessThanOrEqualTo,
  zydFieldOpGreaterThan,
  zydFieldOpGreaterThanOrEqualTo,
  zydFieldOpIsNull,
  zydFieldOpNotNull,
  zydFieldOpAll
};

// Compares left (the stored value) with right (the given value), both in the encoding of type.
// size is the column size (String: the most characters looked at; Byte: the bytes compared).
// The stored string ends at its first zero byte or at size, whichever comes first; the given
// string ends at its zero byte.
// IsNull/NotNull give false here: they are decided by the caller from the flag byte.
bool zydCompareValues(TZyDatabaseColumnTypes type, uint32_t size, const void* left,
                      const void* right, TZyDatabaseFieldOperations op);
