# libFuzzer targets, built in the native tree only (clang): the header reader
# and member decoding alone, then the differential targets that judge the
# engine by the tests' reference decoder and by lhasa's library, the
# packer's encoder by both decoders, and the packer's decoders of the older
# methods (src/legacy) by lhasa's. lhasa (liblhasa-dev) is a test oracle
# only: nothing of the product links it. ctest runs each target for a fixed
# number of inputs from the committed seeds; scripts/fuzz.sh runs them for
# longer.
if(QUORVEL_WINDOWS OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  return()
endif()

quorvel_sources(FUZZ_HOST fuzz_host.cpp)
set(QUORVEL_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g)
add_library(quorvel_core_fuzz STATIC ${QUORVEL_CORE_SOURCES})
target_include_directories(quorvel_core_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(quorvel_core_fuzz PRIVATE -fno-exceptions -fno-rtti ${QUORVEL_FUZZ_FLAGS})

find_package(PkgConfig REQUIRED)
pkg_check_modules(LHASA REQUIRED IMPORTED_TARGET liblhasa)
find_package(Threads REQUIRED)

# Inputs per target under ctest: a few seconds each.
set(QUORVEL_FUZZ_RUNS_header_fuzz 20000)
set(QUORVEL_FUZZ_RUNS_decode_fuzz 20000)
set(QUORVEL_FUZZ_RUNS_diff_decode_fuzz 4000)
set(QUORVEL_FUZZ_RUNS_diff_encode_fuzz 300)
set(QUORVEL_FUZZ_RUNS_legacy_diff_fuzz 2000)
set(QUORVEL_FUZZ_RUNS_levels_diff_fuzz 20000)
# The largest input a target takes: whole members, but only headers for the
# reader of levels 0, 1 and 3.
set(QUORVEL_FUZZ_MAX_LEN_levels_diff_fuzz 4096)
set(QUORVEL_FUZZ_TARGETS header_fuzz decode_fuzz diff_decode_fuzz diff_encode_fuzz legacy_diff_fuzz
    levels_diff_fuzz)
foreach(target ${QUORVEL_FUZZ_TARGETS})
  add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp ${QUORVEL_FUZZ_HOST_SOURCES})
  target_link_libraries(${target} PRIVATE quorvel_core_fuzz)
  target_compile_options(${target} PRIVATE ${QUORVEL_FUZZ_FLAGS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  # New inputs go to a scratch folder in the build tree, never to the seeds.
  set(scratch ${CMAKE_BINARY_DIR}/fuzz-corpus/${target})
  file(MAKE_DIRECTORY ${scratch})
  set(max_len ${QUORVEL_FUZZ_MAX_LEN_${target}})
  if(NOT max_len)
    set(max_len 65536)
  endif()
  add_test(NAME ${target}
    COMMAND ${target} -runs=${QUORVEL_FUZZ_RUNS_${target}} -max_len=${max_len} -timeout=20
            ${scratch} ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${target})
endforeach()

# The judges (the tests' reference decoder, the bitwise CRC) run under the
# sanitizers but give the fuzzer no coverage to chase: it is the engine's
# paths that new inputs should open, and tracing the judges' loops would take
# most of the time.
set(QUORVEL_FUZZ_PLAIN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -g)
add_library(quorvel_judges_fuzz STATIC ${QUORVEL_REFERENCE_DECODER_SOURCES} ${QUORVEL_LZH_TEST_DATA_SOURCES})
target_include_directories(quorvel_judges_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_options(quorvel_judges_fuzz PRIVATE ${QUORVEL_FUZZ_PLAIN_FLAGS})
target_link_libraries(diff_decode_fuzz PRIVATE quorvel_judges_fuzz PkgConfig::LHASA)
# The encoder under the sanitizers and with coverage, but without tracing its
# comparisons: its match search compares bytes in its innermost loops, and
# the input is plain data that the fuzzer need not learn words for. (With
# the tracing it runs about 20 times slower than natively.)
add_library(quorvel_encoder_fuzz STATIC ${QUORVEL_ENCODER_SOURCES})
target_include_directories(quorvel_encoder_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(quorvel_encoder_fuzz PRIVATE ${QUORVEL_FUZZ_PLAIN_FLAGS}
                       -fsanitize-coverage=inline-8bit-counters,pc-table)
target_link_libraries(diff_encode_fuzz PRIVATE quorvel_encoder_fuzz PkgConfig::LHASA Threads::Threads)

# The packer's decoders of the older methods against lhasa's: the decoders
# under the sanitizers and with coverage, lhasa as the judge.
add_library(quorvel_legacy_fuzz STATIC ${QUORVEL_LEGACY_SOURCES})
target_include_directories(quorvel_legacy_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(quorvel_legacy_fuzz PRIVATE ${QUORVEL_FUZZ_PLAIN_FLAGS}
                       -fsanitize-coverage=inline-8bit-counters,pc-table)
target_link_libraries(legacy_diff_fuzz PRIVATE quorvel_legacy_fuzz PkgConfig::LHASA)

# The packer's reader of header levels 0, 1 and 3 against lhasa's.
target_sources(levels_diff_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src/pack/header_levels.cpp)
target_link_libraries(levels_diff_fuzz PRIVATE PkgConfig::LHASA)
