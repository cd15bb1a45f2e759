# libFuzzer targets for the header reader and member decoding, built in the
# native tree only (clang). ctest runs each for a fixed number of inputs from
# the committed seeds; scripts/fuzz.sh runs them for longer.
if(QUORVEL_WINDOWS OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  return()
endif()

set(QUORVEL_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g)
add_library(quorvel_core_fuzz STATIC ${QUORVEL_CORE_SOURCES})
target_include_directories(quorvel_core_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(quorvel_core_fuzz PRIVATE -fno-exceptions -fno-rtti ${QUORVEL_FUZZ_FLAGS})

# Inputs per target under ctest: a few seconds each (decoding runs up to
# 128 KiB per input under the sanitizers).
set(QUORVEL_FUZZ_RUNS_header_fuzz 20000)
set(QUORVEL_FUZZ_RUNS_decode_fuzz 8000)
foreach(target header_fuzz decode_fuzz)
  add_executable(${target} ${PROJECT_SOURCE_DIR}/tests/fuzz/${target}.cpp
                           ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_host.cpp)
  target_link_libraries(${target} PRIVATE quorvel_core_fuzz)
  target_compile_options(${target} PRIVATE ${QUORVEL_FUZZ_FLAGS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  # New inputs go to a scratch folder in the build tree, never to the seeds.
  set(scratch ${CMAKE_BINARY_DIR}/fuzz-corpus/${target})
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME ${target}
    COMMAND ${target} -runs=${QUORVEL_FUZZ_RUNS_${target}} -max_len=65536 -timeout=10
            ${scratch} ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${target})
endforeach()
