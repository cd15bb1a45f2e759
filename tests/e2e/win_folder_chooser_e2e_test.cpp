// The browse button under both variants of the folder chooser, and pictures
// of every dialog for a person to look at.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win_child_process.h"
#include "ui/resource_ids.h"
#include "win_e2e_support.h"

namespace {
constexpr int kOldFolderList = 1121;

// Runs the stub under a name of its own, which Wine can make see NT 3.51.
std::string AsOldWindows(const std::string& exe) {
  const std::string copy = exe.substr(0, exe.size() - 4) + "-nt351.exe";
  CopyFileA(exe.c_str(), copy.c_str(), FALSE);
  const std::string name = copy.substr(copy.rfind('\\') + 1);
  HKEY key;
  const std::string path = "Software\\Wine\\AppDefaults\\" + name;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("nt351"), 6);
    RegCloseKey(key);
  }
  return copy;
}

class FolderChooser : public EndToEnd, public ::testing::WithParamInterface<bool> {};

TEST_P(FolderChooser, OkTakesTheShownFolderAndCancelKeepsTheEdit) {
  const bool oldStyle = GetParam();
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({}));
  if (oldStyle) exe_ = AsOldWindows(exe_);
  const std::string chosen = dest_ + "\\with blank";
  CreateDirectoryA(chosen.c_str(), nullptr);

  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  // Cancel: the edit keeps its text.
  ChildProcess::SetControlText(main.window, IDC_FOLDER_EDIT, chosen);
  ChildProcess::Press(main.window, IDC_BROWSE);
  SeenWindow chooser;
  ASSERT_TRUE(stub.WaitForWindow(chooser, 20000, IDCANCEL, 0, IDC_FOLDER_EDIT));
  if (oldStyle) {
    EXPECT_TRUE(GetDlgItem(chooser.window, kOldFolderList));
    EXPECT_EQ(chooser.caption, Text(IDS_BROWSE_DIRECTORY));
  } else {
    EXPECT_FALSE(GetDlgItem(chooser.window, kOldFolderList));
  }
  Sleep(1000);  // let the chooser fill its folder list before the picture
  SaveScreenshot(oldStyle ? "folder-chooser-old" : "folder-chooser-shell");
  ChildProcess::Press(chooser.window, IDCANCEL);
  WaitGone(chooser.window);
  EXPECT_EQ(ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT), chosen);

  // OK on the preselected folder: it comes back, quoted for its blank.
  ChildProcess::Press(main.window, IDC_BROWSE);
  ASSERT_TRUE(stub.WaitForWindow(chooser, 20000, IDCANCEL, 0, IDC_FOLDER_EDIT));
  SendMessageA(GetDlgItem(chooser.window, IDOK), BM_CLICK, 0, 0);
  WaitGone(chooser.window);
  for (int i = 0; i < 100 && ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT) == chosen; ++i)
    Sleep(50);
  EXPECT_EQ(ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT), Quoted(chosen));
  ChildProcess::Press(main.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, FolderChooser, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "OldStyle" : "ShellBrowser"; });

// The colour on the screen just inside the bottom right corner of a control's
// client area, below and after any text.
COLORREF ColourInside(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  POINT corner{client.right - 2, client.bottom - 2};
  ClientToScreen(control, &corner);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, corner.x, corner.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

// Pictures of each dialog, for the screenshots target; also checks that each
// one can be reached.
TEST_F(EndToEnd, ScreenshotsOfEveryDialog) {
  WriteSource("big.bin", Random(16 << 20), kStamp);
  WriteSource("a.txt", "a", kStamp);
  WriteFileAt(work_ + "\\notice.txt", "このアーカイブを展開しますか?");
  ASSERT_TRUE(Pack({"--method", "lh0", "--notice", work_ + "\\notice.txt", "--run", "setup.exe /s"}));
  WriteFileAt(dest_ + "\\a.txt", "old");
  ChildProcess stub;
  ASSERT_TRUE(stub.Start(Quoted(exe_)));
  SeenWindow box;
  ASSERT_TRUE(stub.WaitForWindow(box, 20000, IDYES, IDNO));
  SaveScreenshot("notice");
  ChildProcess::Press(box.window, IDYES);
  SeenWindow main;
  ASSERT_TRUE(stub.WaitForWindow(main, 20000, IDC_FOLDER_EDIT));
  SaveScreenshot("main-idle");
  ChildProcess::Press(main.window, IDC_OPTIONS);
  SeenWindow options;
  ASSERT_TRUE(stub.WaitForWindow(options, 20000, IDC_OPT_SUPPRESS_FOLDERS));
  SaveScreenshot("options");
  ChildProcess::Press(options.window, IDCANCEL);
  WaitGone(options.window);
  ChildProcess::SetControlText(main.window, IDC_FOLDER_EDIT, "relative");
  ChildProcess::Press(main.window, IDOK);
  ASSERT_TRUE(stub.WaitForWindow(box, 20000, 0, 0, IDC_FOLDER_EDIT));
  SaveScreenshot("error-box");
  ChildProcess::Press(box.window, IDOK);
  WaitGone(box.window);
  ExtractInto(main.window);
  SeenWindow question;
  ASSERT_TRUE(stub.WaitForWindow(question, 20000, IDC_OVERWRITE_ALL, IDYES));
  SaveScreenshot("overwrite");
  ChildProcess::Press(question.window, IDYES);
  for (int i = 0; i < 400 && FileSize(dest_ + "\\big.bin") < (4u << 20) && stub.Running(); ++i) Sleep(5);
  // The disabled folder edit has the dialog's colour, as Windows 95 and NT 4.0
  // paint it in a program marked for 4.0 or later; the 32-bit stub, marked
  // for 3.10, must look the same.
  EXPECT_EQ(ColourInside(GetDlgItem(main.window, IDC_FOLDER_EDIT)), GetSysColor(COLOR_3DFACE));
  SaveScreenshot("main-extracting");
  ChildProcess::Press(main.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 1);
}
}  // namespace
