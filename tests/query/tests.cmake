# The same tests against the explorer's copy of the engine, whose errors name their source module.
file(GLOB zy_query_test_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/query/*.cpp)
add_executable(test_query_explorer ${zy_query_test_srcs})
zy_use_layers(test_query_explorer query EXPLORER)
target_link_libraries(test_query_explorer PRIVATE GTest::gtest GTest::gtest_main)
target_compile_definitions(test_query_explorer PRIVATE ZY_TEST_EXPLORER_BUILD=1
  ZY_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZY_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
gtest_discover_tests(test_query_explorer TEST_PREFIX explorer. DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 300)
