target_link_libraries(bench-prepare PRIVATE sqlite3)
