# Every Windows test program runs under Wine in a prefix that lives in the build folder.
set(QUILLON_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run.sh;${QUILLON_WINEPREFIX}")

include(GoogleTest)

# quillon_add_gtest(name SOURCES... [LIBS ...]): a GoogleTest program whose cases CTest
# discovers by running it under Wine when the tests start.
function(quillon_add_gtest name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} dep_gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/tests"
    PROPERTIES ${arg_PROPERTIES})
endfunction()
