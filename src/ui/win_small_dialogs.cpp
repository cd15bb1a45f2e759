// The options dialog, which changes the four options for this run, and the
// question asked before an existing file is overwritten.
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/win_services.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"

namespace {
const char* overwritePath;  // set before the dialog opens

void InitOptions(HWND dialog) {
  const std::uint32_t flags = ConfigFlags(Config);
  CheckDlgButton(dialog, IDC_OPT_RESTORE_ATTRIBUTES, (flags & kFlagRestoreAttributes) ? 1 : 0);
  CheckDlgButton(dialog, IDC_OPT_OVERWRITE, (flags & kFlagOverwriteWithoutAsking) ? 1 : 0);
  CheckDlgButton(dialog, IDC_OPT_SUPPRESS_FOLDERS, RunState.suppressFolders ? 1 : 0);
  if (Config.autoRunCommand[0]) {
    CheckDlgButton(dialog, IDC_OPT_AUTORUN, RunState.autoRun ? 1 : 0);
    // The format and the command (at most 259 bytes) fit the line's buffer.
    char format[20];
    char line[280];
    LoadStringA(AppInstance, IDS_COMMAND, format, sizeof format);
    wsprintfA(line, format, Config.autoRunCommand);
    SetDlgItemTextA(dialog, IDC_OPT_COMMAND, line);
  } else {
    EnableWindow(GetDlgItem(dialog, IDC_OPT_AUTORUN), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_OPT_COMMAND), FALSE);
  }
}

void StoreOptions(HWND dialog) {
  std::uint32_t flags = 0;
  if (IsDlgButtonChecked(dialog, IDC_OPT_RESTORE_ATTRIBUTES) == BST_CHECKED)
    flags |= kFlagRestoreAttributes;
  if (IsDlgButtonChecked(dialog, IDC_OPT_OVERWRITE) == BST_CHECKED)
    flags |= kFlagOverwriteWithoutAsking;
  SetConfigFlags(Config, flags);
  RunState.autoRun = IsDlgButtonChecked(dialog, IDC_OPT_AUTORUN) == BST_CHECKED;
  RunState.suppressFolders = IsDlgButtonChecked(dialog, IDC_OPT_SUPPRESS_FOLDERS) == BST_CHECKED;
}
}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      InitOptions(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          StoreOptions(dialog);
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 1);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, Config.title);
      SetDlgItemTextA(dialog, IDC_OVERWRITE_PATH, overwritePath);
      SendDlgItemMessageA(dialog, IDC_OVERWRITE_ICON, STM_SETICON,
                          reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_QUESTION)), 0);
      CentreOnScreen(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDYES:
        case IDNO:
        case IDCANCEL:
        case IDC_OVERWRITE_ALL:
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
      }
      break;
  }
  return FALSE;
}

void CentreOnScreen(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  MoveWindow(window, x, y, width, height, FALSE);
}

int RunOverwriteDialog(HWND owner, const char* path) {
  overwritePath = path;
  return static_cast<int>(
      DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_OVERWRITE), owner, OverwriteDialogProc, 0));
}
