# The SQL syntax check is generated from its grammar (ZyDatabaseParseSQL.y) by bison at build
# time. Included by the root CMakeLists.txt once the layer object libraries exist: it adds the
# generated parser to the sql layer and to the sources of the libraries built from sources.
find_program(ZY_BISON_EXECUTABLE bison REQUIRED)
set(ZY_SQL_GRAMMAR ${CMAKE_SOURCE_DIR}/engine/sql/ZyDatabaseParseSQL.y)
set(ZY_SQL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated/engine/sql)
set(ZY_SQL_PARSER_SOURCE ${ZY_SQL_GENERATED_DIR}/ZyDatabaseParseSQLGrammar.cpp)
add_custom_command(
  OUTPUT ${ZY_SQL_PARSER_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZY_SQL_GENERATED_DIR}
  COMMAND ${ZY_BISON_EXECUTABLE} -Wall -o ${ZY_SQL_PARSER_SOURCE} ${ZY_SQL_GRAMMAR}
  DEPENDS ${ZY_SQL_GRAMMAR}
  COMMENT "Generating the SQL syntax check from its grammar"
  VERBATIM)
if(TARGET zyo_sql)
  target_sources(zyo_sql PRIVATE ${ZY_SQL_PARSER_SOURCE})
endif()
list(APPEND ZY_ALL_SOURCES ${ZY_SQL_PARSER_SOURCE})
