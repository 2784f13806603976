// libFuzzer's entry point for one target: fuzz/run compiles this file once per target with
// ZY_FUZZ_BODY naming the body (ZyFuzzCompound, ZyFuzzDatabase or ZyFuzzSql).
#include "fuzz/FuzzBodies.h"

#ifndef ZY_FUZZ_BODY
#error "ZY_FUZZ_BODY must name the target's body"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return ZY_FUZZ_BODY(data, size);
}
