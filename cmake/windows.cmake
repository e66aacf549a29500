# Windows build (MinGW-w64 i686): the program, its tests under Wine, the UI
# robot and the test data programs.
enable_language(RC)
include(cmake/common_tests.cmake)

# Wrapper that runs a Windows program in the build tree's own Wine prefix.
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(DP_STATIC_LINK -static -static-libgcc -static-libstdc++)
# Only DLLs that Windows protects as known DLLs are imported statically; the
# others (version, userenv, comctl32) are loaded at run time from the system
# directory, and so is ole32, which most runs never need.
set(DP_SYSTEM_LIBS kernel32 user32 gdi32 advapi32 shell32 shlwapi)

# The portable core and the Win32 shell in one library (they call each other).
add_library(dpwin STATIC ${DP_CORE_SOURCES} ${DP_WIN32_SOURCES})
target_include_directories(dpwin PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(dpwin PRIVATE ${DP_WARNINGS})
target_compile_definitions(dpwin PUBLIC WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0600 NOMINMAX)
target_link_libraries(dpwin PUBLIC ${DP_SYSTEM_LIBS})

set(DP_RC ${PROJECT_SOURCE_DIR}/src/resources/deployator.rc)
set_source_files_properties(${DP_RC} PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/src/resources/deployator.ico;${PROJECT_SOURCE_DIR}/src/resources/deployator.manifest;${PROJECT_SOURCE_DIR}/src/resources/messages.def;${PROJECT_SOURCE_DIR}/src/resources/resource_ids.h")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${PROJECT_SOURCE_DIR}/src/resources")

add_executable(deployator WIN32 ${DP_WINMAIN} ${DP_RC})
target_link_libraries(deployator PRIVATE dpwin)
target_link_options(deployator PRIVATE ${DP_STATIC_LINK})
# The shipped exe carries no debug information (the loader would map all 13 MiB
# of it on every start); deployator.debug beside it keeps it for the debugger.
add_custom_command(TARGET deployator POST_BUILD
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug deployator.exe deployator.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=deployator.debug deployator.exe
  WORKING_DIRECTORY $<TARGET_FILE_DIR:deployator>
  VERBATIM)

# Portable core tests, built for Windows (32-bit long) and run under Wine.
add_executable(core_tests_win ${DP_UNIT_TESTS} ${DP_RC})
target_link_libraries(core_tests_win PRIVATE dpwin gtest_main)
target_include_directories(core_tests_win PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# The test fonts, through Wine's drive Z: (the root of the Unix file system).
target_compile_definitions(core_tests_win PRIVATE DP_TEST_FONTS="Z:${PROJECT_SOURCE_DIR}/tests/data/fonts/")
target_link_options(core_tests_win PRIVATE ${DP_STATIC_LINK})

# In-process tests of the Win32 shell, against the real effects under Wine.
file(GLOB DP_WIN32_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*.cpp)
add_executable(win32_tests ${DP_WIN32_TESTS} ${DP_RC})
target_link_libraries(win32_tests PRIVATE dpwin gtest_main)
target_include_directories(win32_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_options(win32_tests PRIVATE ${DP_STATIC_LINK})

# The UI robot: drives deployator.exe from scenario files.
file(GLOB DP_ROBOT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/robot/*.cpp)
add_executable(robot ${DP_ROBOT_SOURCES})
target_link_libraries(robot PRIVATE user32 kernel32 advapi32 comctl32)
target_compile_options(robot PRIVATE ${DP_WARNINGS})
target_compile_definitions(robot PRIVATE NOMINMAX)
target_link_options(robot PRIVATE ${DP_STATIC_LINK})

# Test data (versioned DLLs and other helper programs).
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/data/data.cmake)
  include(${PROJECT_SOURCE_DIR}/tests/data/data.cmake)
endif()

# --- Tests -------------------------------------------------------------------
set(DP_HARNESS ${PROJECT_SOURCE_DIR}/tools/wine-harness)

add_test(NAME wine_setup COMMAND ${DP_HARNESS} setup ${CMAKE_BINARY_DIR})
set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME wine_teardown COMMAND ${DP_HARNESS} teardown ${CMAKE_BINARY_DIR})
set_tests_properties(wine_teardown PROPERTIES FIXTURES_CLEANUP wine)

function(dp_wine_test name)
  add_test(NAME ${name} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix TIMEOUT 600)
endfunction()

dp_wine_test(core_tests_wine COMMAND core_tests_win --gtest_brief=1)
dp_wine_test(win32_tests COMMAND win32_tests --gtest_brief=1)

# End-to-end runs of deployator.exe driven by shell scripts.
include(${PROJECT_SOURCE_DIR}/tests/e2e/e2e.cmake)

# The exe imports only known DLLs, and ships alone (no MinGW runtime DLLs).
add_test(NAME exe_imports COMMAND ${PROJECT_SOURCE_DIR}/tools/check-imports $<TARGET_FILE:deployator>)

# End-to-end scenarios: tests/robot/scenarios/<name>.scn, run by tools/run-scenario.
file(GLOB DP_SCENARIOS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/robot/scenarios/*.scn)
foreach(scn IN LISTS DP_SCENARIOS)
  get_filename_component(name ${scn} NAME_WE)
  dp_wine_test(e2e_${name} COMMAND ${PROJECT_SOURCE_DIR}/tools/run-scenario ${CMAKE_BINARY_DIR} ${scn})
endforeach()
