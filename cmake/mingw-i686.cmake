# Cross-compiling for 32-bit Windows with mingw-w64. 32-bit Wine does not run on
# these machines, so nothing of this tree is executed: it is built and inspected.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORVEL_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
