# Imported targets for the libraries scripts/build-deps.sh cross-builds into QUILLON_DEPS_PREFIX.
if(NOT QUILLON_DEPS_PREFIX OR NOT EXISTS "${QUILLON_DEPS_PREFIX}/.complete")
  message(FATAL_ERROR "QUILLON_DEPS_PREFIX must name a prefix built by scripts/build-deps.sh")
endif()
set(deps_include "${QUILLON_DEPS_PREFIX}/include")
set(deps_lib "${QUILLON_DEPS_PREFIX}/lib")

add_library(dep_zstd STATIC IMPORTED GLOBAL)
set_target_properties(dep_zstd PROPERTIES IMPORTED_LOCATION "${deps_lib}/libzstd.a"
  INTERFACE_INCLUDE_DIRECTORIES "${deps_include}")

find_library(MINGW_ZLIB NAMES libz.a REQUIRED)
add_library(dep_zlib STATIC IMPORTED GLOBAL)
set_target_properties(dep_zlib PROPERTIES IMPORTED_LOCATION "${MINGW_ZLIB}")

add_library(dep_archive STATIC IMPORTED GLOBAL)
set_target_properties(dep_archive PROPERTIES IMPORTED_LOCATION "${deps_lib}/libarchive.a"
  INTERFACE_INCLUDE_DIRECTORIES "${deps_include}"
  INTERFACE_COMPILE_DEFINITIONS "LIBARCHIVE_STATIC"
  INTERFACE_LINK_LIBRARIES "dep_zstd;dep_zlib;bcrypt")

# The logging library from the prefix's headers, compiled once (app/spdlog_library.cpp) rather than into
# every file that logs, which took seconds per file.
add_library(dep_spdlog STATIC "${PROJECT_SOURCE_DIR}/app/spdlog_library.cpp")
target_include_directories(dep_spdlog SYSTEM PUBLIC "${deps_include}")
# A fixed thousands separator keeps fmt off std::locale, whose facets would add half a megabyte.
target_compile_definitions(dep_spdlog PUBLIC
  SPDLOG_COMPILED_LIB SPDLOG_FMT_EXTERNAL FMT_HEADER_ONLY FMT_STATIC_THOUSANDS_SEPARATOR=1)

# Header-only libraries, taken from the prefix only.

add_library(dep_json INTERFACE)
target_include_directories(dep_json SYSTEM INTERFACE "${deps_include}")

add_library(dep_stb INTERFACE)
target_include_directories(dep_stb SYSTEM INTERFACE "${deps_include}/stb")

add_library(dep_gtest STATIC IMPORTED GLOBAL)
set_target_properties(dep_gtest PROPERTIES IMPORTED_LOCATION "${deps_lib}/libgtest.a"
  INTERFACE_INCLUDE_DIRECTORIES "${deps_include}")
add_library(dep_gtest_main STATIC IMPORTED GLOBAL)
set_target_properties(dep_gtest_main PROPERTIES IMPORTED_LOCATION "${deps_lib}/libgtest_main.a"
  INTERFACE_LINK_LIBRARIES dep_gtest)
