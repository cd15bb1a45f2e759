// Which folder chooser opens: the shell's browser where shell32 exports its
// functions, the old-style open dialog where the module lacks them, as NT
// 3.51's shell32 does. Each chooser is cancelled as soon as it is active.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/win_services.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"
#include "win_child_process.h"
#include "win_sys_text.h"

namespace {
constexpr int kOldFolderList = 1121;

struct Seen {
  bool opened = false;
  bool oldStyleList = false;
  std::string caption;
};
Seen seen;
HHOOK hook;

LRESULT CALLBACK NoteAndCancel(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && !seen.opened) {
    HWND chooser = reinterpret_cast<HWND>(wParam);
    char caption[256] = "";
    GetWindowTextA(chooser, caption, sizeof caption);
    seen.opened = true;
    seen.oldStyleList = GetDlgItem(chooser, kOldFolderList) != nullptr;
    seen.caption = caption;
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

Seen ChooseAndCancel(HMODULE shell) {
  seen = Seen{};
  AppInstance = GetModuleHandleA(nullptr);
  SysChar path[MAX_PATH] = SYS_TEXT("C:\\windows");
  hook = SetWindowsHookExA(WH_CBT, NoteAndCancel, nullptr, GetCurrentThreadId());
  EXPECT_EQ(ChooseFolderWith(shell, nullptr, path), 0);
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(FromSys(path), "C:\\windows") << "a cancelled chooser keeps the folder";
  return seen;
}
}  // namespace

TEST(ChooseFolder, AShellWithoutTheBrowserGetsTheOldStyleDialog) {
  const Seen s = ChooseAndCancel(GetModuleHandleA("kernel32.dll"));
  ASSERT_TRUE(s.opened);
  EXPECT_TRUE(s.oldStyleList);
  EXPECT_EQ(s.caption, TableText(IDS_BROWSE_DIRECTORY));
}

TEST(ChooseFolder, Shell32GivesTheShellBrowser) {
  const Seen s = ChooseAndCancel(GetModuleHandleA("shell32.dll"));
  ASSERT_TRUE(s.opened);
  EXPECT_FALSE(s.oldStyleList);
}
