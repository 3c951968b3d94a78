# GoogleTest from Debian's sources, built with this build's compiler and flags.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# kelto_add_test(<name> SOURCES <files...> LIBS <libs...> [TIMEOUT <s>] [LABELS <labels...>]
#                [RUN_SERIAL] [LOCKS <resources...>])
# LOCKS names resources (the installer's mutex, the X display's focus, ...) that tests of
# different executables must not use at the same time.
# One test executable; its cases are discovered when CTest runs (under Wine for the Windows
# build), so building needs neither Wine nor a display.
function(kelto_add_test name)
  cmake_parse_arguments(T "RUN_SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    KELTO_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KELTO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT})
  # gtest_discover_tests flattens list-valued properties into name/value pairs, which would
  # keep only the first lock and label. A file CTest reads after the discovered cases sets
  # them whole.
  set(props "")
  if(T_LABELS)
    string(APPEND props " LABELS \"${T_LABELS}\"")
  endif()
  if(T_LOCKS)
    string(APPEND props " RESOURCE_LOCK \"${T_LOCKS}\"")
  endif()
  if(T_RUN_SERIAL)
    string(APPEND props " RUN_SERIAL TRUE")
  endif()
  if(props)
    set(file "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
    file(WRITE "${file}" "foreach(test IN LISTS ${name}_TESTS)\n"
                         "  set_tests_properties(\"\${test}\" PROPERTIES${props})\n"
                         "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${file}")
  endif()
endfunction()

# kelto_add_fuzzer(<name> SOURCES <files...> LIBS <libs...> [SECONDS <s>])
# A libFuzzer target of the native clang build; CTest runs it briefly on every `make test`.
function(kelto_add_fuzzer name)
  cmake_parse_arguments(F "" "SECONDS" "SOURCES;LIBS" ${ARGN})
  if(WIN32 OR NOT KELTO_FUZZ)
    return()
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 5)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  add_test(NAME fuzz.${name}
    COMMAND ${name} -max_total_time=${F_SECONDS} -rss_limit_mb=1024 -timeout=10)
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
endfunction()
