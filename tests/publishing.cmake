# What publishers rely on: the packages, the man page and completion, info
# and --json, reproducible output, the progress bar. Included by tests.cmake.
set(QUORVEL_DIST_DEB ${PROJECT_SOURCE_DIR}/dist/quorvel_${PROJECT_VERSION}_amd64.deb)
set(QUORVEL_DIST_ZIP ${PROJECT_SOURCE_DIR}/dist/quorvel-${PROJECT_VERSION}-windows.zip)
set(QUORVEL_PACK_TESTS ${PROJECT_SOURCE_DIR}/tests/pack)

if(NOT QUORVEL_WINDOWS AND TARGET quorvel-pack)
  add_test(NAME pack_docs COMMAND ${QUORVEL_PACK_TESTS}/docs.sh $<TARGET_FILE:quorvel-pack>
    ${PROJECT_SOURCE_DIR}/docs/quorvel-pack.1 ${PROJECT_SOURCE_DIR}/packaging/quorvel-pack.bash)
  add_test(NAME pack_progress COMMAND ${QUORVEL_PACK_TESTS}/progress.sh $<TARGET_FILE:quorvel-pack>)
  add_test(NAME pack_reproducible COMMAND ${QUORVEL_PACK_TESTS}/reproducible.sh
    $<TARGET_FILE:quorvel-pack> ${QUORVEL_SIGNING_STUB})
  add_test(NAME pack_info_json COMMAND ${QUORVEL_PACK_TESTS}/info_json.sh
    $<TARGET_FILE:quorvel-pack> ${QUORVEL_SIGNING_STUB})
  # The package that `make package` left in dist/ (make test makes it first).
  add_test(NAME pack_deb COMMAND ${QUORVEL_PACK_TESTS}/deb_package.sh ${QUORVEL_DIST_DEB}
    ${PROJECT_VERSION})
  set_tests_properties(pack_info_json pack_deb PROPERTIES SKIP_RETURN_CODE 77)
elseif(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET quorvel-pack)
  add_test(NAME pack_info_json COMMAND ${QUORVEL_PACK_TESTS}/info_json.sh
    $<TARGET_FILE:quorvel-pack> ${CMAKE_BINARY_DIR}/quorvel-sfx.exe)
  add_test(NAME pack_windows_zip COMMAND ${QUORVEL_PACK_TESTS}/windows_zip.sh ${QUORVEL_DIST_ZIP}
    ${PROJECT_VERSION})
  set_tests_properties(pack_info_json pack_windows_zip PROPERTIES SKIP_RETURN_CODE 77)
endif()
