// Conversion of one stored value between two column types of the same category: integer widths
// among themselves, float precisions among themselves. Broader conversions (numbers to text and
// back) belong to the field readers and the parameter setters, not here.
#pragma once

#include <cstdint>

#include "engine/table/ZyDatabaseColumn.h"

// Converts the value at source (in sourceType's encoding) into destination (in destinationType's
// encoding). Types of different categories raise 0x80000301 "The types are not compatible".
// Integers widen by sign or zero extension and narrow by keeping their low bytes, without a
// range check (300 as UnsignedInt8 is 44). Floats go through the 10-byte format and are rounded
// to nearest on narrowing. String and Byte copy size bytes; Boolean, Currency and DateTime copy
// their value; Text and Binary store nothing. destination may be source itself.
void zydConvertData(void* destination, TZyDatabaseColumnTypes destinationType, const void* source,
                    uint32_t size, TZyDatabaseColumnTypes sourceType);
