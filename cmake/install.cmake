# Installing and packaging. Each tree installs what it can give:
#   native  bin/quorvel-pack, the man page, the bash completion, the package's
#           copyright and changelog, and both stubs in share/quorvel, where
#           create finds them (../share/quorvel from the program);
#           `cpack -G DEB` packs that as quorvel_VERSION_amd64.deb
#   win64   quorvel-pack.exe with both stubs beside it;
#           `cpack -G ZIP` packs that as quorvel-VERSION-windows.zip
# The stubs come from the win64 and win32 trees, so `make install` and
# `make package` build the three trees first.
include(GNUInstallDirs)

set(QUORVEL_STUB_X86_64 "${PROJECT_SOURCE_DIR}/build/win64/quorvel-sfx.exe" CACHE FILEPATH
  "the x86_64 stub to install (built by the win64 tree)")
set(QUORVEL_STUB_I686 "${PROJECT_SOURCE_DIR}/build/win32/quorvel-sfx.exe" CACHE FILEPATH
  "the i686 stub to install (built by the win32 tree)")

# Installs both stubs into destination, refusing the install when one has not
# been built.
function(quorvel_install_stubs destination)
  foreach(arch x86_64 i686)
    string(TOUPPER ${arch} key)
    set(stub ${QUORVEL_STUB_${key}})
    install(CODE "if(NOT EXISTS \"${stub}\")
  message(FATAL_ERROR \"the ${arch} stub ${stub} is not built: run make dist first\")
endif()")
    install(FILES ${stub} DESTINATION ${destination} RENAME quorvel-sfx-${arch}.exe
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
endfunction()

# A text with the project's version filled in, compressed as Debian keeps its
# documentation (gzip -9n: no name, no time, so the same bytes every build).
function(quorvel_gzipped_file source output)
  configure_file(${source} ${CMAKE_BINARY_DIR}/${output} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${output}.gz
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/${output}
    DEPENDS ${CMAKE_BINARY_DIR}/${output})
  add_custom_target(${output}_gz ALL DEPENDS ${CMAKE_BINARY_DIR}/${output}.gz)
endfunction()

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "the Quorvel developers")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <dev@quorvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting LZH archives for Windows")

if(NOT QUORVEL_WINDOWS AND TARGET quorvel-pack)
  quorvel_gzipped_file(${PROJECT_SOURCE_DIR}/docs/quorvel-pack.1 quorvel-pack.1)
  # The changelog's date: SOURCE_DATE_EPOCH when set, else that of the
  # project's last commit, so that a rebuild gives the same package.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(changelog_epoch $ENV{SOURCE_DATE_EPOCH})
  else()
    execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE changelog_epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT changelog_epoch MATCHES "^[0-9]+$")
    set(changelog_epoch 0)
  endif()
  execute_process(COMMAND date -u -R -d @${changelog_epoch}
    OUTPUT_VARIABLE QUORVEL_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
  quorvel_gzipped_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in changelog)

  install(TARGETS quorvel-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  quorvel_install_stubs(${CMAKE_INSTALL_DATADIR}/quorvel)
  install(FILES ${CMAKE_BINARY_DIR}/quorvel-pack.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/quorvel-pack.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quorvel-pack)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends: from the shared libraries the packer really links (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents these lines.
  set(CPACK_PACKAGE_DESCRIPTION "quorvel-pack makes self-extracting files for Windows: a small Windows
program (x86_64 or i686) with an LZH archive behind it, which offers a
destination folder, extracts every member with a progress bar, checks
every CRC and may start a command afterwards. Its texts are Japanese.

It compresses with its own encoder (-lh5-, -lh6-, -lh7-), writes plain .lzh
archives too, lists, tests and extracts both kinds, and tells what a
self-extracting file will do before it runs (also as JSON).")
  include(CPack)
elseif(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET quorvel-pack)
  set(QUORVEL_STUB_X86_64 ${CMAKE_BINARY_DIR}/quorvel-sfx.exe)
  install(TARGETS quorvel-pack RUNTIME DESTINATION .)
  quorvel_install_stubs(.)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION . RENAME COPYRIGHT.txt)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quorvel-${PROJECT_VERSION}-windows)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endif()
