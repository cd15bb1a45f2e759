#include "common/win_services.h"

#include "common/run_state.h"
#include "common/sfx_config.h"

HINSTANCE AppInstance;
char ExecutablePath[kPathBytes];
HWND PassWindow;

namespace {
char loadTextBuffer[kLoadTextBytes];
}  // namespace

char* LoadText(UINT id) {
  loadTextBuffer[0] = '\0';
  LoadStringA(AppInstance, id, loadTextBuffer, sizeof loadTextBuffer);
  return loadTextBuffer;
}

void ReportFileError(const char* message, const char* fileName) {
  // wsprintfA writes at most 1024 bytes; both texts are bounded well below.
  wsprintfA(GeneralText, "\"%s\" %s", fileName, message);
  MessageBoxA(PassWindow, GeneralText, Config.title, MB_ICONERROR);
}
