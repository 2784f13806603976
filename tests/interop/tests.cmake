# Interop checks that drive programs rather than the service's API: zydb-storage's commands,
# files written by libgsf read through zydb-storage, and the byte-level checker's own alarms.
# (The files our service writes are checked by test_interop, built from interop_test.cpp.)
foreach(script storage_tool gsf_read cfbcheck_selftest)
  add_test(NAME interop.${script}
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/${script}.py $<TARGET_FILE:zydb-storage>)
  set_tests_properties(interop.${script} PROPERTIES TIMEOUT 300)
endforeach()
