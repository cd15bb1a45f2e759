# Benchmark programs (run by scripts/bench-*.sh, never by the tests).
quorvel_sources(PASS_BENCH pass_bench.cpp pass_floor.cpp)
quorvel_sources(LEGACY_BENCH legacy_bench.cpp)

if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # Times the Test and Extract passes on an archive against the floor program
  # that writes the same files from memory (scripts/bench-pass.sh).
  add_executable(pass_bench ${QUORVEL_PASS_BENCH_SOURCES} ${QUORVEL_STUB_RESOURCES_SOURCES})
  target_link_libraries(pass_bench PRIVATE quorvel_shell comdlg32 ole32 shell32 advapi32 gdi32 user32 kernel32)
  target_include_directories(pass_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_options(pass_bench PRIVATE -static)
endif()

# Decode speed of the packer's decoders of the older methods beside lhasa's
# (scripts/bench-legacy.sh); lhasa is a yardstick here, never a part of the packer.
if(NOT QUORVEL_WINDOWS)
  find_package(PkgConfig)
  if(PkgConfig_FOUND AND NOT TARGET PkgConfig::LHASA)
    pkg_check_modules(LHASA IMPORTED_TARGET liblhasa)
  endif()
  if(TARGET PkgConfig::LHASA)
    add_executable(legacy_bench ${QUORVEL_LEGACY_BENCH_SOURCES})
    target_link_libraries(legacy_bench PRIVATE quorvel_legacy PkgConfig::LHASA)
  endif()
endif()
