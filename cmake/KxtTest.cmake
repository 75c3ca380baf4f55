# kxt_add_test(name SOURCES a.cpp ... LIBS lib ... [LABELS label ...])
# Builds one GoogleTest executable and registers it with CTest. Tests see the
# built programs through KXT_BIN_DIR and the source tree through KXT_SOURCE_DIR.
function(kxt_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    KXT_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    KXT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KXT_PYTHON="/usr/bin/python3")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
