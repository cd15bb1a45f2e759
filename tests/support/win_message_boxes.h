// The message boxes (and other dialogs) that code under test opens on this
// thread, seen and answered as a user would, so that a test runs without a
// person and can check what was shown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SeenBox {
  std::string caption, text;
  HWND owner;
};

// What the watch has seen, in order, and the answers it will give, taken in
// order; both are cleared when a watch starts.
extern std::vector<SeenBox> seenBoxes;
extern std::vector<int> boxAnswers;

// Records every dialog window (class #32770) this thread opens and answers it
// with the next of boxAnswers, IDOK when none is left; an answer whose button
// the window lacks becomes IDCANCEL, so no window stays open for ever.
// extraTextControl: a control whose text, when the window has it, is added to
// the recorded text on a line of its own.
void StartWatchingBoxes(int extraTextControl = 0);
void StopWatchingBoxes();
