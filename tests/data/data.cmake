# Test data built with the Windows program: small DLLs with and without
# version resources, a COM server stand-in, a program to start, the tmpfs drive helper and the
# Windows benchmarks. Everything lands beside win32_tests.exe, where the tests
# look for it (ProgramDirectory()).
set(DP_DATA_DIR ${PROJECT_SOURCE_DIR}/tests/data)
set(DP_DATA_OUT ${CMAKE_BINARY_DIR})
set(DP_DATA_TARGETS)

function(dp_data_dll name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${DP_DATA_OUT})
  target_link_options(${name} PRIVATE -static-libgcc -Wl,--kill-at)
  set(DP_DATA_TARGETS ${DP_DATA_TARGETS} ${name} PARENT_SCOPE)
endfunction()

# verdll_<name>.dll with FILEVERSION v1.v2.v3.v4 and the FileVersion text.
function(dp_version_dll name v1 v2 v3 v4 text)
  set(DP_V1 ${v1})
  set(DP_V2 ${v2})
  set(DP_V3 ${v3})
  set(DP_V4 ${v4})
  set(DP_VTEXT ${text})
  set(rc ${CMAKE_BINARY_DIR}/testdata/verdll_${name}.rc)
  configure_file(${DP_DATA_DIR}/verdll.rc.in ${rc} @ONLY)
  dp_data_dll(verdll_${name} ${DP_DATA_DIR}/verdll.c ${rc})
  set(DP_DATA_TARGETS ${DP_DATA_TARGETS} PARENT_SCOPE)
endfunction()

dp_version_dll(1000 1 0 0 0 "1.0.0.0")
dp_version_dll(1001 1 0 0 1 "1.0.0.1")
dp_version_dll(2000 2 0 0 0 "2.0 text")
dp_data_dll(verdll_two ${DP_DATA_DIR}/verdll.c ${DP_DATA_DIR}/verdll_two.rc)
dp_data_dll(verdll_none ${DP_DATA_DIR}/verdll.c)

# COM server stand-ins (tests/data/comserver.c): one that registers, one
# whose functions fail, one whose functions fault, one whose functions never
# return, one that needs a library beside it (the library is kept apart, in
# comdep/, so that only a copy beside the server can serve it),
# and a 64-bit pair built with the x86-64 compiler.
dp_data_dll(comserver ${DP_DATA_DIR}/comserver.c)
dp_data_dll(comfail ${DP_DATA_DIR}/comserver.c)
target_compile_definitions(comfail PRIVATE COMSERVER_FAIL)
dp_data_dll(comcrash ${DP_DATA_DIR}/comserver.c)
target_compile_definitions(comcrash PRIVATE COMSERVER_CRASH)
dp_data_dll(comhang ${DP_DATA_DIR}/comserver.c)
target_compile_definitions(comhang PRIVATE COMSERVER_HANG)
dp_data_dll(comdephelper ${DP_DATA_DIR}/comserver.c)
target_compile_definitions(comdephelper PRIVATE COMSERVER_HELPER)
set_target_properties(comdephelper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DP_DATA_OUT}/comdep)
dp_data_dll(comdep ${DP_DATA_DIR}/comserver.c)
target_compile_definitions(comdep PRIVATE COMSERVER_DEP)
target_link_libraries(comdep PRIVATE comdephelper)

find_program(DP_CC64 NAMES x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-gcc)
if(NOT DP_CC64)
  message(FATAL_ERROR "the x86-64 MinGW compiler is missing (tools/bootstrap installs it)")
endif()
foreach(variant comserver64 comfail64)
  set(defs)
  if(variant STREQUAL comfail64)
    set(defs -DCOMSERVER_FAIL)
  endif()
  add_custom_command(OUTPUT ${DP_DATA_OUT}/${variant}.dll
    COMMAND ${DP_CC64} -shared -O2 -static-libgcc ${defs} -o ${DP_DATA_OUT}/${variant}.dll
            ${DP_DATA_DIR}/comserver.c -ladvapi32
    DEPENDS ${DP_DATA_DIR}/comserver.c VERBATIM)
  add_custom_target(${variant} DEPENDS ${DP_DATA_OUT}/${variant}.dll)
  list(APPEND DP_DATA_TARGETS ${variant})
endforeach()

# The program the program-run tests start (a GUI program: no console).
add_executable(runhelper WIN32 ${DP_DATA_DIR}/runhelper.c)
set_target_properties(runhelper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DP_DATA_OUT})
target_link_options(runhelper PRIVATE -static-libgcc)
list(APPEND DP_DATA_TARGETS runhelper)

# The same program built for x86-64: a 64-bit program to install, start and
# link to from a 64-bit run.
add_custom_command(OUTPUT ${DP_DATA_OUT}/runhelper64.exe
  COMMAND ${DP_CC64} -O2 -mwindows -static-libgcc -o ${DP_DATA_OUT}/runhelper64.exe ${DP_DATA_DIR}/runhelper.c
  DEPENDS ${DP_DATA_DIR}/runhelper.c VERBATIM)
add_custom_target(runhelper64 DEPENDS ${DP_DATA_OUT}/runhelper64.exe)
list(APPEND DP_DATA_TARGETS runhelper64)

configure_file(${DP_DATA_DIR}/tmpfs_drive.sh ${DP_DATA_OUT}/tmpfs_drive.sh COPYONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
               WORLD_READ WORLD_EXECUTE)

configure_file(${DP_DATA_DIR}/fonts/dptest.ttf ${DP_DATA_OUT}/dptest.ttf COPYONLY)

add_dependencies(win32_tests ${DP_DATA_TARGETS})

# Windows benchmarks (run by hand: <build>/win/wine-run <build>/win/bench_<name>.exe).
file(GLOB DP_WIN_BENCHES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*_win32.cpp)
foreach(b IN LISTS DP_WIN_BENCHES)
  get_filename_component(name ${b} NAME_WE)
  string(REGEX REPLACE "_win32$" "" name ${name})
  add_executable(bench_${name} ${b})
  target_link_libraries(bench_${name} PRIVATE dpwin)
  target_compile_options(bench_${name} PRIVATE -O2 ${DP_WARNINGS})
  target_link_options(bench_${name} PRIVATE ${DP_STATIC_LINK})
  add_dependencies(bench_${name} ${DP_DATA_TARGETS})
endforeach()
