// The demo's packaged program: the self-extracting file starts it after
// extraction, in the folder it was extracted to.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char folder[MAX_PATH];
  char text[MAX_PATH + 128];
  GetCurrentDirectoryA(sizeof folder, folder);
  wsprintfA(text, "Hello from the Quorvel demo.\n\nExtracted and started in:\n%s", folder);
  MessageBoxA(nullptr, text, "Quorvel demo", MB_ICONINFORMATION);
  return 0;
}
