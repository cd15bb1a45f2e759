# Benchmark programs (run by scripts/bench-*.sh, never by the tests).
quorvel_sources(PASS_BENCH pass_bench.cpp pass_floor.cpp)

if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # Times the Test and Extract passes on an archive against the floor program
  # that writes the same files from memory (scripts/bench-pass.sh).
  add_executable(pass_bench ${QUORVEL_PASS_BENCH_SOURCES} ${QUORVEL_STUB_RESOURCES_SOURCES})
  target_link_libraries(pass_bench PRIVATE quorvel_shell comdlg32 ole32 shell32 advapi32 gdi32 user32 kernel32)
  target_link_options(pass_bench PRIVATE -static)
endif()
