# kxt_library(name DIR dir [LIBS ...]): a static library of every .cpp in dir
# except main.cpp. kxt_program(name DIR dir [LIBS ...]): that library plus an
# executable built from dir/main.cpp. Subsystem folders list no files by hand.
function(kxt_library name)
  cmake_parse_arguments(M "" "DIR" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${M_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${M_LIBS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${M_LIBS} Threads::Threads)
  endif()
endfunction()

function(kxt_program name)
  cmake_parse_arguments(M "" "DIR" "LIBS" ${ARGN})
  kxt_library(${name}_lib DIR ${M_DIR} LIBS ${M_LIBS})
  if(EXISTS ${M_DIR}/main.cpp)
    add_executable(${name} ${M_DIR}/main.cpp)
    target_link_libraries(${name} PRIVATE ${name}_lib)
  endif()
endfunction()
