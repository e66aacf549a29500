# End-to-end tests of deployator.exe under Wine (included by cmake/windows.cmake
# after dp_wine_test is defined).
dp_wine_test(e2e_sample_install
  COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/sample_install.sh ${CMAKE_BINARY_DIR})
dp_wine_test(e2e_check_script
  COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/check_script.sh ${CMAKE_BINARY_DIR})
