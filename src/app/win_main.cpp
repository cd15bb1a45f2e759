// The graphical entry of the stub. The program brings its own entry point
// instead of the C runtime's start-up code, which would add about 10 KB of
// things it never uses (argument vectors, TLS callbacks, relocation fix-ups),
// and it links no C runtime at all: msvcrt.dll is missing on NT 3.51 and on
// early Windows 95. What little of one the code calls is here.
#include <windows.h>

#include <cstddef>

#include "app/win_startup.h"
#include "common/sfx_config.h"

// The compiler may turn a copy or a fill into these calls, and the core calls
// strlen; without a runtime the stub defines them itself. Each stays a
// plain string instruction, so that the compiler cannot see the loop and
// turn it back into a call of the routine itself.
extern "C" {
void* memcpy(void* destination, const void* source, std::size_t count) {
  void* d = destination;
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(count) : : "memory");
  return destination;
}

void* memset(void* destination, int value, std::size_t count) {
  void* d = destination;
  __asm__ volatile("rep stosb" : "+D"(d), "+c"(count) : "a"(value) : "memory");
  return destination;
}

std::size_t strlen(const char* text) { return static_cast<std::size_t>(lstrlenA(text)); }
}

// Windows calls the entry point with the stack aligned for its own ABI only.
extern "C" __attribute__((force_align_arg_pointer)) void __cdecl StubEntry() {
  // The runtime's own command-line split does not step over double-byte
  // characters inside a quoted program name; take the text after the name here.
  InstallSystemLeadByteTest();
  const int code = RunStartup(GetModuleHandleA(nullptr), CommandLineTail(SYS_API(GetCommandLine)()));
  ExitProcess(static_cast<UINT>(code));
}
