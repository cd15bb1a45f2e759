// Runs a self-extracting file without a person and reports what its progress
// bar shows: presses Extract, reads the bar's position a few times a second
// until the program ends, and prints every new position with the time it was
// seen. Message boxes (a failure) are printed and closed.
//   progress_driver SFX.exe DESTINATION
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "win_child_process.h"
#include "ui/resource_ids.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: progress_driver SFX.exe DESTINATION\n");
    return 2;
  }
  ChildProcess stub;
  if (!stub.Start("\"" + std::string(argv[1]) + "\" " + argv[2])) return 1;
  SeenWindow main;
  if (!stub.WaitForWindow(main, 60000, IDC_FOLDER_EDIT)) {
    std::printf("no main dialog\n");
    return 1;
  }
  std::printf("main dialog: folder %s\n", ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT).c_str());
  const DWORD started = GetTickCount();
  ChildProcess::Press(main.window, IDOK);
  const HWND bar = GetDlgItem(main.window, IDC_PROGRESS);
  long shown = -1;
  while (stub.Running()) {
    DWORD_PTR position = 0;
    // The stub answers between its pieces of output; a busy one makes this wait.
    if (SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position) &&
        static_cast<long>(position) != shown) {
      shown = static_cast<long>(position);
      std::printf("progress %3ld%% at %6.1f s\n", shown, (GetTickCount() - started) / 1000.0);
      std::fflush(stdout);
    }
    SeenWindow box;
    if (stub.WaitForWindow(box, 0, 0, 0, IDC_FOLDER_EDIT)) {
      std::printf("message box: %s\n", box.staticTexts.empty() ? "" : box.staticTexts.back().c_str());
      ChildProcess::Press(box.window, IDOK);
    }
    Sleep(100);
  }
  const int code = stub.WaitForExit(1000);
  std::printf("exit code %d after %.1f s\n", code, (GetTickCount() - started) / 1000.0);
  return code == 1 ? 0 : 1;
}
