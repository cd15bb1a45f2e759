// The graphical entry of the stub. The program brings its own entry point
// instead of the C runtime's start-up code, which would add about 10 KB of
// things it never uses (argument vectors, TLS callbacks, relocation fix-ups).
#include <windows.h>

#include <stdlib.h>

#include "app/win_startup.h"
#include "common/sfx_config.h"

// Windows calls the entry point with the stack aligned for its own ABI only.
extern "C" __attribute__((force_align_arg_pointer)) void __cdecl StubEntry() {
  // The runtime's own command-line split does not step over double-byte
  // characters inside a quoted program name; take the text after the name here.
  const int code = RunStartup(GetModuleHandleA(nullptr), CommandLineTail(GetCommandLineA()));
  exit(code);
}
