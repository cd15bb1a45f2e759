#include "app/win_main_dialog.h"

#include "app/win_run.h"
#include "paths/path_text.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"

namespace {
constexpr UINT kProgressSetPos = WM_USER + 2;  // PBM_SETPOS
constexpr unsigned kEditLimit = kDestinationFolderBytes - 1;
// What the edit is read with: a folder at the limit, its quotes, and one
// byte more.
constexpr unsigned kEditReadBytes = kEditLimit + 4;

void InitMainDialog(HWND dialog, const Run& run) {
  SYS_API(SetWindowText)(dialog, run.settings.title);
  if (run.settings.folderLabel[0]) SYS_API(SetDlgItemText)(dialog, IDC_LABEL, run.settings.folderLabel);
  SYS_API(SetDlgItemText)(dialog, IDC_FOLDER_EDIT, run.settings.offeredFolder);
  SYS_API(SetDlgItemText)(dialog, IDC_STATUS, run.settings.message);
  SYS_API(SendDlgItemMessage)(dialog, IDC_FOLDER_EDIT, EM_LIMITTEXT, kEditLimit + 2, 0);
  HICON icon = SYS_API(LoadIcon)(AppInstance, SysResourceId(IDI_APP));
  SYS_API(SendMessage)(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  CentreOnScreen(dialog);
}

BOOL OnExtract(HWND dialog, Run& run) {
  // The edit's limit binds only typing: Browse (up to 259 units, quoted when
  // it holds a blank) and other programs can set longer texts. One unit more
  // than the limit is read, so a longer text is refused instead of cut to a
  // prefix of the folder.
  SysChar text[kEditReadBytes];
  SYS_API(GetDlgItemText)(dialog, IDC_FOLDER_EDIT, text, UnitsOf(text));
  // A text cut by the read could lose a closing quote and look like a
  // shorter folder: one that does not fit is refused as it stands.
  const bool fits =
      SYS_API(GetWindowTextLength)(GetDlgItem(dialog, IDC_FOLDER_EDIT)) < static_cast<int>(UnitsOf(text)) - 1;
  if (!fits || !AcceptDestination(run, text)) {
    SysChar caption[kLoadTextBytes];
    SysChar message[kLoadTextBytes];
    SYS_API(MessageBox)(dialog, LoadText(IDS_NOT_FULL_PATH, message, kLoadTextBytes),
                        LoadText(IDS_TITLE, caption, kLoadTextBytes), MB_ICONERROR);
    return FALSE;
  }
  static const int kInputs[] = {IDOK, IDC_BROWSE, IDC_OPTIONS, IDC_FOLDER_EDIT};
  for (int id : kInputs) EnableWindow(GetDlgItem(dialog, id), FALSE);
  HWND cancel = GetDlgItem(dialog, IDCANCEL);
  SetFocus(cancel);
  SYS_API(SendMessage)(cancel, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  ExtractIntoDestination(run, dialog);
  EndDialog(dialog, 1);
  return TRUE;
}

void OnBrowse(HWND dialog) {
  SysChar text[kPathBytes];
  SysChar path[kPathBytes];
  SYS_API(GetDlgItemText)(dialog, IDC_FOLDER_EDIT, text, kPathBytes);
  UnquotePath(path, kPathBytes, text);
  if (!ChooseFolder(dialog, path)) return;
  QuoteIfBlank(path, text, kPathBytes);
  SYS_API(SetDlgItemText)(dialog, IDC_FOLDER_EDIT, text);
}
}  // namespace

int RunMainDialog(Run& run) {
  return static_cast<int>(RunDialogBox(IDD_MAIN, nullptr, MainDialogProc, reinterpret_cast<LPARAM>(&run)));
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SYS_API(SetWindowLongPtr)(dialog, DWLP_USER, lParam);
    InitMainDialog(dialog, *reinterpret_cast<const Run*>(lParam));
    return TRUE;
  }
  // The run that WM_INITDIALOG kept; none for the messages before it.
  Run* run = reinterpret_cast<Run*>(SYS_API(GetWindowLongPtr)(dialog, DWLP_USER));
  if (!run) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          return OnExtract(dialog, *run);
        case IDCANCEL:
          // While a pass runs, Cancel only asks it to stop; the pass notices the
          // request after its next drain of the message queue.
          if (run->extracting) run->cancelRequested = true;
          else EndDialog(dialog, 0);
          return TRUE;
        case IDC_BROWSE:
          OnBrowse(dialog);
          return FALSE;
        case IDC_OPTIONS:
          RunOptionsDialog(dialog, run->settings.options, run->settings.command);
          return FALSE;
        case IDM_PROGRESS:
          SYS_API(SendDlgItemMessage)(dialog, IDC_PROGRESS, kProgressSetPos, lParam, 0);
          return FALSE;
      }
      break;
    case WM_PAINT:
      // A temporary folder is not asked for: extraction starts as soon as
      // the dialog shows. (The dialog manager shows it once its queue is
      // empty; a command posted before that would run the passes while it
      // is still hidden.) The dialog is painted as usual.
      if ((ConfigFlags(run->config) & kFlagTemporaryFolder) && !run->extracting)
        SYS_API(PostMessage)(dialog, WM_COMMAND, IDOK, 0);
      break;
    case WM_CTLCOLOREDIT:
      // Windows 95 and NT 4.0 paint a disabled edit like a static text, but
      // only in a program marked for 4.0 or later; in one marked for 3.10, as
      // the 32-bit stub is, the edit asks for its own colours. Answer as for
      // a static text, so the folder looks the same while a pass runs.
      if (!IsWindowEnabled(reinterpret_cast<HWND>(lParam)))
        return static_cast<INT_PTR>(SYS_API(DefWindowProc)(dialog, WM_CTLCOLORSTATIC, wParam, lParam));
      break;
  }
  return FALSE;
}
