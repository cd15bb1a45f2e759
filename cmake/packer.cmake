# The packer: ordinary C++ over the core's format code, for Linux and Windows.
# Everything in src/pack but its entry and the build tools forms a library that
# the tests link as well.
file(GLOB QUORVEL_PACK_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/pack/*.cpp)
list(FILTER QUORVEL_PACK_SOURCES EXCLUDE REGEX "/(tool_[^/]*|main\\.cpp)$")
add_library(quorvel_pack STATIC ${QUORVEL_PACK_SOURCES})
target_link_libraries(quorvel_pack PUBLIC quorvel_core)
