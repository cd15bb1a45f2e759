#include "win_message_boxes.h"

#include <cstring>

std::vector<SeenBox> seenBoxes;
std::vector<int> boxAnswers;

namespace {
HHOOK boxHook;
int extraControl;

// The static text of a message box.
constexpr int kMessageBoxTextId = 0xFFFF;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char className[32] = "";
    GetClassNameA(box, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0) {
      char caption[256] = "", text[1100] = "";
      GetWindowTextA(box, caption, sizeof caption);
      GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text);
      std::string shown = text;
      if (extraControl && GetDlgItem(box, extraControl) &&
          GetDlgItemTextA(box, extraControl, text, sizeof text))
        shown += std::string("\n") + text;
      seenBoxes.push_back({caption, shown, GetWindow(box, GW_OWNER)});
      int answer = IDOK;
      if (!boxAnswers.empty()) {
        answer = boxAnswers.front();
        boxAnswers.erase(boxAnswers.begin());
      }
      if (!GetDlgItem(box, answer)) answer = IDCANCEL;
      PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
    }
  }
  return CallNextHookEx(boxHook, code, wParam, lParam);
}
}  // namespace

void StartWatchingBoxes(int extraTextControl) {
  StopWatchingBoxes();
  seenBoxes.clear();
  boxAnswers.clear();
  extraControl = extraTextControl;
  boxHook = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
}

void StopWatchingBoxes() {
  if (boxHook) UnhookWindowsHookEx(boxHook);
  boxHook = nullptr;
}
