# The fuzz targets' bodies are compiled into the regression suite too, so that every saved input
# (fuzz/corpus and fuzz/regressions) is replayed through exactly the code the fuzzer ran.
target_sources(test_reliability PRIVATE
  ${CMAKE_SOURCE_DIR}/fuzz/FuzzCommon.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/FuzzCompound.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/FuzzDatabase.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/FuzzSql.cpp)
