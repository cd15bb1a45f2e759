// Takes the README's pictures of the stub's dialogs (notice, main, options,
// overwrite), each cropped to its window with frame and title bar. Run inside
// Wine's virtual desktop, which draws the frames (scripts/screenshots.sh).
//   readme_pictures SFX.exe DESTINATION PICTURE-DIR
// DESTINATION is the folder that SFX.exe offers; a file that the archive
// holds is put there first, so that the stub asks before overwriting it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "win_child_process.h"
#include "ui/resource_ids.h"
#include "win_e2e_support.h"

namespace {
constexpr DWORD kWaitMs = 30000;
// Time for a window that just appeared to finish painting.
constexpr DWORD kPaintMs = 500;
constexpr char kConflictingMember[] = "readme.txt";

bool Picture(const std::string& folder, const char* name, const SeenWindow& window) {
  Sleep(kPaintMs);
  SaveScreenshotTo(folder, name, window.window);
  std::printf("%s\n", name);
  return true;
}

bool Fail(const char* what) {
  std::fprintf(stderr, "readme_pictures: %s did not appear\n", what);
  return false;
}

bool TakePictures(ChildProcess& stub, const std::string& folder) {
  SeenWindow window;
  if (!stub.WaitForWindow(window, kWaitMs, IDYES, IDNO)) return Fail("the notice");
  Picture(folder, "notice", window);
  ChildProcess::Press(window.window, IDYES);
  SeenWindow main;
  if (!stub.WaitForWindow(main, kWaitMs, IDC_FOLDER_EDIT)) return Fail("the main dialog");
  Picture(folder, "main", main);
  ChildProcess::Press(main.window, IDC_OPTIONS);
  if (!stub.WaitForWindow(window, kWaitMs, IDC_OPT_SUPPRESS_FOLDERS)) return Fail("the options");
  Picture(folder, "options", window);
  ChildProcess::Press(window.window, IDCANCEL);
  WaitGone(window.window);
  ChildProcess::Press(main.window, IDOK);
  if (!stub.WaitForWindow(window, kWaitMs, IDC_OVERWRITE_ALL, IDYES)) return Fail("the overwrite question");
  Picture(folder, "overwrite", window);
  ChildProcess::Press(window.window, IDYES);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: readme_pictures SFX.exe DESTINATION PICTURE-DIR\n");
    return 2;
  }
  const std::string destination = argv[2];
  CreateDirectoryA(destination.c_str(), nullptr);
  WriteWholeFile(destination + "\\" + kConflictingMember, "an older copy\r\n");
  UseJapaneseFont();
  ChildProcess stub;
  if (!stub.Start(Quoted(argv[1]))) return 1;
  const bool taken = TakePictures(stub, argv[3]);
  const int code = stub.WaitForExit(60000);
  // The demo's program, started after the extraction, greets; close it.
  for (int i = 0; taken && i < 200; ++i) {
    if (HWND greeting = FindWindowA(nullptr, "Quorvel demo")) {
      PostMessageA(greeting, WM_COMMAND, IDOK, 0);
      break;
    }
    Sleep(50);
  }
  return taken && code == 1 ? 0 : 1;
}
