# The same tests against the explorer's copy of the engine, whose errors name their source module.
file(GLOB zy_foundation_test_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/foundation/*.cpp)
add_executable(test_foundation_explorer ${zy_foundation_test_srcs})
zy_use_layers(test_foundation_explorer package EXPLORER)
target_link_libraries(test_foundation_explorer PRIVATE GTest::gtest GTest::gtest_main)
target_compile_definitions(test_foundation_explorer PRIVATE ZY_TEST_EXPLORER_BUILD=1
  ZY_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZY_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
gtest_discover_tests(test_foundation_explorer TEST_PREFIX explorer. DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 300)
