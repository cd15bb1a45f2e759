#include "ui/win_overwrite_question.h"

#include "app/sfx_config.h"
#include "app/run_state.h"

int AskOverwrite(HWND owner, const char* path) {
  // A plain Yes/No/Cancel box until the overwrite dialog with its All
  // button takes its place.
  wsprintfA(GeneralText, "%.900s", path);
  return MessageBoxA(owner, GeneralText, Config.title, MB_YESNOCANCEL | MB_ICONQUESTION);
}
