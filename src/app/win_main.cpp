// The graphical entry of the stub.
#include <windows.h>

#include "app/sfx_config.h"
#include "app/win_startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The runtime's own command-line split does not step over double-byte
  // characters inside a quoted program name; take the text after the name here.
  return RunStartup(instance, CommandLineTail(GetCommandLineA()));
}
