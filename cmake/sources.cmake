# Every source file is named once, in the sources.cmake of its own folder,
# which adds it by name to one of these lists (QUORVEL_<LIST>_SOURCES):
#   CORE           bytes only, no <windows.h>: every tree (quorvel_core)
#   SHELL          the stub's Win32 side (quorvel_shell)
#   STUB_ENTRY     the stub's entry point
#   STUB_RESOURCES the stub's resource script
#   PACK           the packer's library (quorvel_pack), with ENCODER, its
#                  compressor (which a fuzz target builds by itself), and
#                  PE_IMAGE, the PE reader (which the build's re-layout uses)
#   PACK_COMMANDS  the packer's commands and its entry
#   LEGACY         the decoders of the older methods, the packer's alone
# The stub, the packer, every test program and the fuzz targets take their
# files from these lists (and from tests/sources.cmake): a new file joins a
# program where its folder's list names it.
function(quorvel_sources list)
  list(TRANSFORM ARGN PREPEND ${CMAKE_CURRENT_LIST_DIR}/ OUTPUT_VARIABLE files)
  set(QUORVEL_${list}_SOURCES ${QUORVEL_${list}_SOURCES} ${files} PARENT_SCOPE)
endfunction()

# The folders in the order their files are linked (the stub's layout follows it).
foreach(folder archive common paths ui app legacy pack)
  include(${CMAKE_CURRENT_LIST_DIR}/../src/${folder}/sources.cmake)
endforeach()
