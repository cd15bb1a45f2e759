// Runs the demo without a person: answers the notice, presses Extract, closes
// the demo program's greeting, and saves a picture of each step.
//   demo_driver SFX.exe DESTINATION SCREENSHOT-DIR
#include <windows.h>

#include <cstdio>
#include <string>

#include "win_child_process.h"
#include "ui/resource_ids.h"
#include "win_e2e_support.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: demo_driver SFX.exe DESTINATION SCREENSHOT-DIR\n");
    return 2;
  }
  const std::string shots = argv[3];
  UseJapaneseFont();
  ChildProcess stub;
  if (!stub.Start(Quoted(argv[1]) + " " + argv[2])) return 1;
  SeenWindow window;
  if (stub.WaitForWindow(window, 30000, IDYES, IDNO)) {
    std::printf("notice: %s\n", window.staticTexts.empty() ? "" : window.staticTexts.back().c_str());
    SaveScreenshotTo(shots, "demo-notice");
    ChildProcess::Press(window.window, IDYES);
  }
  if (!stub.WaitForWindow(window, 30000, IDC_FOLDER_EDIT)) return 1;
  std::printf("main dialog: %s, folder %s\n", window.caption.c_str(),
              ChildProcess::ControlText(window.window, IDC_FOLDER_EDIT).c_str());
  SaveScreenshotTo(shots, "demo-main");
  ChildProcess::Press(window.window, IDOK);
  const int code = stub.WaitForExit(60000);
  std::printf("exit code: %d\n", code);
  // The auto-run program greets from the destination folder.
  for (int i = 0; i < 200; ++i) {
    if (HWND hello = FindWindowA(nullptr, "Quorvel demo")) {
      Sleep(300);
      SaveScreenshotTo(shots, "demo-autorun");
      PostMessageA(hello, WM_COMMAND, IDOK, 0);
      std::printf("auto-run program started\n");
      break;
    }
    Sleep(50);
  }
  return code == 1 ? 0 : 1;
}
