#include "common/win_services.h"

#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/stub_switches.h"

HINSTANCE AppInstance;
char ExecutablePath[kPathBytes];
HWND PassWindow;
int FailureExitCode;

namespace {
char loadTextBuffer[kLoadTextBytes];
}  // namespace

void* ShellExport(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), name));
}

char* LoadText(UINT id) {
  loadTextBuffer[0] = '\0';
  LoadStringA(AppInstance, id, loadTextBuffer, sizeof loadTextBuffer);
  return loadTextBuffer;
}

void ReportFileError(const char* message, const char* fileName) {
  // wsprintfA writes at most 1024 bytes; both texts are bounded well below.
  wsprintfA(GeneralText, "\"%s\" %s", fileName, message);
  ShowFailure(GeneralText, Config.title, kExitFatal);
}

void ShowFailure(const char* text, const char* caption, int exitCode) {
  if (!FailureExitCode) FailureExitCode = exitCode;
  if (!RunState.unattended) MessageBoxA(PassWindow, text, caption, MB_ICONERROR);
}
