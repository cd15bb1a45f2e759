# Unit tests: tests/unit/*.cpp run natively against the core and the packer;
# tests/unit/win_*.cpp are cross-compiled for both stubs' processors and run
# under Wine. The Wine tests write their results as XML into test-results/,
# where scripts/run-tests.sh counts the cases that ran for each stub. A Wine
# test of the 32-bit stub exits with 77 (skipped) where the machine cannot run
# 32-bit programs: scripts/wine-run.sh finds that out.
enable_testing()
set(QUORVEL_TEST_DEFINES
  QUORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  QUORVEL_BUILD_ROOT="${PROJECT_SOURCE_DIR}/build"
  QUORVEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
# Helpers shared by the tests: LZH test data, fixtures and the archives every
# reader must judge alike (plain C++, both sides), the engine's memory host
# and the reference decoder (native), child processes, message boxes and
# stub-shaped files (Wine).
set(QUORVEL_TEST_SUPPORT ${PROJECT_SOURCE_DIR}/tests/support)
set(QUORVEL_TEST_DATA_SOURCES ${QUORVEL_TEST_SUPPORT}/lzh_test_data.cpp
  ${QUORVEL_TEST_SUPPORT}/fixtures.cpp ${QUORVEL_TEST_SUPPORT}/hostile_archives.cpp)

if(NOT QUORVEL_WINDOWS)
  include(GoogleTest)
  file(GLOB QUORVEL_UNIT_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp)
  list(FILTER QUORVEL_UNIT_TESTS EXCLUDE REGEX "/win_[^/]*$")
  add_executable(unit_tests ${QUORVEL_UNIT_TESTS} ${QUORVEL_TEST_DATA_SOURCES}
                 ${QUORVEL_TEST_SUPPORT}/engine_test_support.cpp ${QUORVEL_TEST_SUPPORT}/reference_decoder.cpp)
  target_include_directories(unit_tests PRIVATE ${QUORVEL_TEST_SUPPORT})
  target_link_libraries(unit_tests PRIVATE quorvel_pack quorvel_core GTest::gtest_main)
  target_compile_definitions(unit_tests PRIVATE ${QUORVEL_TEST_DEFINES})
  # Some tests run the packer as a user does.
  if(TARGET quorvel-pack)
    add_dependencies(unit_tests quorvel-pack)
  endif()
  gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
  # The folders of src/ include only folders below them.
  add_test(NAME layers COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-layers.py)
else()
  file(GLOB QUORVEL_WIN_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/win_*.cpp)
  add_executable(win_unit_tests ${QUORVEL_WIN_TESTS} ${QUORVEL_TEST_DATA_SOURCES}
                 ${QUORVEL_TEST_SUPPORT}/win_child_process.cpp ${QUORVEL_TEST_SUPPORT}/win_message_boxes.cpp
                 ${QUORVEL_TEST_SUPPORT}/win_test_archive.cpp ${QUORVEL_RESOURCES})
  target_include_directories(win_unit_tests PRIVATE ${QUORVEL_TEST_SUPPORT})
  target_link_libraries(win_unit_tests PRIVATE quorvel_shell GTest::gtest_main
    comdlg32 ole32 shell32 advapi32 gdi32 user32 kernel32)
  target_compile_definitions(win_unit_tests PRIVATE ${QUORVEL_TEST_DEFINES})
  target_link_options(win_unit_tests PRIVATE -static)
  add_test(NAME win_unit_tests
    COMMAND win_unit_tests --gtest_output=xml:test-results/win_unit_tests-${CMAKE_SYSTEM_PROCESSOR}.xml)
  set_tests_properties(win_unit_tests PROPERTIES SKIP_RETURN_CODE 77)
  # Started by the auto-run tests; leaves a mark file where it ran.
  add_executable(mark_file WIN32 ${PROJECT_SOURCE_DIR}/tests/support/mark_file.cpp)
  target_link_options(mark_file PRIVATE -static)
  add_dependencies(win_unit_tests mark_file)
endif()

if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # Times the Test and Extract passes on an archive against the floor program
  # that writes the same files from memory (scripts/bench-pass.sh).
  add_executable(pass_bench ${QUORVEL_TEST_SUPPORT}/pass_bench.cpp ${QUORVEL_TEST_SUPPORT}/pass_floor.cpp
                 ${QUORVEL_RESOURCES})
  target_include_directories(pass_bench PRIVATE ${QUORVEL_TEST_SUPPORT})
  target_link_libraries(pass_bench PRIVATE quorvel_shell comdlg32 ole32 shell32 advapi32 gdi32 user32 kernel32)
  target_link_options(pass_bench PRIVATE -static)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
  include(${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
endif()

# End-to-end: the real stub and the real packer under Wine, on a display.
if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET quorvel-pack)
  file(GLOB QUORVEL_E2E_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/win_*.cpp)
  add_executable(win_e2e_tests ${QUORVEL_E2E_TESTS} ${QUORVEL_TEST_SUPPORT}/win_child_process.cpp
                 ${QUORVEL_RESOURCES})
  target_include_directories(win_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${QUORVEL_TEST_SUPPORT})
  target_link_libraries(win_e2e_tests PRIVATE GTest::gtest_main advapi32 gdi32 user32 kernel32)
  target_compile_definitions(win_e2e_tests PRIVATE ${QUORVEL_TEST_DEFINES})
  target_link_options(win_e2e_tests PRIVATE -static)
  add_dependencies(win_e2e_tests quorvel-sfx quorvel-pack)
  # Once for each stub: the i686 one comes from the win32 tree, started by
  # this 64-bit driver in the same Wine prefix.
  foreach(stub x86_64 i686)
    add_test(NAME win_e2e_tests_${stub}
      COMMAND win_e2e_tests --gtest_output=xml:test-results/win_e2e_tests-${stub}.xml)
    set_tests_properties(win_e2e_tests_${stub} PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77
      ENVIRONMENT QUORVEL_STUB=${stub})
  endforeach()
endif()

# The Windows packer's commands under Wine, with Japanese names (the stub is
# the one laid out after linking).
if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET quorvel-pack)
  add_test(NAME pack_commands
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/commands.sh $<TARGET_FILE:quorvel-pack>
            ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/quorvel-sfx.exe)
endif()

# The demo: the packaged program, the driver that runs the demo without a
# person, and the one that takes the README's pictures of the dialogs.
if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_executable(hello WIN32 ${PROJECT_SOURCE_DIR}/examples/demo/hello.cpp)
  target_link_options(hello PRIVATE -static -s)
  set_target_properties(hello PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/demo)
  if(TARGET win_e2e_tests)
    foreach(driver demo_driver readme_pictures progress_driver)
      add_executable(${driver} ${PROJECT_SOURCE_DIR}/tests/e2e/${driver}.cpp
                     ${PROJECT_SOURCE_DIR}/tests/e2e/win_e2e_support.cpp
                     ${QUORVEL_TEST_SUPPORT}/win_child_process.cpp)
      target_include_directories(${driver} PRIVATE ${PROJECT_SOURCE_DIR}/src ${QUORVEL_TEST_SUPPORT})
      target_link_libraries(${driver} PRIVATE GTest::gtest advapi32 gdi32 user32 kernel32)
      target_compile_definitions(${driver} PRIVATE ${QUORVEL_TEST_DEFINES})
      target_link_options(${driver} PRIVATE -static)
    endforeach()
  endif()
endif()

# The packer's output read by independent extractors, and signed; its
# commands as a user runs them, with Japanese names.
if(NOT QUORVEL_WINDOWS AND TARGET quorvel-pack)
  set(QUORVEL_SIGNING_STUB "${PROJECT_SOURCE_DIR}/dist/quorvel-sfx-x86_64.exe" CACHE FILEPATH
    "x86_64 stub for the signing test")
  add_test(NAME pack_interop
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/interop.sh $<TARGET_FILE:quorvel-pack>
            ${QUORVEL_SIGNING_STUB})
  add_test(NAME pack_commands
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/commands.sh $<TARGET_FILE:quorvel-pack>
            ${PROJECT_VERSION} ${QUORVEL_SIGNING_STUB})
  add_test(NAME pack_signing
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/signing.sh $<TARGET_FILE:quorvel-pack>
            ${QUORVEL_SIGNING_STUB})
  set_tests_properties(pack_signing PROPERTIES SKIP_RETURN_CODE 77)
endif()

include(${PROJECT_SOURCE_DIR}/tests/publishing.cmake)

# Decode speed of the packer's decoders of the older methods beside lhasa's
# (scripts/bench-legacy.sh); lhasa is a yardstick here, never a part of the packer.
if(NOT QUORVEL_WINDOWS)
  find_package(PkgConfig)
  if(PkgConfig_FOUND AND NOT TARGET PkgConfig::LHASA)
    pkg_check_modules(LHASA IMPORTED_TARGET liblhasa)
  endif()
  if(TARGET PkgConfig::LHASA)
    add_executable(legacy_bench ${QUORVEL_TEST_SUPPORT}/legacy_bench.cpp)
    target_link_libraries(legacy_bench PRIVATE quorvel_legacy PkgConfig::LHASA)
  endif()
endif()
