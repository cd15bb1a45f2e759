# Unit tests: tests/unit's portable tests run natively against the core and
# the packer; its win_ tests are cross-compiled for both stubs' processors and
# run under Wine; each Windows tree checks the stub it built (tests/stub). The
# Wine tests write their results as XML into test-results/, where
# scripts/run-tests.sh counts the cases that ran for each stub. A Wine test of
# the 32-bit stub exits with 77 (skipped) where the machine cannot run 32-bit
# programs: scripts/wine-run.sh finds that out.
enable_testing()
set(QUORVEL_TEST_DEFINES
  QUORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  QUORVEL_BUILD_ROOT="${PROJECT_SOURCE_DIR}/build"
  QUORVEL_BINARY_DIR="${CMAKE_BINARY_DIR}")

quorvel_sources(UNIT_TEST unit/archive_reader_test.cpp unit/bit_reader_test.cpp unit/crc16_test.cpp
  unit/header_levels_test.cpp unit/os_conventions_test.cpp
  unit/folder_macros_test.cpp unit/huffman_table_test.cpp unit/legacy_decoder_test.cpp unit/lzh_decoder_test.cpp
  unit/member_header_test.cpp unit/member_name_test.cpp unit/name_rules_test.cpp unit/output_sink_test.cpp
  unit/pack_archive_test.cpp unit/pack_command_line_test.cpp unit/pack_encoder_test.cpp
  unit/pack_info_test.cpp unit/pack_output_test.cpp unit/pack_sfx_test.cpp unit/pack_terminal_text_test.cpp
  unit/path_text_test.cpp
  unit/readers_agree_test.cpp unit/reference_decoder_test.cpp unit/sfx_config_test.cpp
  unit/stub_switches_test.cpp unit/utf16le_test.cpp)
quorvel_sources(WIN_UNIT_TEST unit/win_engine_test.cpp unit/win_file_replace_test.cpp
  unit/win_folder_chooser_test.cpp unit/win_name_rules_test.cpp unit/win_pass_test.cpp
  unit/win_resources_test.cpp unit/win_startup_notice_test.cpp unit/win_startup_test.cpp
  unit/win_strings_test.cpp unit/win_write_behind_test.cpp)
quorvel_sources(E2E_TEST e2e/win_e2e_test.cpp e2e/win_folder_chooser_e2e_test.cpp
  e2e/win_locale_e2e_test.cpp e2e/win_unattended_e2e_test.cpp e2e/win_hardening_e2e_test.cpp)
# Helpers shared by the tests: LZH test data, fixtures and the archives every
# reader must judge alike (plain C++, both sides), the engine's memory host
# and the reference decoder (native), child processes, message boxes and
# stub-shaped files (Wine), and the automation of the stub's dialogs (the
# end-to-end tests and the drivers in tools/).
quorvel_sources(LZH_TEST_DATA support/lzh_test_data.cpp)
quorvel_sources(FIXTURES support/fixtures.cpp support/hostile_archives.cpp)
quorvel_sources(ENGINE_TEST_SUPPORT support/engine_test_support.cpp)
quorvel_sources(REFERENCE_DECODER support/reference_decoder.cpp)
quorvel_sources(WIN_TEST_SUPPORT support/win_child_process.cpp support/win_message_boxes.cpp
  support/win_test_archive.cpp)
quorvel_sources(CHILD_PROCESS support/win_child_process.cpp)
quorvel_sources(DIALOG_AUTOMATION e2e/win_e2e_support.cpp)
set(QUORVEL_TEST_INCLUDES ${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_SOURCE_DIR}/tests/e2e)

