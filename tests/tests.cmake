# Unit tests: tests/unit/*.cpp run natively against the core and the packer;
# tests/unit/win_*.cpp are cross-compiled and run under wine64.
enable_testing()
set(QUORVEL_TEST_DEFINES
  QUORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  QUORVEL_BUILD_ROOT="${PROJECT_SOURCE_DIR}/build"
  QUORVEL_BINARY_DIR="${CMAKE_BINARY_DIR}")

if(NOT QUORVEL_WINDOWS)
  include(GoogleTest)
  file(GLOB QUORVEL_UNIT_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp)
  list(FILTER QUORVEL_UNIT_TESTS EXCLUDE REGEX "/win_[^/]*$")
  add_executable(unit_tests ${QUORVEL_UNIT_TESTS})
  target_link_libraries(unit_tests PRIVATE quorvel_pack quorvel_core GTest::gtest_main)
  target_compile_definitions(unit_tests PRIVATE ${QUORVEL_TEST_DEFINES})
  gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  file(GLOB QUORVEL_WIN_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/win_*.cpp)
  add_executable(win_unit_tests ${QUORVEL_WIN_TESTS} ${QUORVEL_RESOURCES})
  target_link_libraries(win_unit_tests PRIVATE quorvel_shell GTest::gtest_main
    comdlg32 ole32 shell32 advapi32 gdi32 user32 kernel32)
  target_compile_definitions(win_unit_tests PRIVATE ${QUORVEL_TEST_DEFINES})
  target_link_options(win_unit_tests PRIVATE -static)
  add_test(NAME win_unit_tests COMMAND win_unit_tests)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
  include(${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
endif()
