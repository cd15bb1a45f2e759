// The options dialog, which changes the four options for this run, and the
// question asked before an existing file is overwritten.
#include "common/win_services.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"

static_assert(IDS_ENGLISH == kEnglishIdOffset && IDD_ENGLISH == kEnglishIdOffset,
              "the resource script places the English resources where the program looks");

namespace {
constexpr UINT kQuestionIcon = 32514;  // IDI_QUESTION

// What the options dialog shows and changes: the dialog's own data.
struct OptionsQuestion {
  RunOptions* options;
  const SysChar* command;
};

// What the overwrite question shows.
struct OverwriteQuestion {
  const SysChar* title;
  const SysChar* path;
};

void Check(HWND dialog, int id, bool checked) { CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED); }

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void InitOptions(HWND dialog, const OptionsQuestion& question) {
  const RunOptions& options = *question.options;
  Check(dialog, IDC_OPT_RESTORE_ATTRIBUTES, options.restoreAttributes);
  Check(dialog, IDC_OPT_OVERWRITE, options.overwriteWithoutAsking);
  Check(dialog, IDC_OPT_SUPPRESS_FOLDERS, options.suppressFolders);
  if (question.command[0]) {
    Check(dialog, IDC_OPT_AUTORUN, options.autoRun);
    // The format and the command (at most 259 units) fit the line's buffer.
    SysChar format[20];
    SysChar line[280];
    SYS_API(wsprintf)(line, LoadText(IDS_COMMAND, format, UnitsOf(format)), question.command);
    SYS_API(SetDlgItemText)(dialog, IDC_OPT_COMMAND, line);
  } else {
    EnableWindow(GetDlgItem(dialog, IDC_OPT_AUTORUN), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_OPT_COMMAND), FALSE);
  }
}

void StoreOptions(HWND dialog, RunOptions& options) {
  options.restoreAttributes = Checked(dialog, IDC_OPT_RESTORE_ATTRIBUTES);
  options.overwriteWithoutAsking = Checked(dialog, IDC_OPT_OVERWRITE);
  // A greyed box reads as unchecked.
  options.autoRun = Checked(dialog, IDC_OPT_AUTORUN);
  options.suppressFolders = Checked(dialog, IDC_OPT_SUPPRESS_FOLDERS);
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SYS_API(SetWindowLongPtr)(dialog, DWLP_USER, lParam);
      InitOptions(dialog, *reinterpret_cast<const OptionsQuestion*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          // The question that WM_INITDIALOG kept.
          StoreOptions(dialog,
                       *reinterpret_cast<OptionsQuestion*>(SYS_API(GetWindowLongPtr)(dialog, DWLP_USER))->options);
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

INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto& question = *reinterpret_cast<const OverwriteQuestion*>(lParam);
      SYS_API(SetWindowText)(dialog, question.title);
      SYS_API(SetDlgItemText)(dialog, IDC_OVERWRITE_PATH, question.path);
      SYS_API(SendDlgItemMessage)(dialog, IDC_OVERWRITE_ICON, STM_SETICON,
                                  reinterpret_cast<WPARAM>(SYS_API(LoadIcon)(nullptr, SysResourceId(kQuestionIcon))), 0);
      CentreOnScreen(dialog);
      return TRUE;
    }
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
}  // namespace

void CentreOnScreen(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  MoveWindow(window, x, y, width, height, FALSE);
}

void RunOptionsDialog(HWND owner, RunOptions& options, const SysChar* command) {
  OptionsQuestion question;
  question.options = &options;
  question.command = command;
  RunDialogBox(IDD_OPTIONS, owner, OptionsDialogProc, reinterpret_cast<LPARAM>(&question));
}

int RunOverwriteDialog(HWND owner, const SysChar* title, const SysChar* path) {
  OverwriteQuestion question;
  question.title = title;
  question.path = path;
  return static_cast<int>(
      RunDialogBox(IDD_OVERWRITE, owner, OverwriteDialogProc, reinterpret_cast<LPARAM>(&question)));
}
