# The shell's own pieces that need no database (splitter, CSV, output modes) are tested as
# units; everything else runs the real program, so it must be built first.
target_sources(test_shell PRIVATE
  ${CMAKE_SOURCE_DIR}/tools/zydb/Splitter.cpp
  ${CMAKE_SOURCE_DIR}/tools/zydb/Csv.cpp
  ${CMAKE_SOURCE_DIR}/tools/zydb/Output.cpp)
add_dependencies(test_shell zydb)
