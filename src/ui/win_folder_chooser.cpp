// Choosing the destination folder: the shell's folder browser on Windows 95,
// NT 4.0 and later, the old open-file dialog turned into a directory picker on
// older systems. The browser's functions are looked up at run time: NT 3.51's
// shell32 has none of them, and a static import of one would keep the whole
// program from loading there.
#include <windows.h>

#include <commdlg.h>
#include <cstddef>
#include <objbase.h>
#include <shlobj.h>

#include "common/win_services.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"

namespace {
constexpr UINT kBrowseFlagsOld = 0x01;  // BIF_RETURNONLYFSDIRS
constexpr UINT kBrowseFlagsNew = 0x51;  // ... | BIF_EDITBOX | BIF_NEWDIALOGSTYLE
constexpr DWORD kOldDialogFlags = 0x86C;  // PATHMUSTEXIST | ENABLETEMPLATE | ENABLEHOOK | NOCHANGEDIR | HIDEREADONLY
// The structure as systems before Windows 2000 know it: 76 bytes in a 32-bit
// program; a 64-bit program's pointers make the same fields 136 bytes.
using OpenFileName = SYS_API(OPENFILENAME);
constexpr DWORD kOpenFileNameBytes = offsetof(OpenFileName, lpTemplateName) + sizeof(void*);
static_assert(sizeof(void*) != 4 || kOpenFileNameBytes == 76, "the 32-bit layout is 76 bytes");
constexpr int kFolderList = 1121;  // lst2
constexpr int kDriveList = 1137;   // cmb2

using BrowseInfo = SYS_API(BROWSEINFO);
using BrowseForFolderFn = LPITEMIDLIST(WINAPI*)(BrowseInfo*);
using GetMallocFn = HRESULT(WINAPI*)(IMalloc**);
using PathFromIdListFn = BOOL(WINAPI*)(LPCITEMIDLIST, SysChar*);
#if defined(_WIN64)
constexpr UINT kSetSelection = BFFM_SETSELECTIONW;
#else
constexpr UINT kSetSelection = BFFM_SETSELECTIONA;
#endif

struct ShellBrowser {
  BrowseForFolderFn browseForFolder;
  GetMallocFn getMalloc;
  PathFromIdListFn pathFromIdList;
};

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// True when shell exports all three functions the browser needs.
bool FindShellBrowser(HMODULE shell, ShellBrowser& found) {
  found.browseForFolder = Export<BrowseForFolderFn>(shell, kSysWide ? "SHBrowseForFolderW" : "SHBrowseForFolderA");
  found.getMalloc = Export<GetMallocFn>(shell, "SHGetMalloc");
  found.pathFromIdList =
      Export<PathFromIdListFn>(shell, kSysWide ? "SHGetPathFromIDListW" : "SHGetPathFromIDListA");
  return found.browseForFolder && found.getMalloc && found.pathFromIdList;
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SYS_API(SendMessage)(browser, kSetSelection, TRUE, data);
  return 0;
}

int RunShellBrowser(const ShellBrowser& shell, HWND owner, SysChar* path, const SysChar* prompt) {
  IMalloc* allocator = nullptr;
  if (FAILED(shell.getMalloc(&allocator)) || !allocator) return 0;
  SysChar* display = static_cast<SysChar*>(allocator->Alloc(kPathBytes * sizeof(SysChar)));
  if (!display) {
    allocator->Release();
    return 0;
  }
  BrowseInfo info{};
  info.hwndOwner = owner;
  info.pszDisplayName = nullptr;
  info.lpszTitle = prompt;
  const bool newBrowser = ShellHasNewFolderBrowser(GetVersion()) == 1;
  HRESULT comResult = E_FAIL;
  if (newBrowser) {
    info.ulFlags = kBrowseFlagsNew;
    comResult = CoInitialize(nullptr);
  } else {
    info.ulFlags = kBrowseFlagsOld;
  }
  if (path[0]) {
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(path);
  }
  int result = 0;
  if (LPITEMIDLIST items = shell.browseForFolder(&info)) {
    // The shell writes at most MAX_PATH units, the size of both buffers.
    if (shell.pathFromIdList(items, display)) {
      SYS_API(lstrcpyn)(path, display, kPathBytes);
      result = 1;
    }
    allocator->Free(items);
  }
  allocator->Free(display);
  allocator->Release();
  if (newBrowser && comResult == S_OK) CoUninitialize();
  return result;
}

UINT_PTR CALLBACK OldDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SYS_API(SetWindowLongPtr)(dialog, DWLP_USER, reinterpret_cast<const OpenFileName*>(lParam)->lCustData);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        // OK in the folder or drive list opens the selection; anywhere else it
        // takes the folder the list shows, which the dialog keeps current.
        const int focus = GetDlgCtrlID(GetFocus());
        if (focus != kFolderList && focus != kDriveList) {
          auto* path = reinterpret_cast<SysChar*>(SYS_API(GetWindowLongPtr)(dialog, DWLP_USER));
          SYS_API(GetCurrentDirectory)(kPathBytes, path);
          SYS_API(PostMessage)(dialog, WM_COMMAND, IDABORT, 1);
        }
      }
      return FALSE;
  }
  return FALSE;
}

int RunOldDialog(HWND owner, SysChar* path, const SysChar* prompt) {
  // The file-name buffer is required by the dialog but its content is not
  // used: the hook hands back the folder the list shows.
  SysChar fileName[kPathBytes];
  fileName[0] = '\0';
  OpenFileName ofn{};
  ofn.lStructSize = kOpenFileNameBytes;
  ofn.hwndOwner = owner;
  ofn.hInstance = AppInstance;
  ofn.lpstrFile = fileName;
  ofn.nMaxFile = kPathBytes;
  ofn.lpstrInitialDir = path;
  ofn.lpstrTitle = prompt;
  ofn.Flags = kOldDialogFlags;
  ofn.lCustData = reinterpret_cast<LPARAM>(path);
  ofn.lpfnHook = OldDialogHook;
  ofn.lpTemplateName = DialogTemplate(IDD_OLD_FOLDER);
  return SYS_API(GetOpenFileName)(&ofn);
}
}  // namespace

int ShellHasNewFolderBrowser(DWORD version) {
  const unsigned major = version & 0xFF;
  const unsigned minor = (version >> 8) & 0xFF;
  if (!(version & 0x80000000u)) return major >= 5;
  return major >= 5 || (major == 4 && minor >= 90);
}

int ChooseFolderWith(HMODULE shell, HWND owner, SysChar* path) {
  SysChar prompt[128];
  ShellBrowser browser;
  const bool useBrowser = (GetVersion() & 0xFF) >= 4 && FindShellBrowser(shell, browser);
  LoadText(useBrowser ? IDS_CHOOSE_FOLDER : IDS_BROWSE_DIRECTORY, prompt, UnitsOf(prompt));
  return useBrowser ? RunShellBrowser(browser, owner, path, prompt) : RunOldDialog(owner, path, prompt);
}

int ChooseFolder(HWND owner, SysChar* path) {
  // shell32 is loaded already: the auto-run imports its ShellExecute.
  return ChooseFolderWith(GetModuleHandleA(kShell32Dll), owner, path);
}
