#include "common/win_services.h"

HINSTANCE AppInstance;
UiLanguage AppLanguage;

const char kKernel32Dll[] = "kernel32.dll";
const char kShell32Dll[] = "shell32.dll";

void* ShellExport(const char* name) { return SystemExport(kShell32Dll, name); }

void* SystemExport(const char* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name));
}

bool SystemExports(const char* module, const char* names, void** calls) {
  bool all = true;
  for (; *names; names += lstrlenA(names) + 1) all = (*calls++ = SystemExport(module, names)) != nullptr && all;
  return all;
}

SysChar* LoadText(UINT id, SysChar* buffer, unsigned size) {
  buffer[0] = '\0';
  SYS_API(LoadString)(AppInstance, InLanguage(id), buffer, static_cast<int>(size));
  return buffer;
}

void DecodeText(const char* text, UINT codePage, SysChar* dest, unsigned destUnits) {
#if defined(_WIN64)
  if (MultiByteToWideChar(codePage, 0, text, -1, dest, static_cast<int>(destUnits)) == 0) dest[0] = '\0';
#else
  (void)codePage;
  CopyTextBounded(dest, text, destUnits);
#endif
}

INT_PTR RunDialogBox(UINT id, HWND owner, DLGPROC procedure, LPARAM param) {
  return SYS_API(DialogBoxParam)(AppInstance, DialogTemplate(id), owner, procedure, param);
}
