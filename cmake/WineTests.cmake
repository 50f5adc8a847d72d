# Every Windows test program runs under Wine in a prefix that lives in the build folder.
set(QUILLON_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run.sh;${QUILLON_WINEPREFIX}")

include(GoogleTest)

# quillon_add_gtest(name SOURCES... [LIBS ...] [PROPERTIES ...] [LOCKS ...] [LOCKED_SUITES filter
# LOCKED_PROPERTIES ...]): a GoogleTest program whose cases CTest discovers by running it under Wine when the
# tests start. The cases that LOCKED_SUITES (a --gtest_filter pattern) selects get LOCKED_PROPERTIES instead of
# PROPERTIES: one program can hold suites that touch machine-wide state beside suites that run alongside
# anything. PROPERTIES reach the cases as a flat list, so every value there is one word; LOCKS names the
# resource locks of the other cases, however many.
function(quillon_add_gtest name)
  cmake_parse_arguments(arg "" "LOCKED_SUITES" "SOURCES;LIBS;PROPERTIES;LOCKS;LOCKED_PROPERTIES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} dep_gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  set(filter "*")
  if(arg_LOCKED_SUITES)
    set(filter "-${arg_LOCKED_SUITES}")
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/tests"
      TEST_FILTER "${arg_LOCKED_SUITES}"
      PROPERTIES ${arg_LOCKED_PROPERTIES})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/tests"
    TEST_FILTER "${filter}"
    TEST_LIST ${name}_cases
    PROPERTIES ${arg_PROPERTIES})
  if(arg_LOCKS)
    # Run by CTest after the discovery, which lists the cases in ${name}_cases.
    set(locks_script "${CMAKE_CURRENT_BINARY_DIR}/${name}_locks.cmake")
    file(WRITE "${locks_script}" "foreach(test IN LISTS ${name}_cases)\n"
         "  set_tests_properties(\"\${test}\" PROPERTIES RESOURCE_LOCK \"${arg_LOCKS}\")\nendforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${locks_script}")
  endif()
endfunction()
