#include "app/win_main_dialog.h"

#include "app/win_extraction_pass.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/win_services.h"
#include "paths/path_text.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"

namespace {
constexpr UINT kProgressSetPos = WM_USER + 2;  // PBM_SETPOS
constexpr unsigned kEditLimit = 255;

void InitMainDialog(HWND dialog) {
  SetWindowTextA(dialog, Config.title);
  if (Config.folderLabel[0]) SetDlgItemTextA(dialog, IDC_LABEL, Config.folderLabel);
  SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, Config.defaultFolder);
  SetDlgItemTextA(dialog, IDC_STATUS, Config.message);
  SendDlgItemMessageA(dialog, IDC_FOLDER_EDIT, EM_LIMITTEXT, kEditLimit, 0);
  HICON icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_APP));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  CentreOnScreen(dialog);
  RunState.extracting = 0;
  RunState.cancelRequested = 0;
}

BOOL OnExtract(HWND dialog) {
  // The edit's limit binds only typing: Browse (up to 259 bytes, quoted when
  // it holds a blank) and other programs can set longer texts. One byte more
  // than the limit is read, so a longer text is refused instead of cut to a
  // prefix of the folder.
  char text[kEditLimit + 2];
  GetDlgItemTextA(dialog, IDC_FOLDER_EDIT, text, sizeof text);
  if (!ExtractIntoFolder(dialog, text)) return FALSE;
  EndDialog(dialog, 1);
  return TRUE;
}

void OnBrowse(HWND dialog) {
  char text[kPathBytes];
  char path[kPathBytes];
  GetDlgItemTextA(dialog, IDC_FOLDER_EDIT, text, sizeof text);
  UnquotePath(path, sizeof path, text);
  if (!ChooseFolder(dialog, path)) return;
  QuoteIfBlank(path, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, text);
}
}  // namespace

bool ExtractIntoFolder(HWND dialog, const char* text) {
  unsigned length = 0;
  while (text[length]) ++length;
  UnquotePath(DestinationFolder, sizeof DestinationFolder, text);
  if (length == 0 || length > kEditLimit || !IsFullPath(DestinationFolder)) {
    if (RunState.unattended) return false;
    char caption[kLoadTextBytes];
    lstrcpynA(caption, LoadText(IDS_TITLE), sizeof caption);
    MessageBoxA(dialog, LoadText(IDS_NOT_FULL_PATH), caption, MB_ICONERROR);
    return false;
  }
  // Without a dialog (unattended) these calls find no window and do nothing.
  static const int kInputs[] = {IDOK, IDC_BROWSE, IDC_OPTIONS, IDC_FOLDER_EDIT};
  for (int id : kInputs) EnableWindow(GetDlgItem(dialog, id), FALSE);
  HWND cancel = GetDlgItem(dialog, IDCANCEL);
  SetFocus(cancel);
  SendMessageA(cancel, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  RunState.extracting = 1;
  ProgressTotals.total = 0;
  if (RunExtractionPass(dialog, ExtractMode::Test)) RunExtractionPass(dialog, ExtractMode::Extract);
  return true;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitMainDialog(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          return OnExtract(dialog);
        case IDCANCEL:
          // While a pass runs, Cancel only asks it to stop; the pass notices the
          // request after its next drain of the message queue.
          if (RunState.extracting) RunState.cancelRequested = 1;
          else EndDialog(dialog, 0);
          return TRUE;
        case IDC_BROWSE:
          OnBrowse(dialog);
          return FALSE;
        case IDC_OPTIONS:
          DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_OPTIONS), dialog, OptionsDialogProc, 0);
          return FALSE;
        case IDM_PROGRESS:
          SendDlgItemMessageA(dialog, IDC_PROGRESS, kProgressSetPos, lParam, 0);
          return FALSE;
      }
      break;
    case WM_PAINT:
      // A temporary folder is not asked for: extraction starts as soon as
      // the dialog shows. (The dialog manager shows it once its queue is
      // empty; a command posted before that would run the passes while it
      // is still hidden.) The dialog is painted as usual.
      if ((Config.flags[0] & kFlagTemporaryFolder) && !RunState.extracting)
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      break;
    case WM_CTLCOLOREDIT:
      // Windows 95 and NT 4.0 paint a disabled edit like a static text, but
      // only in a program marked for 4.0 or later; in one marked for 3.10, as
      // the 32-bit stub is, the edit asks for its own colours. Answer as for
      // a static text, so the folder looks the same while a pass runs.
      if (!IsWindowEnabled(reinterpret_cast<HWND>(lParam)))
        return static_cast<INT_PTR>(DefWindowProcA(dialog, WM_CTLCOLORSTATIC, wParam, lParam));
      break;
  }
  return FALSE;
}
