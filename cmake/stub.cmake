# The stub: a small Windows GUI program. Linked by GNU ld, then re-laid by our
# own tool so that the file starts with the MS-DOS header, header area and
# 16-bit program that the self-extracting format needs.

# The shell's functions are nearly all in use, and in sections of their own
# the assembler pads each to 16 bytes on x86-64: the 64-bit stub builds the
# shell in one section a file. (On i686 the padding is 4 bytes, less than
# the code the linker could then no longer drop.)
set(QUORVEL_STUB_FLAGS -Oz -fno-exceptions -fno-rtti ${QUORVEL_I686_SIZE_FLAGS})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  list(APPEND QUORVEL_STUB_FLAGS -ffunction-sections)
endif()
add_library(quorvel_shell STATIC ${QUORVEL_SHELL_SOURCES})
target_link_libraries(quorvel_shell PUBLIC quorvel_core)
target_compile_options(quorvel_shell PRIVATE ${QUORVEL_STUB_FLAGS})
target_compile_definitions(quorvel_shell PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400)

# The post-link re-layout and the checks of the stub it lays out run on the
# build machine: a project of their own (tools/host) built with the host's
# compiler, every time this tree builds.
include(ExternalProject)
set(QUORVEL_HOST_DIR ${CMAKE_BINARY_DIR}/host)
set(QUORVEL_RELAYOUT ${QUORVEL_HOST_DIR}/pe-relayout)
ExternalProject_Add(host_programs
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/host
  BINARY_DIR ${QUORVEL_HOST_DIR}
  # Its stamps live in its own folder, so that removing the folder builds it anew.
  PREFIX ${QUORVEL_HOST_DIR}/prefix
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=c++
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${QUORVEL_RELAYOUT} ${QUORVEL_HOST_DIR}/stub_checks)

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
add_executable(quorvel-sfx WIN32 ${QUORVEL_STUB_ENTRY_SOURCES} ${QUORVEL_STUB_RESOURCES_SOURCES})
target_link_libraries(quorvel-sfx PRIVATE quorvel_shell quorvel_core
  comdlg32 ole32 shell32 advapi32 gdi32 user32 kernel32 gcc)
target_compile_options(quorvel-sfx PRIVATE ${QUORVEL_STUB_FLAGS})
target_link_options(quorvel-sfx PRIVATE -static -s -nostdlib -Wl,-e,${QUORVEL_ENTRY_SYMBOL}
  -Wl,--gc-sections -Wl,--no-insert-timestamp ${QUORVEL_STUB_MINIMUM_SYSTEM})
set_target_properties(quorvel-sfx PROPERTIES OUTPUT_NAME quorvel-sfx.linked
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# Linked through our own script: the read-only data in one section that is
# not writable, and the 64-bit stub without the code that nothing calls
# (cmake/stub_link.py says why the default script keeps it).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set_property(TARGET quorvel-sfx PROPERTY RULE_LAUNCH_LINK
  "${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/stub_link.py ${CMAKE_BINARY_DIR}/stub-link")
set_property(TARGET quorvel-sfx APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/stub_link.py)
add_dependencies(quorvel-sfx host_programs)
add_custom_command(TARGET quorvel-sfx POST_BUILD
  COMMAND ${QUORVEL_RELAYOUT} $<TARGET_FILE:quorvel-sfx> ${CMAKE_BINARY_DIR}/quorvel-sfx.exe
  COMMAND ${CMAKE_COMMAND} -E echo "quorvel-sfx (${CMAKE_SYSTEM_PROCESSOR}):"
  COMMAND stat -c "  %n %s bytes" ${CMAKE_BINARY_DIR}/quorvel-sfx.exe
  VERBATIM)
