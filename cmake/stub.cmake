# The stub: a small Windows GUI program. Linked by GNU ld, then re-laid by our
# own tool so that the file starts with the MS-DOS header, header area and
# 16-bit program that the self-extracting format needs.

file(GLOB QUORVEL_SHELL_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/common/win_*.cpp ${PROJECT_SOURCE_DIR}/src/archive/win_*.cpp
  ${PROJECT_SOURCE_DIR}/src/paths/win_*.cpp ${PROJECT_SOURCE_DIR}/src/ui/win_*.cpp
  ${PROJECT_SOURCE_DIR}/src/app/win_*.cpp)
set(QUORVEL_ENTRY_SOURCE ${PROJECT_SOURCE_DIR}/src/app/win_main.cpp)
list(REMOVE_ITEM QUORVEL_SHELL_SOURCES ${QUORVEL_ENTRY_SOURCE})
set(QUORVEL_RESOURCES ${PROJECT_SOURCE_DIR}/src/ui/resources.rc)

set(QUORVEL_STUB_FLAGS -Os -fno-exceptions -fno-rtti -ffunction-sections ${QUORVEL_UNWIND_FLAGS})
add_library(quorvel_shell STATIC ${QUORVEL_SHELL_SOURCES})
target_link_libraries(quorvel_shell PUBLIC quorvel_core)
target_compile_options(quorvel_shell PRIVATE ${QUORVEL_STUB_FLAGS})
target_compile_definitions(quorvel_shell PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400)

# The post-link tool runs on the build machine, so it is built with the host compiler.
set(QUORVEL_RELAYOUT ${CMAKE_BINARY_DIR}/pe-relayout)
add_custom_command(OUTPUT ${QUORVEL_RELAYOUT}
  COMMAND c++ -std=c++17 -O2 -Wall -Wextra -I${PROJECT_SOURCE_DIR}/src -o ${QUORVEL_RELAYOUT}
          ${PROJECT_SOURCE_DIR}/tools/pe_relayout.cpp ${PROJECT_SOURCE_DIR}/src/pack/pe_image.cpp
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/pe_relayout.cpp ${PROJECT_SOURCE_DIR}/src/pack/pe_image.cpp
          ${PROJECT_SOURCE_DIR}/src/pack/pe_image.h ${PROJECT_SOURCE_DIR}/src/common/exe_layout.h
  COMMENT "Building the PE re-layout tool")
add_custom_target(pe_relayout_tool DEPENDS ${QUORVEL_RELAYOUT})

# Our own entry point and no C runtime at all: neither its start-up files nor
# msvcrt.dll, which NT 3.51 and early Windows 95 lack. The entry source brings
# the few routines the compiler calls; libgcc the arithmetic helpers. The i686
# symbol carries the cdecl underscore.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(QUORVEL_ENTRY_SYMBOL _StubEntry)
  # The oldest systems the 32-bit stub runs on: Windows NT 3.51 loads only
  # images that ask for Windows 3.10 at most. (The 64-bit stub keeps the
  # linker's minimums.)
  set(QUORVEL_STUB_MINIMUM_SYSTEM -Wl,--major-subsystem-version,3 -Wl,--minor-subsystem-version,10
    -Wl,--major-os-version,3 -Wl,--minor-os-version,10)
else()
  set(QUORVEL_ENTRY_SYMBOL StubEntry)
  set(QUORVEL_STUB_MINIMUM_SYSTEM)
endif()
add_executable(quorvel-sfx WIN32 ${QUORVEL_ENTRY_SOURCE} ${QUORVEL_RESOURCES})
target_link_libraries(quorvel-sfx PRIVATE quorvel_shell quorvel_core
  comdlg32 ole32 shell32 advapi32 gdi32 user32 kernel32 gcc)
target_compile_options(quorvel-sfx PRIVATE ${QUORVEL_STUB_FLAGS})
target_link_options(quorvel-sfx PRIVATE -static -s -nostdlib -Wl,-e,${QUORVEL_ENTRY_SYMBOL}
  -Wl,--gc-sections -Wl,--no-insert-timestamp ${QUORVEL_STUB_MINIMUM_SYSTEM})
set_target_properties(quorvel-sfx PROPERTIES OUTPUT_NAME quorvel-sfx.linked
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(quorvel-sfx pe_relayout_tool)
add_custom_command(TARGET quorvel-sfx POST_BUILD
  COMMAND ${QUORVEL_RELAYOUT} $<TARGET_FILE:quorvel-sfx> ${CMAKE_BINARY_DIR}/quorvel-sfx.exe
  COMMAND ${CMAKE_COMMAND} -E echo "quorvel-sfx (${CMAKE_SYSTEM_PROCESSOR}):"
  COMMAND stat -c "  %n %s bytes" ${CMAKE_BINARY_DIR}/quorvel-sfx.exe
  VERBATIM)
