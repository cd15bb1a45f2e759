// A program that the auto-run tests start through the shell: it leaves
// "mark.txt" in its working directory, holding that directory and the
// parameters it was given, so a test can tell that, where and how it ran.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR parameters, int) {
  char directory[MAX_PATH];
  const DWORD n = GetCurrentDirectoryA(sizeof directory, directory);
  if (n == 0 || n >= sizeof directory) return 1;
  HANDLE file = CreateFileA("mark.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written;
  WriteFile(file, directory, n, &written, nullptr);
  WriteFile(file, "|", 1, &written, nullptr);
  WriteFile(file, parameters, lstrlenA(parameters), &written, nullptr);
  CloseHandle(file);
  return 0;
}
