# Shared build rules: warnings, sanitizers, precompiled headers and the helpers
# every subsystem folder uses to declare its library, tests, benchmarks and fuzzers.

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# ccache keyed on paths relative to the checkout, so that a fresh clone of the
# same tree (CI) compiles from the cache whoever starts the build.
find_program(QV_CCACHE ccache)
if(QV_CCACHE)
  set(QV_CCACHE_LAUNCHER ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime ${QV_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${QV_CCACHE_LAUNCHER})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${QV_CCACHE_LAUNCHER})
endif()

set(QV_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter -Wno-missing-field-initializers)

add_library(qv_build_flags INTERFACE)
target_compile_options(qv_build_flags INTERFACE ${QV_WARNINGS})
target_include_directories(qv_build_flags INTERFACE ${CMAKE_SOURCE_DIR})
# SDL's flags define _REENTRANT; defining it everywhere lets every target
# share one precompiled header.
target_compile_definitions(qv_build_flags INTERFACE _REENTRANT)
if(QV_SANITIZE)
  set(QV_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(qv_build_flags INTERFACE ${QV_SAN_FLAGS})
  target_link_options(qv_build_flags INTERFACE ${QV_SAN_FLAGS})
endif()
if(QV_FUZZ)
  target_compile_options(qv_build_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(qv_build_flags INTERFACE -fsanitize=address,undefined)
endif()

set(QV_PCH_HEADERS <algorithm> <cstdint> <cstring> <cstdio> <cmath> <memory> <string> <vector>)

# One precompiled header for every library and one for every test binary:
# a header per target cost about 5 GB of disk in a sanitizer build.
add_library(qv_pch STATIC ${CMAKE_SOURCE_DIR}/cmake/PchAnchor.cpp)
target_link_libraries(qv_pch PUBLIC qv_build_flags)
target_precompile_headers(qv_pch PRIVATE ${QV_PCH_HEADERS})

# Every program carries the sanitizer runtime defaults (used only by instrumented builds).
set(QV_PROGRAM_SUPPORT ${CMAKE_SOURCE_DIR}/platform/sanitizer/SanitizerDefaults.cpp)

# qv_program(name SOURCES files... DEPS targets...): an executable (game, tools, front ends).
function(qv_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${QV_PROGRAM_SUPPORT})
  target_link_libraries(${name} PRIVATE qv_build_flags ${ARG_DEPS})
endfunction()

# qv_add_subfolders(): adds every folder below the current one that has a
# CMakeLists.txt (at any depth when RECURSE is given), in name order.
function(qv_add_subfolders)
  cmake_parse_arguments(ARG "RECURSE" "" "" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE lists CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} */CMakeLists.txt)
  else()
    file(GLOB lists CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} */CMakeLists.txt)
  endif()
  list(SORT lists)
  foreach(list IN LISTS lists)
    get_filename_component(dir ${list} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()

# qv_library(name [DEPS targets...]): one static library from every
# .cpp file of the folder (not below it).
function(qv_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*/main\\.cpp$")
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC qv_build_flags ${ARG_DEPS})
  target_precompile_headers(${name} REUSE_FROM qv_pch)
endfunction()

if(QV_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Every test binary starts through tests/support/TestMain.cpp, which makes
# the run headless; the sanitizer defaults come with the platform library.
if(QV_TESTS)
add_library(qv_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
target_link_libraries(qv_test_main PUBLIC qv_build_flags GTest::gtest)
target_compile_definitions(qv_test_main PRIVATE
  QV_TEST_RUNTIME_DIR="${CMAKE_BINARY_DIR}/runtime" QV_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_library(qv_test_pch STATIC ${CMAKE_SOURCE_DIR}/cmake/PchAnchor.cpp)
target_link_libraries(qv_test_pch PUBLIC qv_build_flags GTest::gtest Threads::Threads)
target_precompile_headers(qv_test_pch PRIVATE ${QV_PCH_HEADERS} <gtest/gtest.h>)
endif()

# qv_test(name SOURCES files... DEPS targets...): a GoogleTest binary run by CTest.
function(qv_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${QV_PROGRAM_SUPPORT})
  target_link_libraries(${name} PRIVATE qv_build_flags ${ARG_DEPS} qv_test_main GTest::gtest Threads::Threads)
  target_precompile_headers(${name} REUSE_FROM qv_test_pch)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endfunction()

# qv_test_folder(name DEPS targets...): one GoogleTest binary from every *Test.cpp of the folder.
function(qv_test_folder name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
  qv_test(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
endfunction()

# qv_bench(name SOURCES files... DEPS targets...): a Google Benchmark binary run by `make bench`.
function(qv_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${QV_PROGRAM_SUPPORT})
  target_link_libraries(${name} PRIVATE qv_build_flags ${ARG_DEPS} benchmark::benchmark Threads::Threads)
  set_property(GLOBAL APPEND PROPERTY QV_BENCH_TARGETS ${name})
endfunction()

# qv_fuzzer(name SOURCES files... DEPS targets...): a libFuzzer target run by
# `make fuzz`. In a test build the same target links the corpus driver in
# place of libFuzzer (gcc has none) and CTest runs it for a few seconds on
# its seeds in fuzz/corpus/<name>, so no target can stop building unnoticed.
set(QV_FUZZ_TEST_SECONDS 2 CACHE STRING "Seconds each fuzz target runs mutated seeds under CTest")
function(qv_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(QV_FUZZ)
    add_executable(${name} ${ARG_SOURCES} ${QV_PROGRAM_SUPPORT})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/support/CorpusDriver.cpp ${QV_PROGRAM_SUPPORT})
    set(seeds ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    if(NOT EXISTS ${seeds})
      message(FATAL_ERROR "fuzz target ${name} has no seed folder fuzz/corpus/${name}")
    endif()
    add_test(NAME ${name}.seeds COMMAND ${name} -seconds=${QV_FUZZ_TEST_SECONDS} ${seeds})
    set_tests_properties(${name}.seeds PROPERTIES TIMEOUT 120 ENVIRONMENT
      "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy;LIBGL_ALWAYS_SOFTWARE=1;ALSOFT_DRIVERS=null")
  endif()
  target_link_libraries(${name} PRIVATE qv_build_flags ${ARG_DEPS})
endfunction()

if(QV_BENCH AND NOT QV_SANITIZE)
  find_package(benchmark REQUIRED)
endif()
