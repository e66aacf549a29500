# Native build: the portable core with its unit tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, the fuzz targets (clang) and the benchmarks.
include(cmake/common_tests.cmake)

set(DP_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)

add_library(dpcore_san STATIC ${DP_CORE_SOURCES} ${DP_NATIVE_SOURCES})
target_include_directories(dpcore_san PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(dpcore_san PUBLIC ${DP_SANITIZE} PRIVATE ${DP_WARNINGS} -Werror)
target_link_options(dpcore_san PUBLIC ${DP_SANITIZE})
target_compile_definitions(dpcore_san PUBLIC DP_NATIVE=1)

# gtest itself is built with the sanitizers too, so containers cross cleanly.
target_compile_options(gtest PRIVATE ${DP_SANITIZE})
target_compile_options(gtest_main PRIVATE ${DP_SANITIZE})

add_executable(core_tests ${DP_UNIT_TESTS})
target_link_libraries(core_tests PRIVATE dpcore_san gtest_main)
target_include_directories(core_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(core_tests PRIVATE DP_TEST_FONTS="${PROJECT_SOURCE_DIR}/tests/data/fonts/")
add_test(NAME core_tests_native COMMAND core_tests --gtest_brief=1)
set_tests_properties(core_tests_native PROPERTIES
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")

# The Ansible playbook of the deployment examples parses, and every module it
# names is one the installed collections have (the Windows modules come with
# Debian's ansible package; their options are checked only on a target).
add_test(NAME ansible_playbook_syntax
  COMMAND ansible-playbook -i localhost, --syntax-check ${PROJECT_SOURCE_DIR}/examples/deploy/deploy.yml)
set_tests_properties(ansible_playbook_syntax PROPERTIES ENVIRONMENT "ANSIBLE_NOCOLOR=1")

# The core built for speed, for the benchmarks.
add_library(dpcore_opt STATIC ${DP_CORE_SOURCES} ${DP_NATIVE_SOURCES})
target_include_directories(dpcore_opt PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(dpcore_opt PRIVATE -O2 ${DP_WARNINGS})
target_compile_definitions(dpcore_opt PUBLIC DP_NATIVE=1)
file(GLOB DP_BENCHES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*_native.cpp)
foreach(b IN LISTS DP_BENCHES)
  get_filename_component(name ${b} NAME_WE)
  string(REGEX REPLACE "_native$" "" name ${name})
  add_executable(bench_${name} ${b})
  target_compile_options(bench_${name} PRIVATE -O2)
  target_link_libraries(bench_${name} PRIVATE dpcore_opt)
endforeach()

# libFuzzer targets (clang only): fuzz/<name>.cpp -> fuzz_<name>
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # The core once more, instrumented for the fuzzer's coverage feedback, so
  # that the fuzzers explore the parsers and not only their own sources.
  add_library(dpcore_fuzz STATIC ${DP_CORE_SOURCES} ${DP_NATIVE_SOURCES})
  target_include_directories(dpcore_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(dpcore_fuzz PUBLIC ${DP_SANITIZE} PRIVATE -fsanitize=fuzzer-no-link ${DP_WARNINGS})
  target_link_options(dpcore_fuzz PUBLIC ${DP_SANITIZE})
  target_compile_definitions(dpcore_fuzz PUBLIC DP_NATIVE=1)
  file(GLOB DP_FUZZERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
  foreach(fz IN LISTS DP_FUZZERS)
    get_filename_component(name ${fz} NAME_WE)
    add_executable(fuzz_${name} ${fz})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${name} PRIVATE dpcore_fuzz)
    # A short smoke run in the test suite; the long runs are by hand (README).
    add_test(NAME fuzz_${name}_smoke COMMAND fuzz_${name} -runs=20000 -max_len=4096 -seed=1)
  endforeach()
endif()