if(NOT QUORVEL_WINDOWS)
  include(GoogleTest)
  add_executable(unit_tests ${QUORVEL_UNIT_TEST_SOURCES} ${QUORVEL_LZH_TEST_DATA_SOURCES}
                 ${QUORVEL_FIXTURES_SOURCES} ${QUORVEL_ENGINE_TEST_SUPPORT_SOURCES}
                 ${QUORVEL_REFERENCE_DECODER_SOURCES})
  target_include_directories(unit_tests PRIVATE ${QUORVEL_TEST_INCLUDES})
  target_link_libraries(unit_tests PRIVATE quorvel_pack quorvel_core GTest::gtest_main)
  target_compile_definitions(unit_tests PRIVATE ${QUORVEL_TEST_DEFINES})
  # Some tests run the packer as a user does.
  add_dependencies(unit_tests quorvel-pack)
  gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
  # The folders of src/ include only folders below them.
  add_test(NAME layers COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-layers.py)

  # The same unit tests under AddressSanitizer and UndefinedBehaviorSanitizer,
  # over sanitized builds of the core and the packer's library of their own;
  # the first fault ends the run.
  set(QUORVEL_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_library(quorvel_core_sanitized STATIC ${QUORVEL_CORE_SOURCES})
  target_include_directories(quorvel_core_sanitized PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(quorvel_core_sanitized PRIVATE -fno-exceptions -fno-rtti ${QUORVEL_SANITIZE})
  add_library(quorvel_pack_sanitized STATIC ${QUORVEL_PACK_SOURCES} ${QUORVEL_ENCODER_SOURCES}
              ${QUORVEL_PE_IMAGE_SOURCES})
  target_include_directories(quorvel_pack_sanitized SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/json-include)
  add_library(quorvel_legacy_sanitized STATIC ${QUORVEL_LEGACY_SOURCES})
  target_include_directories(quorvel_legacy_sanitized PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(quorvel_legacy_sanitized PRIVATE ${QUORVEL_SANITIZE})
  target_link_libraries(quorvel_pack_sanitized PUBLIC quorvel_core_sanitized quorvel_legacy_sanitized)
  target_compile_options(quorvel_pack_sanitized PRIVATE ${QUORVEL_SANITIZE})
  add_executable(unit_tests_sanitized $<TARGET_PROPERTY:unit_tests,SOURCES>)
  target_include_directories(unit_tests_sanitized PRIVATE ${QUORVEL_TEST_INCLUDES})
  target_link_libraries(unit_tests_sanitized PRIVATE quorvel_pack_sanitized GTest::gtest_main)
  target_compile_definitions(unit_tests_sanitized PRIVATE ${QUORVEL_TEST_DEFINES})
  target_compile_options(unit_tests_sanitized PRIVATE ${QUORVEL_SANITIZE})
  target_link_options(unit_tests_sanitized PRIVATE -fsanitize=address,undefined)
  add_dependencies(unit_tests_sanitized quorvel-pack)
  add_test(NAME unit_tests_sanitized COMMAND unit_tests_sanitized)
else()
  add_executable(win_unit_tests ${QUORVEL_WIN_UNIT_TEST_SOURCES} ${QUORVEL_LZH_TEST_DATA_SOURCES}
                 ${QUORVEL_FIXTURES_SOURCES}
                 ${QUORVEL_WIN_TEST_SUPPORT_SOURCES} ${QUORVEL_STUB_RESOURCES_SOURCES})
  target_include_directories(win_unit_tests PRIVATE ${QUORVEL_TEST_INCLUDES})
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

  # The stub this tree built, read on the build machine (tools/host builds
  # the checks): its layout, its imports, its size. The 32-bit stub also
  # has the rules of Windows 95 and NT 3.51 to keep.
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(QUORVEL_STUB_MAX_BYTES 40960)
    set(QUORVEL_STUB_CHECKS *)
  else()
    set(QUORVEL_STUB_MAX_BYTES 49152)
    set(QUORVEL_STUB_CHECKS -I686Stub.*)
  endif()
  add_test(NAME stub_image COMMAND ${QUORVEL_HOST_DIR}/stub_checks --gtest_filter=${QUORVEL_STUB_CHECKS})
  set_tests_properties(stub_image PROPERTIES ENVIRONMENT
    "QUORVEL_STUB=${CMAKE_BINARY_DIR}/quorvel-sfx.exe;QUORVEL_STUB_LINKED=${CMAKE_BINARY_DIR}/quorvel-sfx.linked.exe;QUORVEL_STUB_MAX_BYTES=${QUORVEL_STUB_MAX_BYTES}")
endif()

include(${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz.cmake)

# End-to-end: the real stub and the real packer under Wine, on a display.
if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_executable(win_e2e_tests ${QUORVEL_E2E_TEST_SOURCES} ${QUORVEL_DIALOG_AUTOMATION_SOURCES}
                 ${QUORVEL_CHILD_PROCESS_SOURCES} ${QUORVEL_STUB_RESOURCES_SOURCES})
  target_include_directories(win_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${QUORVEL_TEST_INCLUDES})
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
    # What a Western Windows (code page 1252, English interface) shows and writes,
    # and the hardening cases about the ANSI code page once more there.
    add_test(NAME win_e2e_tests_${stub}_western
      COMMAND win_e2e_tests --gtest_filter=Locale.*:Hardening.*CodePage*
              --gtest_output=xml:test-results/win_e2e_tests-${stub}-western.xml)
    set_tests_properties(win_e2e_tests_${stub}_western PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
      ENVIRONMENT "QUORVEL_STUB=${stub};QUORVEL_WINE_LOCALE=C.UTF-8")
  endforeach()

  # The Windows packer's commands under Wine, with Japanese names (the stub is
  # the one laid out after linking).
  add_test(NAME pack_commands
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/commands.sh $<TARGET_FILE:quorvel-pack>
            ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/quorvel-sfx.exe)
  add_test(NAME pack_unicode
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/unicode.sh $<TARGET_FILE:quorvel-pack>
            ${CMAKE_BINARY_DIR}/quorvel-sfx.exe ${PROJECT_SOURCE_DIR}/dist/quorvel-sfx-i686.exe)
endif()

# The packer's output read by independent extractors, and signed; its
# commands as a user runs them, with Japanese names.
if(NOT QUORVEL_WINDOWS)
  set(QUORVEL_SIGNING_STUB "${PROJECT_SOURCE_DIR}/dist/quorvel-sfx-x86_64.exe" CACHE FILEPATH
    "x86_64 stub for the signing test")
  add_test(NAME pack_interop
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/interop.sh $<TARGET_FILE:quorvel-pack>
            ${QUORVEL_SIGNING_STUB})
  add_test(NAME pack_commands
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/commands.sh $<TARGET_FILE:quorvel-pack>
            ${PROJECT_VERSION} ${QUORVEL_SIGNING_STUB})
  add_test(NAME pack_unicode
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/unicode.sh $<TARGET_FILE:quorvel-pack>
            ${QUORVEL_SIGNING_STUB} ${PROJECT_SOURCE_DIR}/dist/quorvel-sfx-i686.exe)
  # Archives of every header level and method from other writers, against lhasa.
  add_test(NAME pack_levels
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/levels.sh $<TARGET_FILE:quorvel-pack>)
  set_tests_properties(pack_levels PROPERTIES SKIP_RETURN_CODE 77)
  add_test(NAME pack_signing
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/signing.sh $<TARGET_FILE:quorvel-pack>
            ${QUORVEL_SIGNING_STUB})
  set_tests_properties(pack_signing PROPERTIES SKIP_RETURN_CODE 77)
  # Links in the packer's way, and control bytes in what it prints.
  add_test(NAME pack_links
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/links.sh $<TARGET_FILE:quorvel-pack>)
  add_test(NAME pack_control_bytes
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pack/control_bytes.sh $<TARGET_FILE:quorvel-pack>
            ${QUORVEL_SIGNING_STUB})
endif()

include(${PROJECT_SOURCE_DIR}/tests/publishing.cmake)
