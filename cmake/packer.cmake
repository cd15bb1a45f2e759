# The packer: ordinary C++ over the core's format code, for Linux and Windows.
# Its library (everything in src/pack but the entry and the commands) is
# linked by the tests as well; main.cpp names the commands in one table.
# The i686 tree builds the stub only.
if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  return()
endif()
add_library(quorvel_pack STATIC ${QUORVEL_PACK_SOURCES} ${QUORVEL_ENCODER_SOURCES} ${QUORVEL_PE_IMAGE_SOURCES})
target_link_libraries(quorvel_pack PUBLIC quorvel_core)
# JSON output through nlohmann/json, header-only from Debian (nlohmann-json3-dev).
# The mingw trees search their own sysroot only, so every tree gets a folder
# that holds that one header tree and nothing else of /usr/include.
find_path(QUORVEL_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
  NO_CMAKE_FIND_ROOT_PATH)
if(NOT QUORVEL_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp is missing: run scripts/setup.sh (nlohmann-json3-dev)")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/json-include)
file(CREATE_LINK ${QUORVEL_JSON_INCLUDE}/nlohmann ${CMAKE_BINARY_DIR}/json-include/nlohmann SYMBOLIC)
target_include_directories(quorvel_pack SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/json-include)
# --version shows the project's version; it is written down only in project().
set_property(SOURCE ${PROJECT_SOURCE_DIR}/src/pack/command_line.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS QUORVEL_VERSION="${PROJECT_VERSION}")

# Decoders of the older methods (src/legacy): the packer's alone, never the stub's.
add_library(quorvel_legacy STATIC ${QUORVEL_LEGACY_SOURCES})
target_include_directories(quorvel_legacy PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quorvel_pack PUBLIC quorvel_legacy)

add_executable(quorvel-pack ${QUORVEL_PACK_COMMANDS_SOURCES})
target_link_libraries(quorvel-pack PRIVATE quorvel_pack)
set_target_properties(quorvel-pack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(QUORVEL_WINDOWS)
  # The packer reads its arguments from the wide command line on Windows.
  target_link_options(quorvel-pack PRIVATE -static)
  target_link_libraries(quorvel-pack PRIVATE shell32)
else()
  # The installed Linux program has its relocations resolved at start and
  # then made read-only, as Debian builds its programs.
  target_link_options(quorvel-pack PRIVATE -Wl,-z,relro,-z,now)
endif()
